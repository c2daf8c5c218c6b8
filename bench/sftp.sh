#!/usr/bin/env bash
# Skyhaul over SFTP against OpenSSH's own sftp client: 256 MiB each way, the same sshd on
# loopback (started here, as root, with keys made for the run; the account is root, its folder a
# tmpfs), the same cipher (whatever both pick first: chacha20-poly1305 on OpenSSH 9.2). Three
# runs each; Skyhaul's wall time includes its fixed waits (5.1 s down, 6.1 s up), which the table
# takes off.
#
#   bench/sftp.sh            # needs build/skyhaul (scripts/build.sh), openssh-server
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
bin="${SKYHAUL_BINARY:-$repo/build/skyhaul}"
mib="${SFTP_MIB:-256}"
base="$(mktemp -d /dev/shm/skyhaul-sftp-XXXXXX)"
sshd_pid=""
cleanup() {
  if [ -n "$sshd_pid" ]; then kill "$sshd_pid" 2>/dev/null || true; fi
  rm -rf "$base"
}
trap cleanup EXIT
mkdir -p "$base"/keys "$base"/srv/in "$base"/loc "$base"/prog "$base"/work "$base"/down
ssh-keygen -q -t ed25519 -N '' -f "$base"/keys/host
ssh-keygen -q -t ed25519 -N '' -f "$base"/keys/client
cp "$base"/keys/client.pub "$base"/keys/authorized_keys
port="$(/usr/bin/python3 -c 'import socket;s=socket.socket();s.bind(("127.0.0.1",0));print(s.getsockname()[1])')"
cat > "$base"/keys/sshd_config <<CONF
Port $port
ListenAddress 127.0.0.1
HostKey $base/keys/host
PidFile none
AuthorizedKeysFile $base/keys/authorized_keys
StrictModes no
UsePAM no
PermitRootLogin yes
Subsystem sftp internal-sftp
CONF
mkdir -p /run/sshd
/usr/sbin/sshd -D -e -f "$base"/keys/sshd_config 2>"$base"/sshd.log &
sshd_pid=$!
for _ in $(seq 50); do grep -q "Server listening" "$base"/sshd.log 2>/dev/null && break; sleep 0.1; done
echo "[127.0.0.1]:$port $(cut -d' ' -f1-2 "$base"/keys/host.pub)" > "$base"/keys/known_hosts
head -c $((mib * 1024 * 1024)) /dev/urandom > "$base"/data.bin
cp "$bin" "$base"/prog/skyhaul
printf '[PROGRAM]\nIZBRANO=job\n[job]\nFTPURL=sftp://127.0.0.1:%s\nftpdir=%s/srv/in/\nlocaldir=%s/loc/\nuporabnik=root\nkljuc=%s/keys/client\nznanigostitelji=%s/keys/known_hosts\n' \
  "$port" "$base" "$base" "$base" "$base" > "$base"/prog/ftpjob.ini
chmod 600 "$base"/prog/ftpjob.ini
sftp_client=(sftp -q -b "$base"/batch -P "$port" -i "$base"/keys/client
  -o UserKnownHostsFile="$base"/keys/known_hosts -o BatchMode=yes root@127.0.0.1)
timed() {  # timed LABEL COMMAND...: wall and CPU seconds
  local label="$1" start end
  shift
  start=$(date +%s.%N)
  /usr/bin/time -f "%U %S" -o "$base"/cpu "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  printf '%s %.3f %s\n' "$label" "$(echo "$end - $start" | bc)" "$(cat "$base"/cpu)"
}
for _ in 1 2 3; do
  rm -f "$base"/srv/in/* "$base"/loc/*
  cp "$base"/data.bin "$base"/loc/up.bin
  timed skyhaul-up env -C "$base"/work SKYHAUL_UI=console XDG_RUNTIME_DIR="$base"/work "$base"/prog/skyhaul "up.bin,UP"
  cmp "$base"/data.bin "$base"/srv/in/up.bin
  rm -f "$base"/srv/in/*
  echo "put $base/data.bin $base/srv/in/up.bin" > "$base"/batch
  timed sftp-up "${sftp_client[@]}"
  cmp "$base"/data.bin "$base"/srv/in/up.bin
  rm -f "$base"/loc/*
  cp "$base"/data.bin "$base"/srv/in/down.bin
  timed skyhaul-down env -C "$base"/work SKYHAUL_UI=console XDG_RUNTIME_DIR="$base"/work "$base"/prog/skyhaul "down.bin,DOWN"
  cmp "$base"/data.bin "$base"/loc/down.bin
  rm -f "$base"/down/*
  echo "get $base/srv/in/down.bin $base/down/down.bin" > "$base"/batch
  timed sftp-down "${sftp_client[@]}"
  cmp "$base"/data.bin "$base"/down/down.bin
done
