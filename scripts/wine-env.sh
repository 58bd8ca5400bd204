# Sourced by the scripts that run Windows programs under Wine: a prefix of
# the build's own, WINEDEBUG=-all, no Mono/Gecko prompts, a virtual display
# when there is none, and one persistent wineserver.
#
# Each Windows tree runs with its own Wine loader: build/win (32-bit) with
# Debian's wine, build/win64 (64-bit) with wine64. Some machines cannot
# execute 32-bit programs at all; there /usr/lib/wine/wine fails with "Exec
# format error" and only the 64-bit tree can run (wine_runs_32bit tells).
# Debian's wine, wineboot and winepath commands always take the 32-bit loader
# when it is installed, so wine_env_start puts commands of those names first
# in PATH that run the current tree's loader (WINELOADER).
xvfb_pid=""
wineserver_started=0

wine32_loader=/usr/lib/wine/wine
wine64_loader=/usr/lib/wine/wine64

# Whether this machine executes 32-bit Windows programs.
wine_runs_32bit() {
  "$wine32_loader" --version >/dev/null 2>&1
}

# tree_bits WIN_BUILD: 32 or 64, from the toolchain the tree was configured
# with.
tree_bits() {
  if grep -qs '^CMAKE_TOOLCHAIN_FILE.*x86_64' "$1/CMakeCache.txt"; then
    echo 64
  else
    echo 32
  fi
}

# program_files BITS: the Program Files folder where a program of that
# width installs in the current prefix; a 64-bit prefix keeps the 32-bit
# programs' folder apart.
program_files() {
  if [ "$1" = 32 ] && [ -d "$(winepath -u 'C:\Program Files (x86)')" ]; then
    echo 'C:\Program Files (x86)'
  else
    echo 'C:\Program Files'
  fi
}

# wine_commands DIR: wine, wineboot and winepath in DIR, each running the
# loader that WINELOADER names when it runs.
wine_commands() {
  mkdir -p "$1" || return 1
  printf '#!/bin/sh\nexec "$WINELOADER" "$@"\n' >"$1/wine"
  printf '#!/bin/sh\nexec "$WINELOADER" wineboot.exe "$@"\n' >"$1/wineboot"
  printf '#!/bin/sh\nexec "$WINELOADER" winepath.exe "$@" 2>/dev/null\n' >"$1/winepath"
  chmod +x "$1/wine" "$1/wineboot" "$1/winepath"
}

# Ends the current prefix's server, if this script started it.
wine_prefix_stop() {
  if [ "$wineserver_started" -eq 1 ]; then
    wineserver -k 2>/dev/null
    wineserver_started=0
  fi
}

wine_env_stop() {
  wine_prefix_stop
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
  fi
}

start_xvfb() {
  local fdfile
  fdfile="$(mktemp)"
  # Xvfb picks a free display itself and writes its number once it accepts
  # connections.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  local tries=0
  while [ ! -s "$fdfile" ] && [ "$tries" -lt 100 ]; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
      break
    fi
    sleep 0.1
    tries=$((tries + 1))
  done
  if [ ! -s "$fdfile" ]; then
    rm -f "$fdfile"
    echo "Xvfb did not start" >&2
    return 1
  fi
  DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
  export DISPLAY
  rm -f "$fdfile"
  echo "Xvfb on $DISPLAY"
}

# Whether this prefix's desktop process runs.
wine_desktop_running() {
  local p
  for p in $(pgrep -f 'explorer.exe /desktop'); do
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}

# wait_for_desktop up|down: until this prefix's desktop process runs, or
# has ended; at most 15 s.
wait_for_desktop() {
  local tries=0
  while [ "$tries" -lt 150 ]; do
    if wine_desktop_running; then
      [ "$1" = up ] && return 0
    else
      [ "$1" = down ] && return 0
    fi
    sleep 0.1
    tries=$((tries + 1))
  done
}

# wine_env_start WIN_BUILD: prefix under WIN_BUILD, the tree's loader, a
# display, one persistent wineserver for the whole run. A prefix started
# before in the same script is stopped first.
wine_env_start() {
  local TARNIX_WIN_BUILD="$1"
  wine_prefix_stop
  export WINEPREFIX="$TARNIX_WIN_BUILD/wineprefix"
  if [ "$(tree_bits "$TARNIX_WIN_BUILD")" = 64 ]; then
    export WINELOADER="$wine64_loader" WINEARCH=win64
  else
    export WINELOADER="$wine32_loader"
    unset WINEARCH
  fi
  local commands="$TARNIX_WIN_BUILD/wine-commands"
  wine_commands "$commands" || return 1
  case ":$PATH:" in
    *":$commands:"*) ;;
    *) export PATH="$commands:$PATH" ;;
  esac
  export WINEDEBUG="${WINEDEBUG:--all}"
  # No prompts to install Mono or Gecko, and no menu entries in the home
  # folder for the programs the prefix holds.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  if [ -z "${DISPLAY:-}" ]; then
    start_xvfb || return 1
  fi
  # The server must see the prefix folder; it writes the registry files
  # into it when it ends.
  mkdir -p "$WINEPREFIX" || return 1
  # A server left running for this prefix (by an interrupted run, or by a
  # developer's shell) is used as it is, and left running.
  if wineserver -p 2>/dev/null; then
    wineserver_started=1
  else
    echo "using the wineserver already running for $WINEPREFIX"
  fi
  # wineboot also starts the prefix's service processes, which live as long
  # as the persistent server. Started by a test instead, they would keep its
  # output pipe open and ctest would wait for them until the timeout.
  local start=$SECONDS init=()
  if [ ! -f "$WINEPREFIX/.tarnix-initialised-2" ]; then
    init=(-i)
  fi
  if ! wineboot "${init[@]}" </dev/null >"$TARNIX_WIN_BUILD/wineboot.log" 2>&1; then
    cat "$TARNIX_WIN_BUILD/wineboot.log" >&2
    return 1
  fi
  if [ ${#init[@]} -gt 0 ]; then
    # Without a window manager, Wine waits two seconds for one whenever a
    # captioned window is destroyed; unmanaged windows are not waited for.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || return 1
    # A program that crashes ends with its backtrace on the error output,
    # instead of waiting in a crash dialog that nobody closes.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 ||
      return 1
    touch "$WINEPREFIX/.tarnix-initialised-2"
    echo "Wine prefix $WINEPREFIX initialised in $((SECONDS - start)) s"
    # The desktop process that wineboot started when it initialised the
    # prefix ends a few seconds after the last program leaves the desktop;
    # the first window of a test would then start the next one. Wait for it
    # to end, so that the desktop process below, which lives as long as the
    # server, takes its place.
    wait_for_desktop down
  fi
  # The desktop process comes up with the first window of a session and
  # lives as long as a program uses the desktop. Started by a test, it would
  # inherit the test's output pipe and ctest would wait for it until the
  # timeout, or until the groups that run beside it end. Started here
  # through start.exe, which stays and keeps the desktop in use, it lives as
  # long as the server.
  if ! wine_desktop_running; then
    (setsid wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &)
    wait_for_desktop up
  fi
}

