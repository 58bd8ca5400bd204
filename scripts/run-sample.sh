#!/usr/bin/env bash
# The main job: builds everything, builds the sample product's setup with
# tarnix-pack and runs it under Wine.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/build.sh"

native="${TARNIX_NATIVE_BUILD:-$root/build/native}"
win="${TARNIX_WIN_BUILD:-$root/build/win}"
out="$root/build/sample"
mkdir -p "$out"
pack="$native/tools/tarnix-pack/tarnix-pack"

"$pack" build "$root/examples/sample-product/setup.ini" -o "$out/SampleSetup.exe" --stub "$win/src/stub.exe"
"$pack" verify "$out/SampleSetup.exe"

source "$root/scripts/wine-env.sh"
wine_env_start "$win"
trap wine_env_stop EXIT

echo "running $out/SampleSetup.exe under Wine"
set +e
wine "$out/SampleSetup.exe"
code=$?
set -e
echo "SampleSetup.exe exited with code $code"
exit "$code"
