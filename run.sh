#!/usr/bin/env bash
# The main job: installs what is missing, builds the two programs (veldarin, the window, and
# veldarin-script), and runs the batch (read the model, calculate, display, save the window as a
# bitmap and the data file) on MODEL.mod, or on the bundled example when no model is given.
#   ./run.sh [MODEL.mod] [--out DIR]
# The data file (NAME.dat) and the bitmap (NAME.bmp) go beside the model, or into DIR; those of
# the bundled example into build/output/. The exit code is the batch run's: 0 when every step
# succeeded.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
model=""
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out="${2:?--out needs a folder}"; shift 2 ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) model="$1"; shift ;;
  esac
done
if [ -z "$model" ]; then
  model="$root/examples/homogeneous_wenner.mod"
  [ -n "$out" ] || out="$root/build/output"
fi
# Paths as the caller gave them, before the build changes folders.
if [ -d "$(dirname "$model")" ]; then model="$(cd "$(dirname "$model")" && pwd)/$(basename "$model")"; fi

"$root/scripts/setup.sh"
# The build's progress goes to standard error (the first build takes some minutes); standard
# output holds what the batch prints.
echo "Building veldarin and veldarin-script in $root/build ..." >&2
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$root/build" -j "$(nproc)" --target veldarin-script veldarin >&2

args=(--batch "$model")
if [ -n "$out" ]; then
  mkdir -p "$out"
  args+=(--out "$out")
fi
exec "$root/build/app/veldarin-script" "${args[@]}"
