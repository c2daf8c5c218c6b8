#!/usr/bin/env bash
# Takes a picture of the window in the middle of a real transfer: a 200 MiB download from the
# loopback test server, shown on a virtual X screen. Saves it to docs/window.png (or to $1).
# SKYHAUL_BINARY names the program to run; by default it is built into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
output="${1:-$repo/docs/window.png}"
binary="${SKYHAUL_BINARY:-$repo/build/skyhaul}"
size_mib=200

if [ -z "${SKYHAUL_BINARY:-}" ]; then
  scripts/build.sh
fi
scripts/setup.sh xvfb x11-apps imagemagick

work="$(mktemp -d /tmp/skyhaul-screenshot-XXXXXX)"
mkdir -p "$work/program" "$work/server" "$work/inbox" "$work/run"
server_pid=""
xvfb_pid=""
program_pid=""
stop() {
  local pid="$1"
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
}
cleanup() {
  stop "$program_pid"
  stop "$xvfb_pid"
  stop "$server_pid"
  rm -rf "$work"
}
trap cleanup EXIT

head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/server/arhiv.zip"

coproc SERVER { exec /usr/bin/python3 "$repo/tests/support/ftp_server.py" --root "$work/server"; }
server_pid=$SERVER_PID
read -r -t 15 ready port <&"${SERVER[0]}"
[ "$ready" = "READY" ] || { echo "Strežnik FTP se ni zagnal." >&2; exit 1; }

# Xvfb picks a free display number and writes it to the descriptor it is given.
Xvfb -displayfd 3 -screen 0 640x420x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
display=""
for _ in $(seq 1 150); do
  display="$(cat "$work/display")"
  [ -n "$display" ] && break
  sleep 0.1
done
[ -n "$display" ] || { echo "Xvfb se ni zagnal." >&2; exit 1; }
export DISPLAY=":$display"

cp "$binary" "$work/program/skyhaul"
# The window is a module the program looks for beside itself.
cp "$(dirname "$binary")/skyhaul-okno.so" "$work/program/"
cat > "$work/program/ftpjob.ini" <<INI
[PROGRAM]
IZBRANO=slika

[slika]
FTPURL=127.0.0.1:$port
ftpdir=/
localdir=$work/inbox/
INI

(cd "$work/run" && SKYHAUL_UI=window QT_QPA_PLATFORM=xcb exec "$work/program/skyhaul" 'arhiv.zip,DOWN') &
program_pid=$!

# Mid-transfer: once about a third of the file has arrived, and the window had time to show it.
target=$((size_mib * 1024 * 1024 / 3))
for _ in $(seq 1 1200); do
  arrived="$(stat -c %s "$work/inbox/arhiv.zip" 2>/dev/null || echo 0)"
  [ "$arrived" -ge "$target" ] && break
  kill -0 "$program_pid" 2>/dev/null || { echo "Skyhaul se je končal pred sliko." >&2; exit 1; }
  sleep 0.1
done
[ "$arrived" -ge "$target" ] || { echo "Prenos ni napredoval." >&2; exit 1; }
sleep 0.5

mkdir -p "$(dirname "$output")"
import -window "FTP prenos" "$output"
echo "Slika okna: $output"
