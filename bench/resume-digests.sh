#!/usr/bin/env bash
# Resume and digests against the loopback test server, on a tmpfs: a 1 GiB download whose data
# connection is cut at 40% and again at 80% (the REST offsets show how much moved twice), and a
# 256 MiB download with the server's SHA-256 checked and with digests off (three runs each; the
# times include the job's fixed waits: 5.1 s, and 2 s per reconnection).
#
#   bench/resume-digests.sh            # needs build/skyhaul (scripts/build.sh)
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
bin="${SKYHAUL_BINARY:-$repo/build/skyhaul}"
base="$(mktemp -d /dev/shm/skyhaul-resume-XXXXXX)"; mkdir -p "$base"/srv/in "$base"/loc "$base"/prog "$base"/work
cp "$bin" "$base"/prog/skyhaul
head -c $((1024*1024*1024)) /dev/urandom > "$base"/srv/in/big.bin
head -c $((256*1024*1024)) /dev/urandom > "$base"/srv/in/mid.bin
run_server() {  # faults...
  local args=()
  for f in "$@"; do args+=(--fault "$f"); done
  rm -f "$base"/record
  /usr/bin/python3 "$repo"/tests/support/ftp_server.py --root "$base"/srv --port 0 --record "$base"/record "${args[@]}" > "$base"/srv.out 2>&1 &
  server=$!
  for _ in $(seq 50); do grep -q READY "$base"/srv.out 2>/dev/null && break; sleep 0.1; done
  port=$(awk '/READY/{print $2}' "$base"/srv.out)
}
settings() {  # extra
  printf '[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=127.0.0.1:%s\nftpdir=in/\nlocaldir=%s/loc/\nuporabnik=ftpjob\ngeslo=pelmun\n%b' \
    "$port" "$base" "$1" > "$base"/prog/ftpjob.ini
  chmod 600 "$base"/prog/ftpjob.ini
}
job() { rm -f "$base"/loc/*; /usr/bin/time -f "%e s wall, %U+%S s CPU" env -C "$base"/work SKYHAUL_UI=console XDG_RUNTIME_DIR="$base"/work "$base/prog/skyhaul" "$1" 2>&1 | tail -1; }

echo "== 1 GiB download, data cut at 40% and again at 80% of the file"
run_server "reset-data:RETR:429496730:times=2"
settings ""
job "big.bin,DOWN"
grep -E "REST|RETR" "$base"/record | sed 's/^/   /'
cmp "$base"/loc/big.bin "$base"/srv/in/big.bin && echo "   intact"
kill $server; wait $server 2>/dev/null || true

for mode in off on; do
  echo "== 256 MiB download, digest $mode"
  if [ $mode = on ]; then run_server "digests:XSHA256"; settings ""; else run_server; settings "kontrolnevsote=0\n"; fi
  for _ in 1 2 3; do job "mid.bin,DOWN"; done
  kill $server; wait $server 2>/dev/null || true
done
echo "== the server's hashing of 256 MiB (python hashlib, as the test server does)"
/usr/bin/time -f "%e s" /usr/bin/python3 -c "import hashlib,sys;h=hashlib.sha256();f=open(sys.argv[1],'rb');[h.update(b) for b in iter(lambda:f.read(1<<20),b'')]" "$base"/srv/in/mid.bin
rm -rf "$base"
