#!/usr/bin/env bash
# The main job: builds everything, builds the sample product's setup with
# tarnix-pack, runs it under Wine and shows where the product was installed.
# Fails when the setup fails or the product's files are not installed.
# TARNIX_SAMPLE_TIMEOUT caps the run of a setup (seconds, default 600).
#
#   scripts/run-sample.sh           runs the full setup, SampleSetup.exe
#   scripts/run-sample.sh --web     runs the web installer instead, which
#                                   downloads SampleSetup.exe from a local
#                                   HTTP server and installs it
#   scripts/run-sample.sh --update  installs version 1 of the sample app
#                                   with its agent, starts both, publishes
#                                   version 2 on a local nginx server and
#                                   checks that the agent updates the app,
#                                   restarts it and replaces itself;
#                                   TARNIX_UPDATE_TIMEOUT caps the wait for
#                                   the update (seconds, default 180)
#
# The 32-bit stub runs where this machine executes 32-bit programs, the
# 64-bit one (build/win64, under wine64) where it cannot;
# TARNIX_WINDOWS_BITS=64 picks the 64-bit one on any machine.
set -euo pipefail

mode=setup
case "${1:-}" in
  --web) mode=web ;;
  --update) mode=update ;;
  "") ;;
  *)
    echo "usage: $0 [--web | --update]" >&2
    exit 2
    ;;
esac

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/build.sh"

source "$root/scripts/wine-env.sh"
source "$root/scripts/nginx-env.sh"

native="${TARNIX_NATIVE_BUILD:-$root/build/native}"
if [ "${TARNIX_WINDOWS_BITS:-}" = 64 ]; then
  win="${TARNIX_WIN64_BUILD:-$root/build/win64}"
  echo "running the 64-bit stub ($win/src/stub.exe) under wine64, as asked"
elif wine_runs_32bit; then
  win="${TARNIX_WIN_BUILD:-$root/build/win}"
  echo "running the 32-bit stub ($win/src/stub.exe) under wine"
else
  win="${TARNIX_WIN64_BUILD:-$root/build/win64}"
  echo "running the 64-bit stub ($win/src/stub.exe) under wine64: this machine cannot execute 32-bit programs"
fi
sample="$root/examples/sample-product"
out="$root/build/sample"
stage="$out/stage"
pack="$native/tools/tarnix-pack/tarnix-pack"

# stage_setup DIR [PATH...]: a fresh DIR with the sample's languages, the
# PATHs and the stand-in setup program as Setup.exe. Packages carry the
# stand-in, a build output, so their manifests are built from such a copy.
stage_setup() {
  local dir="$1"
  shift
  rm -rf "$dir"
  mkdir -p "$dir"
  cp -R "$sample/languages" "$@" "$dir/"
  cp "$win/tools/standin-setup/standin-setup.exe" "$dir/Setup.exe"
}

# pack_setup MANIFEST OUTPUT: the setup package, checked.
pack_setup() {
  "$pack" build "$1" -o "$2" --stub "$win/src/stub.exe"
  "$pack" verify "$2"
}

# Waiting for a killed process fails; under set -e that would end the
# clean-up early and replace the script's exit code.
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  nginx_stop
  wine_env_stop || true
}

# The stand-in installs into the Program Files folder of programs of its
# own width: a 64-bit prefix keeps the 32-bit programs' folder apart. A
# product left by an earlier run must not pass for this one's, so the
# folder is emptied.
prepare_product_dir() {
  product_dir="$(program_files "$(tree_bits "$win")")\\Tarnix Sample Product"
  installed="$(winepath -u "$product_dir")"
  rm -rf "$installed"
}

# run_setup SETUP [ARGUMENT...]: runs SETUP under Wine; its exit code in
# setup_code.
run_setup() {
  echo "running $*"
  set +e
  timeout "${TARNIX_SAMPLE_TIMEOUT:-600}" wine "$@" </dev/null
  setup_code=$?
  set -e
  echo "$(basename "$1") exited with code $setup_code"
}

# The full setup, or the web installer that fetches it, and the product's
# files in the Program Files folder.
setup_job() {
  stage_setup "$stage" "$sample/setup.ini" "$sample/product"
  pack_setup "$stage/setup.ini" "$out/SampleSetup.exe"
  wine_env_start "$win"

  local setup="$out/SampleSetup.exe" setup_args=() server_log="$out/http-server.log"
  if [ "$mode" = web ]; then
    # The web installer fetches SampleSetup.exe from this server, on a port
    # the system picks; the server writes it in its first line.
    python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$out" >"$server_log" 2>&1 &
    server_pid=$!
    local port=""
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
      return 1
    fi
    echo "serving $out on http://127.0.0.1:$port"

    # The builder takes the size announced in the download question from the
    # full setup beside the manifest. The web installer lies in a folder of
    # its own: beside SampleSetup.exe it would install that copy instead.
    sed "s|^Location *=.*|Location = http://127.0.0.1:$port|" "$sample/web-setup.ini" >"$stage/web-setup.ini"
    cp "$out/SampleSetup.exe" "$stage/"
    mkdir -p "$out/web"
    setup="$out/web/SampleWebSetup.exe"
    pack_setup "$stage/web-setup.ini" "$setup"
    # The size question would wait for an answer that nobody gives.
    setup_args=(/hide)
  fi

  prepare_product_dir
  run_setup "$setup" "${setup_args[@]}"
  local code=$setup_code

  if [ "$mode" = web ] && ! grep -q '"GET /SampleSetup.exe HTTP/[0-9.]*" 200' "$server_log"; then
    echo "the web installer did not download SampleSetup.exe (server log: $server_log)" >&2
    code=1
  fi

  local missing=0 file
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
    return "$code"
  fi
  return "$missing"
}

# wait_for SECONDS COMMAND...: runs COMMAND every half second until it
# succeeds; fails when SECONDS have passed first.
wait_for() {
  local limit=$((SECONDS + $1))
  shift
  until "$@"; do
    if [ "$SECONDS" -ge "$limit" ]; then
      return 1
    fi
    sleep 0.5
  done
}

agent_control() {
  wine "$win/tools/agent-control/agent-control.exe" SampleAgent.exe "$@" </dev/null 2>/dev/null | tr -d '\r'
}

# The agent's window handle; empty when no agent runs.
agent_window() {
  agent_control find || true
}

logged() {
  [ -f "$agent_log" ] && grep -qF -- "$1" "$agent_log"
}

# How many resident X_ agents have started.
x_agent_starts() {
  if [ -f "$agent_log" ]; then
    grep -cF -- "=== START === $product_dir\\X_SampleAgent.exe" "$agent_log" || true
  else
    echo 0
  fi
}

# The product's record: one block of lines per run of SampleApp.exe.
app_runs() {
  if [ -f "$app_record" ]; then
    grep -c '^Started=' "$app_record" || true
  else
    echo 0
  fi
}

original_version() {
  tr -d '\r' <"$installed/SampleProduct.original" | sed -n 's/^VersionOriginal=//p' | head -n 1
}

updated() {
  [ "$(original_version)" = 2 ] && [ "$(app_runs)" -ge 2 ] && [ "$(x_agent_starts)" -ge 2 ] &&
    [ -n "$(agent_window)" ]
}

# print_timeline LOG: the steps of the update from the probe that found it,
# with the seconds since that probe. Log lines begin "dd/mm/yy HH:NN:SS",
# the thread id and a three-character tag.
print_timeline() {
  awk -v setup="SampleSetup2.exe" -v info="SampleProduct.info" -v xagent="X_SampleAgent.exe" '
    function seconds(line,   t) {
      t = substr(line, 10, 8)
      return substr(t, 1, 2) * 3600 + substr(t, 4, 2) * 60 + substr(t, 7, 2)
    }
    function message(line) {
      if (!match(line, /^[0-9][0-9]\/[0-9][0-9]\/[0-9][0-9] [0-9:]+ +[0-9]+/)) return line
      return substr(line, RLENGTH + 4)
    }
    { lines[NR] = $0 }
    END {
      for (i = 1; i <= NR && !decided; i++) {
        m = message(lines[i])
        if (index(m, "Download START: ") == 1 && index(m, info)) probe = i
        if (index(m, "GetOkToPerformAU = 6") == 1) decided = i
      }
      if (!probe || !decided) { print "  no probe found the update"; exit 1 }
      n = split("probe|decision|download|downloaded|shutdown|stopped|install|installed|version written|product restart|agent restart|fresh agent", labels, "|")
      split("Download START: |GetOkToPerformAU = 6|Download START: |Download END:   |Shut Down Process() - START|Shut Down Process() - END|RunPackage() - START|RunPackage() - END|VersionOriginal=|Restart Process - WinExec|.. ReStartAutoUpdateExe() - Start|=== START === ", starts, "|")
      base = seconds(lines[probe]); day = 0; last = base; k = 1
      for (i = probe; i <= NR && k <= n; i++) {
        m = message(lines[i]); t = seconds(lines[i])
        if (t < last) day += 86400
        last = t
        if (index(m, starts[k]) != 1) continue
        if (k == 3 || k == 4) { if (!index(m, setup)) continue }
        if (k == 12 && !index(m, xagent)) continue
        printf "  %4d s  %-16s %s\n", t + day - base, labels[k], m
        at[k++] = t + day - base
      }
      if (k <= n) { printf "  (no %s in the log)\n", labels[k]; exit 1 }
      printf "from the probe: %d s to the restarted product, %d s to the fresh agent\n", at[10], at[12]
    }' "$1"
}

# Version VERSION of the sample built as OUTPUT: the stand-in installs
# SampleApp.exe, its settings and, with version 1, the agent's .original
# file; the stub adds the agent. Both versions come from one manifest: the
# same settings and token.
build_version() {
  local version="$1" output="$2"
  local dir="$update/stage$version"
  stage_setup "$dir"
  mkdir "$dir/app"
  cp "$win/tools/sample-app/sample-app-v$version.exe" "$dir/app/SampleApp.exe"
  printf '[SampleApp]\r\nOnClose=close\r\nRecord=%s\r\n' "$(winepath -w "$app_record")" >"$dir/app/SampleApp.ini"
  if [ "$version" -eq 1 ]; then
    {
      cat "$sample/update/SampleProduct.original"
      printf '\n[Directories]\nTargetDir=%s\n' "$product_dir"
    } >"$dir/app/SampleProduct.original"
  fi
  sed "s|^UpdateLocation *=.*|UpdateLocation = $location|" "$sample/update-setup.ini" >"$dir/update-setup.ini"
  pack_setup "$dir/update-setup.ini" "$output"
}

# check WHAT COMMAND...: counts a failed check.
failures=0
check() {
  local what="$1"
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what" >&2
    failures=$((failures + 1))
  fi
}

info_not_modified() {
  grep -q '"GET /sample-product/SampleProduct.info HTTP/[0-9.]*" 304 ' "$update/nginx/access.log"
}

setup_downloaded() {
  grep -q '"GET /sample-product/SampleSetup2.exe HTTP/[0-9.]*" 200 ' "$update/nginx/access.log"
}

# The record's version is the app's version resource, such as 2.0.0.0.
app_restarted_as_version_2() {
  tr -d '\r' <"$app_record" | awk '
    /^Started=/ { runs++; split(substr($0, 9), parts, "."); version[runs] = parts[1] }
    /^Pid=/ { pid[runs] = substr($0, 5) }
    /^Ended=WM_CLOSE$/ { closed[runs] = 1 }
    END { exit !(runs == 2 && version[1] == "1" && closed[1] && version[2] == "2" && !closed[2] && pid[1] != pid[2]) }'
}

another_window() {
  [ -n "$1" ] && [ "$1" != "$2" ]
}

# A process runs the installed SampleApp.exe: Wine maps the first page of a
# program's file, so its path shows in the process's memory map. Programs
# of other prefixes lie elsewhere, and a process whose file has since been
# replaced maps it as deleted.
app_running() {
  local exe
  exe="$(realpath "$installed/SampleApp.exe")"
  # Processes may end while grep reads the maps, which it counts as errors.
  [ -n "$(grep -hsF -- "$exe" /proc/[0-9]*/maps | grep -v '(deleted)' || true)" ]
}

# The agent has ended and its X_ copy has deleted itself.
agent_gone() {
  [ -z "$(agent_window)" ] && [ ! -e "$installed/X_SampleAgent.exe" ]
}

# Every run of the app that the record names has ended.
app_closed() {
  [ "$(tr -d '\r' <"$app_record" | grep -c '^Ended=')" = "$(app_runs)" ]
}

# Version 1 with its agent installed and running; version 2 published on
# the update location; the agent's update checked and its timeline shown.
update_job() {
  update="$out/update"
  rm -rf "$update"
  mkdir -p "$update/www/sample-product"
  nginx_start "$update/www" "$update/nginx"
  location="http://127.0.0.1:$nginx_port/sample-product"
  echo "update location $location (nginx, configuration and logs in $update/nginx)"

  wine_env_start "$win"
  # An agent left by an interrupted run would hold its files.
  agent_control stop >/dev/null || true
  prepare_product_dir
  app_record="$update/app-record.txt"
  agent_log="$installed/X_SampleAgent.log"
  local timeout="${TARNIX_UPDATE_TIMEOUT:-180}"

  build_version 1 "$update/SampleSetup1.exe"
  # Nothing may wait for an answer.
  run_setup "$update/SampleSetup1.exe" /hide
  if [ "$setup_code" -ne 0 ]; then
    return "$setup_code"
  fi
  local file
  for file in SampleApp.exe SampleApp.ini SampleAgent.exe SampleProduct.original; do
    if [ ! -f "$installed/$file" ]; then
      echo "not installed: $product_dir\\$file" >&2
      return 1
    fi
  done
  echo "version 1 installed in $product_dir ($installed):"
  ls -l "$installed"

  # What the location announces before the release: the installed version,
  # so that the agent's probes succeed and, the file being unchanged, are
  # answered "304 Not Modified" from the second one on.
  local site="$update/www/sample-product" stamp
  sed "s|^DownloadURL_UPDATE=.*|DownloadURL_UPDATE=$location|" "$sample/update/SampleProduct.info" >"$update/SampleProduct.info"
  "$pack" info "$update/SampleProduct.info" --version 1 --stamp 1 >/dev/null
  mv "$update/SampleProduct.info" "$site/"

  echo "starting SampleApp.exe and SampleAgent.exe"
  wine "$product_dir\\SampleApp.exe" </dev/null >"$update/app-wine.log" 2>&1 &
  if ! wait_for 60 grep -qs '^Started=1\.' "$app_record"; then
    echo "SampleApp.exe did not start" >&2
    return 1
  fi
  # The installed agent starts its resident X_ copy and ends.
  wine "$product_dir\\SampleAgent.exe" </dev/null >"$update/agent-wine.log" 2>&1
  if ! wait_for 60 logged "GetOkToPerformAU = "; then
    echo "the agent did not probe (log: $agent_log)" >&2
    return 1
  fi
  local first_agent
  first_agent="$(agent_window)"
  echo "the agent (window $first_agent) probes: nothing new is announced yet"
  # The next probes ask conditionally; nginx answers the unchanged file 304.
  if ! wait_for 60 info_not_modified; then
    echo "no probe of the unchanged announcement was answered 304 (log $update/nginx/access.log)" >&2
  fi

  # The vendor's release: version 2 built with the same manifest, its
  # announcement measured from it, the setup uploaded before the
  # announcement so that no agent reads an announcement of a file that is
  # not there yet.
  stamp="$(date +%Y%m%d)"
  build_version 2 "$site/SampleSetup2.exe"
  sed "s|^DownloadURL_UPDATE=.*|DownloadURL_UPDATE=$location|" "$sample/update/SampleProduct.info" >"$update/SampleProduct.info"
  "$pack" info "$update/SampleProduct.info" --update "$site/SampleSetup2.exe" --version 2 --stamp "$stamp"
  mv "$update/SampleProduct.info" "$site/"
  echo "version 2 published at $location; waiting for the update (at most $timeout s)"

  local start=$SECONDS
  if wait_for "$timeout" updated; then
    echo "updated $((SECONDS - start)) s after the release"
  else
    echo "the update did not end within $timeout s" >&2
  fi

  check "the .original file records version 2" [ "$(original_version)" = 2 ]
  check "the installed SampleApp.exe is version 2" cmp -s "$installed/SampleApp.exe" \
    "$win/tools/sample-app/sample-app-v2.exe"
  check "SampleApp.exe was closed and runs again as version 2 (record $app_record)" app_restarted_as_version_2
  check "SampleApp.exe runs (a process maps $product_dir\\SampleApp.exe)" app_running
  check "a fresh X_ agent started after the update" [ "$(x_agent_starts)" -ge 2 ]
  local fresh_agent
  fresh_agent="$(agent_window)"
  check "a fresh agent runs (window ${fresh_agent:-none}, before the update $first_agent)" \
    another_window "$fresh_agent" "$first_agent"
  check "nginx served SampleSetup2.exe (log $update/nginx/access.log)" setup_downloaded
  check "nginx answered a probe of the unchanged announcement 304 Not Modified" info_not_modified
  echo "the announcement's requests in nginx's access log (status and bytes):"
  grep -E '"(GET|HEAD) /sample-product/SampleProduct.info ' "$update/nginx/access.log" |
    sed -E 's/^.*"(GET|HEAD) ([^ ]*) [^"]*" ([0-9]+) ([0-9]+).*$/  \1 \3 \4 bytes/' | sort | uniq -c

  echo "update timeline from $agent_log (seconds from the probe):"
  print_timeline "$agent_log" || failures=$((failures + 1))

  echo "stopping the agent and SampleApp.exe"
  agent_control stop >/dev/null || true
  wait_for 30 agent_gone || echo "the agent did not stop" >&2
  wine taskkill /IM SampleApp.exe </dev/null >/dev/null 2>&1 || true
  wait_for 30 app_closed || echo "SampleApp.exe did not close" >&2

  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    return 1
  fi
  echo "the update from version 1 to version 2 passed every check"
}

trap cleanup EXIT
if [ "$mode" = update ]; then
  update_job
else
  setup_job
fi
