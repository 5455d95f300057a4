#!/usr/bin/env bash
# Builds the viewer and the demo content, then starts the viewer in build/demo.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXMONT_TESTS=OFF
cmake --build build -j "${JOBS:-2}"
if [ ! -x build/platform/sdl/vexmont ] || [ ! -f build/demo/Vuze.BSP ]; then
  echo "The viewer or the demo content is not built yet; nothing to run." >&2
  exit 0
fi
cd build/demo && exec ../platform/sdl/vexmont
