#!/usr/bin/env bash
# The figures of the README's Performance section, measured again: vexmont-bench with the
# OpenGL peer on the demo and the three generated maps (spin path), on the 20k room and the
# largest map from 12 cameras spread over each, and, where Debian's assimp-testmodels is
# installed, from 12 cameras on a real building and on a hall of 36 statues (much repeated
# geometry, scripts/make-hall.py), both compiled as the README says. Every measurement is made ROUNDS times, the rounds
# one after another, and each row of the table is the run with the median peer / ours of its
# map: on a shared machine a single run can meet a busy moment on either side. The JSON goes
# to build/bench-results/ (NAME.ROUND.json); the table is printed in the README's form and
# docs/performance.png is drawn from the same runs.
#   scripts/bench.sh [FRAMES]      (default 300 frames a map; ROUNDS=3; leave the machine quiet)
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-300}
rounds=${ROUNDS:-3}
out=build/bench-results
bench=build/bench/render/vexmont-bench
# Scenes as users bring them; their start cameras look from afar, so they are measured from
# cameras over them.
house=/usr/share/assimp/models/IFC/AC14-FZK-Haus.ifc
statues=/usr/share/assimp/models/OBJ

cmake --build build --target vexmont-bench vexmont-bspc content >/dev/null
rm -rf "$out"
mkdir -p "$out"
if [[ -f $house && -f $statues/WusonOBJ.obj ]]; then
    build/tools/bspc/vexmont-bspc "$house" --fit --out build/maps/house >/dev/null 2>&1
    /usr/bin/python3 scripts/make-hall.py "$statues" build/maps/hall-scene
    build/tools/bspc/vexmont-bspc build/maps/hall-scene/hall.obj --fit --out build/maps/hall \
        >/dev/null 2>&1
else
    echo "no Debian assimp-testmodels: the building and the hall are left out" >&2
fi
for round in $(seq "$rounds"); do
    for map in demo maps/2k maps/20k maps/max; do
        name=$(basename "$map")
        echo "round $round: measuring $map" >&2
        "$bench" --dir "build/$map" --frames "$frames" --peer --json >"$out/$name.$round.json"
    done
    for map in 20k max; do
        echo "round $round: measuring maps/$map from 12 cameras" >&2
        "$bench" --dir "build/maps/$map" --frames "$((frames / 12 * 12))" --cameras 12 --peer \
            --json >"$out/$map-cameras.$round.json"
    done
    for scene in house hall; do
        [[ -f build/maps/$scene/Vuze.BSP ]] || continue
        echo "round $round: measuring the $scene from 12 cameras" >&2
        "$bench" --dir "build/maps/$scene" --frames "$((frames / 12 * 12))" --cameras 12 --peer \
            --json >"$out/$scene-cameras.$round.json"
    done
done
# Debian's own python3, which has python3-matplotlib.
/usr/bin/python3 scripts/plot-performance.py "$out" docs/performance.png
