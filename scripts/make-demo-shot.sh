#!/usr/bin/env bash
# Builds the viewer, the headless capture tool and the demo content, then renders the demo
# from the start camera into docs/demo.png (the README's screenshot).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "${JOBS:-2}" --target vexmont-shot content
mkdir -p docs
build/tools/shot/vexmont-shot --dir build/demo --frames "${FRAMES:-1}" --out docs/demo.png
echo "wrote docs/demo.png"
