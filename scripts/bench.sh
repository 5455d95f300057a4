#!/usr/bin/env bash
# The figures of the README's Performance section, measured again: vexmont-bench with the
# OpenGL peer on the demo and the three generated maps (spin path), and on the largest map
# from 12 cameras spread over it. The JSON goes to build/bench-results/; the table is printed
# in the README's form and docs/performance.png is drawn from the same JSON.
#   scripts/bench.sh [FRAMES]      (default 300 frames a map; leave the machine quiet)
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-300}
out=build/bench-results
bench=build/bench/render/vexmont-bench

cmake --build build --target vexmont-bench content >/dev/null
mkdir -p "$out"
for map in demo maps/2k maps/20k maps/max; do
    name=$(basename "$map")
    echo "measuring $map" >&2
    "$bench" --dir "build/$map" --frames "$frames" --peer --json >"$out/$name.json"
done
echo "measuring maps/max from 12 cameras" >&2
"$bench" --dir build/maps/max --frames "$((frames / 12 * 12))" --cameras 12 --peer --json \
    >"$out/max-cameras.json"
# Debian's own python3, which has python3-matplotlib.
/usr/bin/python3 scripts/plot-performance.py "$out" docs/performance.png
