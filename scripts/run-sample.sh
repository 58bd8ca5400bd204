#!/usr/bin/env bash
# The main job: builds everything, builds the sample product's setup with
# tarnix-pack, runs it under Wine and shows where the product was installed.
# Fails when the setup fails or the product's files are not installed.
# TARNIX_SAMPLE_TIMEOUT caps the run of the setup (seconds, default 600).
#
#   scripts/run-sample.sh          runs the full setup, SampleSetup.exe
#   scripts/run-sample.sh --web    runs the web installer instead, which
#                                  downloads SampleSetup.exe from a local
#                                  HTTP server and installs it
set -euo pipefail

web=0
case "${1:-}" in
  --web) web=1 ;;
  "") ;;
  *)
    echo "usage: $0 [--web]" >&2
    exit 2
    ;;
esac

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

# Waiting for a killed process fails; under set -e that would end the
# clean-up early and replace the script's exit code.
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  wine_env_stop || true
}

source "$root/scripts/wine-env.sh"
trap cleanup EXIT
wine_env_start "$win"

setup="$out/SampleSetup.exe"
setup_args=()
if [ "$web" -eq 1 ]; then
  # The web installer fetches SampleSetup.exe from this server, on a port
  # the system picks; the server writes it in its first line.
  server_log="$out/http-server.log"
  python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$out" >"$server_log" 2>&1 &
  server_pid=$!
  port=""
  for _ in $(seq 100); do
    port="$(sed -n 's/^Serving HTTP on [^ ]* port \([0-9]*\).*/\1/p' "$server_log")"
    if [ -n "$port" ] || ! kill -0 "$server_pid" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done
  if [ -z "$port" ]; then
    cat "$server_log" >&2
    echo "the HTTP server did not start" >&2
    exit 1
  fi
  echo "serving $out on http://127.0.0.1:$port"

  # The builder takes the size announced in the download question from the
  # full setup beside the manifest. The web installer lies in a folder of
  # its own: beside SampleSetup.exe it would install that copy instead.
  sed "s|^Location *=.*|Location = http://127.0.0.1:$port|" "$sample/web-setup.ini" >"$stage/web-setup.ini"
  cp "$out/SampleSetup.exe" "$stage/"
  mkdir -p "$out/web"
  setup="$out/web/SampleWebSetup.exe"
  "$pack" build "$stage/web-setup.ini" -o "$setup" --stub "$win/src/stub.exe"
  "$pack" verify "$setup"
  # The size question would wait for an answer that nobody gives.
  setup_args=(/hide)
fi

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

echo "running $setup${setup_args[*]:+ ${setup_args[*]}} under Wine"
set +e
timeout "${TARNIX_SAMPLE_TIMEOUT:-600}" wine "$setup" "${setup_args[@]}" </dev/null
code=$?
set -e
echo "$(basename "$setup") exited with code $code"

if [ "$web" -eq 1 ] && ! grep -q '"GET /SampleSetup.exe HTTP/[0-9.]*" 200' "$server_log"; then
  echo "the web installer did not download SampleSetup.exe (server log: $server_log)" >&2
  code=1
fi

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
