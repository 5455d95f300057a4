#!/usr/bin/env bash
# The long soak, outside CI (about a quarter of an hour here): the viewer on the in-memory
# platform with a random key press before every other frame (tools/soak):
#   - 100,000 frames on the demo and 20,000 on the largest generated map (build/maps/max),
#     in the release build, with guard zones around the frame buffer;
#   - 10,000 frames on the demo in the AddressSanitizer + UndefinedBehaviorSanitizer build.
# Fails on any sanitizer report, any write outside the frame, or memory growth beyond 1 MB
# between frame 1,000 and the last. Prints the frames per second each run held.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs" --target vexmont-soak content
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVEXMONT_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs" --target vexmont-soak

build/tools/soak/vexmont-soak --dir build/demo --frames 100000 --seed 1
build/tools/soak/vexmont-soak --dir build/maps/max --frames 20000 --seed 2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build-asan/tools/soak/vexmont-soak --dir build/demo --frames 10000 --seed 3
echo "soak: passed"
