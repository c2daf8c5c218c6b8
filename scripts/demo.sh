#!/usr/bin/env bash
# Sets everything up and runs a demo job: a loopback FTP server (the test server) with the
# default account ftpjob / pelmun, a few sample files uploaded with DEL and downloaded back.
# The demo's folder in /tmp is removed at the end unless SKYHAUL_DEMO_KEEP=1. The server listens
# on port 21 when it is free (so the built-in defaults serve), otherwise on a free port;
# SKYHAUL_DEMO_PORT=N sets the port (0: any free one).
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$(pwd)"
scripts/build.sh

demo="$(mktemp -d /tmp/skyhaul-demo-XXXXXX)"
mkdir -p "$demo/program" "$demo/outbox" "$demo/inbox" "$demo/server" "$demo/work"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  if [ "${SKYHAUL_DEMO_KEEP:-0}" = "1" ]; then
    echo "== Demo je ostal v $demo"
  else
    rm -rf "$demo"
  fi
}
trap cleanup EXIT

if [ -n "${SKYHAUL_DEMO_PORT:-}" ]; then
  port="$SKYHAUL_DEMO_PORT"
  [[ "$port" =~ ^[0-9]+$ ]] || { echo "SKYHAUL_DEMO_PORT mora biti številka vrat." >&2; exit 1; }
else
  port=21
  if ! /usr/bin/python3 -c 'import socket,sys; s=socket.socket(); s.bind(("127.0.0.1",21))' 2>/dev/null; then
    port=0
  fi
fi
coproc SERVER { exec /usr/bin/python3 "$repo/tests/support/ftp_server.py" --root "$demo/server" --port "$port"; }
server_pid=$SERVER_PID
ready=""
read -r -t 15 ready port <&"${SERVER[0]}" || true
[ "$ready" = "READY" ] || { echo "Strežnik FTP se ni zagnal." >&2; exit 1; }
echo "== Strežnik FTP posluša na 127.0.0.1:$port (ftpjob / pelmun)"

cp build/skyhaul "$demo/program/skyhaul"
server_line=""
[ "$port" = "21" ] || server_line="FTPURL=localhost:$port"
cat > "$demo/program/ftpjob.ini" <<INI
[PROGRAM]
IZBRANO=demo

[demo]
$server_line
ftpdir=/
localdir=$demo/outbox/
INI

for i in 1 2 3; do
  head -c $((i * 40000 + 17)) /dev/urandom > "$demo/outbox/porocilo$i.txt"
done
echo "konec meseca" > "$demo/outbox/opomba.txt"
echo "ni del maske" > "$demo/outbox/slika.dat"
(cd "$demo/outbox" && sha256sum ./*.txt) > "$demo/sums"

echo "== Skyhaul '*.txt,UP,DEL' (nalaganje na strežnik, izvor se pobriše)"
status=0
(cd "$demo/work" && SKYHAUL_UI=console "$demo/program/skyhaul" '*.txt,UP,DEL') || status=$?
echo "== Izhodni status: $status"
echo "== Lokalna mapa po nalaganju:"; ls -l "$demo/outbox"
echo "== Strežnik po nalaganju:"; ls -l "$demo/server"

# The download goes back through a section named on the command line.
cat >> "$demo/program/ftpjob.ini" <<INI

[nazaj]
FTPURL=localhost:$port
ftpdir=/
localdir=$demo/inbox/
uporabnik=ftpjob
geslo=pelmun
INI
echo "== Skyhaul 'nazaj,*.txt,DOWN' (prenos nazaj v drugo mapo)"
status=0
(cd "$demo/work" && SKYHAUL_UI=console "$demo/program/skyhaul" 'nazaj,*.txt,DOWN') || status=$?
echo "== Izhodni status: $status"
echo "== Prejete datoteke:"; ls -l "$demo/inbox"
(cd "$demo/inbox" && sha256sum -c "$demo/sums")
echo "== SKYHAUL.log:"; cat "$demo/work/SKYHAUL.log"
