#!/usr/bin/env bash
# Runs a download job until its first file starts moving, then ends it: how long the listing and
# the queue take to prepare, however long the queue. Every status line is printed
# (SKYHAUL_VERBOSE=1) and watched for the first "prenos iz strežnika"; the program is ended
# there. Fails when that does not come within LIMIT seconds (default 120).
#
#   bench/first-transfer.sh WORKDIR PROGRAM JOB...
set -euo pipefail
workdir="$1" program="$2"
shift 2
limit="${LIMIT:-120}"
errors="$(mktemp)"
trap 'rm -f "$errors"' EXIT
env -C "$workdir" SKYHAUL_UI=console SKYHAUL_VERBOSE=1 "$program" "$@" </dev/null 2>"$errors" &
pid=$!
for _ in $(seq $((limit * 100))); do
  if grep -q "prenos iz strežnika" "$errors"; then
    kill "$pid"
    wait "$pid" || true
    exit 0
  fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.01
done
kill "$pid" 2>/dev/null || true
wait "$pid" || true
echo "no transfer started within $limit s:" >&2
head -5 "$errors" >&2
exit 1
