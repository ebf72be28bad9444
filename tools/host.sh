# What this machine can run, and private X servers: sourced by every script
# that runs the saver (tools/*.sh, tests/harness/wine-run.sh).
#
# Some machines run 32-bit Linux programs, and so 32-bit Wine and the shipped
# 32-bit saver; others refuse them ("Exec format error"). Which one this is
# is found by starting 32-bit Wine's own loader, never from a build's cache;
# which loader a built program needs is read from its PE header.
#
# Run as a command, it answers the same questions for CMake and for people:
#   bash tools/host.sh windows-arch       i686 where 32-bit Wine starts, else x86_64
#   bash tools/host.sh wine-loader ARCH   the loader for ARCH; status 1 when it cannot start here
#   bash tools/host.sh loader-for FILE    the loader for a built Windows program

wine32_loader=/usr/lib/wine/wine
wine64_loader=/usr/lib/wine/wine64
# The program loader every 32-bit Linux program names as its interpreter.
linux32_loader=/lib/ld-linux.so.2

# True when the given Wine loader starts on this machine.
wine_starts() { "$1" --version >/dev/null 2>&1; }

# Why 32-bit Wine does not start here: 32-bit programs are refused (their
# loader is there and will not run: "Exec format error", or an empty file in
# without_32bit's namespace), or else 32-bit Wine itself is missing.
wine32_missing_reason() {
  "$linux32_loader" --version >/dev/null 2>&1
  if [ $? = 126 ]; then echo "32-bit programs do not run here"; else echo "32-bit Wine does not start here"; fi
}

# The Wine loader for a Windows architecture (i686 or x86_64).
wine_loader() {
  case $1 in
    i686) echo "$wine32_loader" ;;
    x86_64) echo "$wine64_loader" ;;
    *) echo "host: no Windows architecture $1" >&2; return 2 ;;
  esac
}

# The Windows build this machine runs: the shipped 32-bit one where 32-bit
# Wine starts, else the 64-bit one.
windows_arch() {
  if wine_starts "$wine32_loader"; then echo i686; else echo x86_64; fi
}

# The Wine loader a built Windows program needs, from the magic of its PE
# optional header: 0x10b (PE32) takes the 32-bit loader, 0x20b (PE32+) wine64.
loader_for() {
  local file=$1 pe magic
  pe=$(od -An -tu4 -j 60 -N 4 "$file" 2>/dev/null | tr -d ' ')
  [ -n "$pe" ] && [ "$(od -An -c -j "$pe" -N 2 "$file" | tr -d ' ')" = PE ] ||
    { echo "host: $file is not a Windows program" >&2; return 2; }
  magic=$(od -An -tx2 -j $((pe + 24)) -N 2 "$file" | tr -d ' ')
  case $magic in
    010b) echo "$wine32_loader" ;;
    020b) echo "$wine64_loader" ;;
    *) echo "host: $file has an unknown PE magic $magic" >&2; return 2 ;;
  esac
}

# Starts a private X server writing into DIR and exports DISPLAY; sets
# x_server_pid. KIND is xvfb or xorg; the other arguments go to the server.
# -noreset: a server that resets when its last client leaves refuses a client
# connecting during the reset. Fails, with the server's log, when the server
# did not take connections within 30 s.
#   start_x_server DIR KIND [SERVER_ARGS...]
start_x_server() {
  local dir=$1 kind=$2 fd log
  shift 2
  : >"$dir/display"
  exec {fd}>"$dir/display"
  case $kind in
    xvfb) log=$dir/xvfb.log
      Xvfb -displayfd "$fd" -nolisten tcp -noreset "$@" >"$log" 2>&1 & ;;
    xorg) log=$dir/xorg.out
      Xorg -displayfd "$fd" -nolisten tcp -noreset "$@" >"$log" 2>&1 & ;;
    *) exec {fd}>&-; echo "host: no X server kind $kind" >&2; return 2 ;;
  esac
  x_server_pid=$!
  exec {fd}>&-
  # The server writes its display number once it takes connections.
  for _ in $(seq 600); do
    [ -s "$dir/display" ] || ! kill -0 "$x_server_pid" 2>/dev/null && break
    sleep 0.05
  done
  if [ ! -s "$dir/display" ]; then
    echo "host: the X server ($kind) did not start; its log:" >&2
    sed 's/^/  /' "$log" >&2
    stop_x_server
    return 1
  fi
  export DISPLAY=:$(head -n 1 "$dir/display")
}

# Starts Xorg with the dummy driver, its configuration and log in DIR, and
# exports DISPLAY as start_x_server does: one 1024x768 monitor offering the
# modes the saver switches to (tests/harness/xorg-one-head.conf); with right
# or left, two monitors, the 800x600 primary (DUMMY0) and a 1024x768 second
# head (DUMMY1) on that side of it; with below, a second 800x600 head under
# the primary (xorg-two-heads.conf, the side and the second mode filled in).
#   start_xorg DIR [right|left|below]
start_xorg() {
  local dir=$1 side=${2:-} configs
  configs=$(dirname "${BASH_SOURCE[0]}")/../tests/harness
  # Fills in the second head's side and mode.
  two_heads() { sed "s/@SIDE@/$1/; s/@SECOND_MODE@/$2/" "$configs/xorg-two-heads.conf" >"$dir/xorg.conf"; }
  case $side in
    "") cp "$configs/xorg-one-head.conf" "$dir/xorg.conf" ;;
    right) two_heads RightOf 1024x768 ;;
    left) two_heads LeftOf 1024x768 ;;
    below) two_heads Below 800x600 ;;
    *) echo "host: no monitor placement $side (right, left or below)" >&2; return 2 ;;
  esac || return
  start_x_server "$dir" xorg -config "$dir/xorg.conf" -logfile "$dir/xorg.log" -novtswitch -sharevts
}

# Stops the X server start_x_server started, if any.
stop_x_server() {
  [ -n "${x_server_pid:-}" ] || return 0
  kill "$x_server_pid" 2>/dev/null && wait "$x_server_pid" 2>/dev/null
  x_server_pid=""
  return 0
}

# Runs a command as on a machine that cannot run 32-bit programs: in a private
# mount namespace whose 32-bit program loader (the interpreter every 32-bit
# program names, wherever its link leads) is an empty file, so that every
# 32-bit program started inside fails as it does there ("Exec format error"
# there, status 126 here). Returns 125, having said so in one line, only when
# 32-bit Wine does not start here at all: there is nothing to hide. Where it
# starts but the namespace or the mount is refused, or 32-bit Wine still
# starts inside, says which in one line on stderr and returns 1 without
# running the command.
#   without_32bit COMMAND [ARGS...]
without_32bit() {
  wine_starts "$wine32_loader" || { echo "host: 32-bit Wine does not start here; nothing to hide"; return 125; }
  unshare -m true 2>/dev/null ||
    { echo "host: 32-bit Wine starts here, but a private mount namespace was refused (unshare -m)" >&2; return 1; }
  unshare -m sh -c '
    wine=$1 loader=$2
    shift 2
    mount --bind /dev/null "$loader" 2>/dev/null ||
      { echo "host: 32-bit Wine starts here, but the bind mount over $loader was refused" >&2; exit 1; }
    ! "$wine" --version >/dev/null 2>&1 ||
      { echo "host: 32-bit Wine still starts with $loader hidden" >&2; exit 1; }
    exec "$@"' sh "$wine32_loader" "$linux32_loader" "$@"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case ${1:-} in
    windows-arch) windows_arch ;;
    wine-loader) loader=$(wine_loader "${2:-}") || exit 2
      echo "$loader"; wine_starts "$loader" || exit 1 ;;
    loader-for) loader_for "${2:?a Windows program}" ;;
    *) echo "usage: host.sh windows-arch | wine-loader ARCH | loader-for FILE" >&2; exit 2 ;;
  esac
fi
