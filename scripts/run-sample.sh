#!/usr/bin/env bash
# The main job: builds everything, builds the sample product's setup with
# tarnix-pack, runs it under Wine and shows where the product was installed.
# Fails when the setup fails or the product's files are not installed.
# TARNIX_SAMPLE_TIMEOUT caps the run of the setup (seconds, default 600).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/build.sh"

native="${TARNIX_NATIVE_BUILD:-$root/build/native}"
win="${TARNIX_WIN_BUILD:-$root/build/win}"
sample="$root/examples/sample-product"
out="$root/build/sample"
stage="$out/stage"
pack="$native/tools/tarnix-pack/tarnix-pack"

# The package carries the stand-in setup program, a build output, so the
# manifest is built from a copy that has it beside the product files.
rm -rf "$stage"
mkdir -p "$stage"
cp -R "$sample/setup.ini" "$sample/languages" "$sample/product" "$stage/"
cp "$win/tools/standin-setup/standin-setup.exe" "$stage/Setup.exe"

"$pack" build "$stage/setup.ini" -o "$out/SampleSetup.exe" --stub "$win/src/stub.exe"
"$pack" verify "$out/SampleSetup.exe"

source "$root/scripts/wine-env.sh"
wine_env_start "$win"
trap wine_env_stop EXIT

# The stand-in installs into the Program Files folder of 32-bit programs,
# which a 64-bit prefix keeps apart.
program_files='C:\Program Files'
if [ -d "$(winepath -u 'C:\Program Files (x86)')" ]; then
  program_files='C:\Program Files (x86)'
fi
product_dir="$program_files\\Tarnix Sample Product"
installed="$(winepath -u "$product_dir")"
# A product left by an earlier run must not pass for this one's.
rm -rf "$installed"

echo "running $out/SampleSetup.exe under Wine"
set +e
timeout "${TARNIX_SAMPLE_TIMEOUT:-600}" wine "$out/SampleSetup.exe" </dev/null
code=$?
set -e
echo "SampleSetup.exe exited with code $code"

missing=0
for file in "$sample/product"/*; do
  if ! cmp -s "$file" "$installed/$(basename "$file")"; then
    echo "not installed: $product_dir\\$(basename "$file")" >&2
    missing=1
  fi
done
if [ "$missing" -eq 0 ]; then
  echo "Tarnix Sample Product installed in $product_dir ($installed):"
  ls -l "$installed"
fi
if [ "$code" -ne 0 ]; then
  exit "$code"
fi
exit "$missing"
