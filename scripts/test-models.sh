#!/usr/bin/env bash
# Compiles every model of Debian's assimp-testmodels (every file whose type vexmont-bspc
# --formats lists) with --fit, renders each compiled map once with vexmont-shot, and prints a
# table: model, format, input and output triangles, vertices, open edges of the scene and of
# the map (with their summed length), seconds, warnings, result.
# A model either compiles and renders, or is refused with exactly one error line. Fails when
# any model crashes the compiler, hangs, is refused with a longer message, or does not render.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/ensure-packages.sh "${BUILD_PACKAGES[@]}" assimp-testmodels
models=${MODELS:-/usr/share/assimp/models}
build=${BUILD_DIR:-build}
jobs=${JOBS:-2}
compile_timeout=${COMPILE_TIMEOUT:-60}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j "$jobs" --target vexmont-bspc vexmont-shot > /dev/null
export BSPC="$PWD/$build/tools/bspc/vexmont-bspc" SHOT="$PWD/$build/tools/shot/vexmont-shot"
export WORK=$(mktemp -d) MODELS_ROOT="$models" COMPILE_TIMEOUT="$compile_timeout"
trap 'rm -rf "$WORK"' EXIT

# One model: one tab-separated result line.
sweep_one() {
  local model=$1 name=${1#"$MODELS_ROOT"/} dir
  dir=$(mktemp -d "$WORK/m.XXXXXX")
  local ext=${model##*.} rc=0 result
  ext=${ext,,}
  timeout -k 5 "$COMPILE_TIMEOUT" "$BSPC" "$model" --fit --import-timeout 20 --out "$dir/map" \
    > "$dir/out" 2> "$dir/err" || rc=$?
  local warnings errors others
  warnings=$(grep -c '^vexmont-bspc: warning: ' "$dir/err" || true)
  errors=$(grep -c '^vexmont-bspc: error: ' "$dir/err" || true)
  others=$(grep -vc '^vexmont-bspc: \(warning\|error\): ' "$dir/err" || true)
  local summary tris_in='-' tris_out='-' vertices='-' seconds='-' open_in='-' open_out='-'
  summary=$(cat "$dir/out")
  if [[ $summary =~ input\ triangles\ ([0-9]+) ]]; then tris_in=${BASH_REMATCH[1]}; fi
  if [[ $summary =~ output\ triangles\ ([0-9]+) ]]; then tris_out=${BASH_REMATCH[1]}; fi
  if [[ $summary =~ vertices\ ([0-9]+)\ of ]]; then vertices=${BASH_REMATCH[1]}; fi
  if [[ $summary =~ time\ ([0-9.]+)\ s ]]; then seconds=${BASH_REMATCH[1]}; fi
  local open_pattern='open edges ([0-9]+) in the scene and ([0-9]+) in the map \(length ([^ ]+) and ([^ )]+)\)'
  if [[ $summary =~ $open_pattern ]]; then
    open_in="${BASH_REMATCH[1]} (${BASH_REMATCH[3]})" open_out="${BASH_REMATCH[2]} (${BASH_REMATCH[4]})"
  fi
  if [ "$rc" -eq 0 ]; then
    if timeout -k 5 30 "$SHOT" --dir "$dir/map" --out "$dir/shot.ppm" > /dev/null 2>&1; then
      result="ok"
    else
      result="FAIL: compiled, but vexmont-shot could not render it"
    fi
  elif [ "$rc" -eq 1 ] && [ "$errors" -eq 1 ] && [ "$others" -eq 0 ]; then
    result="refused: $(grep '^vexmont-bspc: error: ' "$dir/err" | cut -c22- | cut -c1-90)"
  elif [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    result="FAIL: hung (killed after ${COMPILE_TIMEOUT} s)"
  elif [ "$rc" -eq 1 ]; then
    result="FAIL: refused with $((errors + others)) lines instead of one"
  else
    result="FAIL: exit code $rc"
  fi
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$ext" "$tris_in" "$tris_out" \
    "$vertices" "$open_in" "$open_out" "$seconds" "$warnings" "$result"
  rm -rf "$dir"
}
export -f sweep_one

pattern=$("$BSPC" --formats | sed 's/ /|/g')
start=$SECONDS
find "$models" -type f | grep -iE "\.($pattern)$" | LC_ALL=C sort |
  xargs -d '\n' -P "$jobs" -I{} bash -c 'sweep_one "$1"' _ {} > "$WORK/results"

LC_ALL=C sort "$WORK/results" > "$WORK/sorted"
{
  printf 'model\tformat\tin\tout\tvertices\topen-in\topen-out\ts\twarnings\tresult\n'
  cat "$WORK/sorted"
} | column -t -s $'\t'
total=$(wc -l < "$WORK/sorted")
ok=$(grep -c $'\tok$' "$WORK/sorted" || true)
refused=$(grep -c $'\trefused: ' "$WORK/sorted" || true)
failed=$(grep -c $'\tFAIL: ' "$WORK/sorted" || true)
echo "$total models in $((SECONDS - start)) s: $ok compiled and rendered, $refused refused" \
     "with one line, $failed failed"
echo "models: $((ok + refused)) passed, $failed failed"
[ "$failed" -eq 0 ]
