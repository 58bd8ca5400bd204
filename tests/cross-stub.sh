#!/usr/bin/env bash
# One package format for both stubs: the sample's setup is built from one
# manifest on the 32-bit stub (build/win) and on the 64-bit stub
# (build/win64), both packages are verified, and each is installed under
# Wine by its own stub wherever this machine can run it; the installed
# product must equal the sample's files every time. Where 32-bit programs
# cannot run, the 32-bit stub's package is extracted by tarnix-pack instead,
# and the script says so. Expects the trees built (scripts/build.sh).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
native="${TARNIX_NATIVE_BUILD:-$root/build/native}"
win32="${TARNIX_WIN_BUILD:-$root/build/win}"
win64="${TARNIX_WIN64_BUILD:-$root/build/win64}"
pack="$native/tools/tarnix-pack/tarnix-pack"
sample="$root/examples/sample-product"
work="$root/build/cross-stub"

source "$root/scripts/wine-env.sh"
trap wine_env_stop EXIT

# The setup program inside: one both stubs can start here.
if wine_runs_32bit; then
  standin="$win32/tools/standin-setup/standin-setup.exe"
else
  standin="$win64/tools/standin-setup/standin-setup.exe"
fi

rm -rf "$work"
mkdir -p "$work/stage"
cp -R "$sample/languages" "$sample/setup.ini" "$sample/product" "$work/stage/"
cp "$standin" "$work/stage/Setup.exe"

for bits in 32 64; do
  tree="$win32"
  [ "$bits" = 64 ] && tree="$win64"
  "$pack" build "$work/stage/setup.ini" -o "$work/Setup$bits.exe" --stub "$tree/src/stub.exe" >/dev/null
  "$pack" verify "$work/Setup$bits.exe"
done

failures=0

# same_as_sample DIR WHAT: DIR holds every file of the sample product as it is.
same_as_sample() {
  local file missing=0
  for file in "$sample/product"/*; do
    if ! cmp -s "$file" "$1/$(basename "$file")"; then
      echo "FAILED: $2: $(basename "$file") missing or different in $1" >&2
      missing=1
    fi
  done
  if [ "$missing" -eq 0 ]; then
    echo "ok: $2"
  else
    failures=$((failures + 1))
  fi
}

# install BITS: the package on the BITS-bit stub, run by it in its tree's
# prefix, installs the sample's files.
install() {
  local bits="$1" tree="$win32"
  [ "$bits" = 64 ] && tree="$win64"
  wine_env_start "$tree"
  local installed
  installed="$(winepath -u "$(program_files "$bits")\\Tarnix Sample Product")"
  rm -rf "$installed"
  local code=0
  timeout 300 wine "$work/Setup$bits.exe" </dev/null >/dev/null 2>&1 || code=$?
  if [ "$code" -ne 0 ]; then
    echo "FAILED: the package on the $bits-bit stub exited with $code" >&2
    failures=$((failures + 1))
  fi
  same_as_sample "$installed" "the package on the $bits-bit stub installed by that stub"
  rm -rf "$installed"
}

if wine_runs_32bit; then
  install 32
else
  echo "not run: the package on the 32-bit stub under Wine (this machine cannot execute 32-bit programs);" \
    "extracted by tarnix-pack instead"
  "$pack" extract "$work/Setup32.exe" -C "$work/extract32" >/dev/null
  same_as_sample "$work/extract32" "the package on the 32-bit stub extracted by tarnix-pack"
fi
install 64

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "both stubs read the same package format"
