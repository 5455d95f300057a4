#!/usr/bin/env bash
# Builds the fuzz targets (build-fuzz/: clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every target for SECONDS (default 60), starting from
# its seed corpus in fuzz/corpus/<target>/ and the inputs that once failed it in
# tests/fuzz/regressions/<target>/ (so a fault that comes back as a hang is caught under the
# fuzzing build's time limit). New inputs collect in build-fuzz/corpus/<target>/,
# findings (crash-*, timeout-*, leak-*, oom-*) in build-fuzz/findings/<target>/. Prints
# executions, coverage and findings per target; exits 1 when any target found something.
# FUZZ_PARALLEL=N runs N targets at a time (default 1); FUZZ_TARGETS="map render" runs only
# those.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=${JOBS:-2}
parallel=${FUZZ_PARALLEL:-1}
targets=(map bitmap font render scene bspc_args shot_args)
[[ -n ${FUZZ_TARGETS:-} ]] && read -ra targets <<<"$FUZZ_TARGETS"
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEXMONT_TESTS=OFF -DVEXMONT_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$jobs" --target "${targets[@]/#/fuzz-}"

# A single allocation past this many MiB counts as running out of memory.
memory_limit_mb=1024

# One target: a whole input may take this long before it counts as a hang. The scene
# import reads files of up to 64 KiB; the others keep libFuzzer's own length limit. Debian's
# Assimp has faults of its own that we cannot fix (vexmont-bspc imports in a child process,
# so they cost the user one error line): the scene target runs in libFuzzer's fork mode and
# goes on after a crash, and each crash is then sorted by where it happened.
run_target() {
    local target=$1 timeout=10 extra=() seeds=("fuzz/corpus/$1")
    [[ -d tests/fuzz/regressions/$target ]] && seeds+=("tests/fuzz/regressions/$target")
    [[ $target == scene ]] && timeout=20 &&
        extra=(-max_len=65536 -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
    local work=build-fuzz/corpus/$target findings=build-fuzz/findings/$target
    mkdir -p "$work" "$findings"
    rm -f "$findings"/*
    local status=0
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
        "build-fuzz/fuzz/fuzz-$target" "$work" "${seeds[@]}" \
        -max_total_time="$seconds" -rss_limit_mb="$memory_limit_mb" -timeout="$timeout" \
        "${extra[@]}" -print_final_stats=1 -artifact_prefix="$findings/" \
        >"build-fuzz/fuzz-$target.log" 2>&1 || status=$?
    echo "$status" >"build-fuzz/fuzz-$target.status"
}

rm -rf build-fuzz/findings/scene-assimp
running=0
for target in "${targets[@]}"; do
    run_target "$target" &
    running=$((running + 1))
    if ((running >= parallel)); then
        wait -n || true
        running=$((running - 1))
    fi
done
wait

# A crash, a leak or an allocation past the memory limit whose innermost frame of ours is
# none, with Assimp's library on top, is Assimp's. A leak's or an allocation's stack starts
# in the sanitizer's allocator and libFuzzer's hooks, which are linked into our binary: those
# frames are skipped too. (Assimp takes some lengths from the file and allocates them
# untouched; vexmont-bspc then reports the broken file as usual.)
assimp_fault() {
    local top
    top=$(timeout 60 "build-fuzz/fuzz/fuzz-scene" -rss_limit_mb="$memory_limit_mb" "$1" 2>&1 |
        grep -E '^ +#[0-9]+ ' |
        grep -vE 'libclang_rt|compiler-rt|sanitizer|__asan|fuzzer::|libc\.so|libstdc' |
        grep -vE ' in (operator new|operator delete|malloc|calloc|realloc|free)\b' | head -1 || true)
    [[ $top == *libassimp* ]]
}
mkdir -p build-fuzz/findings/scene-assimp
for f in build-fuzz/findings/scene/*; do
    [[ -f $f ]] && assimp_fault "$f" && mv "$f" build-fuzz/findings/scene-assimp/
done

failed=0
printf '%-10s %12s %8s %9s %8s %7s  %s\n' target executions seconds "exec/s" coverage corpus findings
for target in "${targets[@]}"; do
    log=build-fuzz/fuzz-$target.log
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    # Fork mode prints no final statistics; its status lines start "#RUNS: cov: ...".
    [[ -z $runs ]] && runs=$(grep -oE '^#[0-9]+: cov' "$log" | tail -1 | tr -dc 0-9)
    last=$(grep -E '^#[0-9]+:?[[:space:]].*cov: ' "$log" | tail -1 || true)
    cov=$(sed -nE 's/.*cov: ([0-9]+).*/\1/p' <<<"$last")
    corp=$(sed -nE 's/.*corp: ([0-9]+).*/\1/p' <<<"$last")
    rate=$(sed -nE 's/.*exec\/s:? ([0-9]+).*/\1/p' <<<"$last")
    found=$(find "build-fuzz/findings/$target" -type f \( -name 'crash-*' -o -name 'timeout-*' \
        -o -name 'leak-*' -o -name 'oom-*' \) | sort)
    status=$(cat "build-fuzz/fuzz-$target.status")
    # In fork mode the exit status tells of the crashes it went past; the files say which.
    [[ $target == scene ]] && status=0
    if [[ -n $found || $status != 0 ]]; then
        failed=1
        summary="FOUND (see $log): ${found:-no input saved}"
    else
        summary=none
    fi
    printf '%-10s %12s %8s %9s %8s %7s  %s\n' "$target" "${runs:-?}" "$seconds" "${rate:-?}" \
        "${cov:-?}" "${corp:-?}" "$(tr '\n' ' ' <<<"$summary")"
done
assimp=$(find build-fuzz/findings/scene-assimp -type f | sort)
[[ -n $assimp ]] && echo "faults inside Debian's Assimp (not ours; kept in build-fuzz/findings/scene-assimp/):" &&
    sed 's/^/  /' <<<"$assimp"
exit "$failed"
