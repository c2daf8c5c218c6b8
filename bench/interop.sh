#!/usr/bin/env bash
# Skyhaul against real FTP servers on loopback: vsftpd, proftpd and pure-ftpd, each on a free
# port with a local user of its own (made for the run, chrooted to a temporary folder, removed at
# the end). Per server and TLS version one Skyhaul job uploads three files (0 B, 600 B, 3 MiB + 77
# B) with DEL and a second one downloads them back with DEL, passive; the bytes are compared on
# both sides. curl does the same as a peer, one connection per file, to show the server is right;
# under TLS it also checks that a plain login is refused, that the version is the one the server
# was limited to, and (where the server can insist) that a data connection that does not resume
# the control connection's TLS session is refused.
# Prints one table and exits non-zero when anything failed.
#
#   bench/interop.sh                      # MODE=tls: FTPS (AUTH TLS), TLS 1.2 and TLS 1.3
#   MODE=plain bench/interop.sh           # plain FTP
#   SKYHAUL_BINARY=build-x/skyhaul bench/interop.sh   # an already built program
#
# Needs root (Debian 12): apt-get, useradd, and servers that switch to the user. vsftpd is the one
# scripts/setup.sh unpacks (or a package's); the three conflict as packages, so proftpd and
# pure-ftpd are fetched with apt-get download and unpacked with dpkg-deb -x into the temporary
# folder, and only the libraries they link are installed.
#
# What each server needed for TLS (and for a local user at all):
# - vsftpd 3.0.3: ssl_enable=YES, force_local_logins_ssl=YES, force_local_data_ssl=YES,
#   require_ssl_reuse=YES, rsa_cert_file and rsa_private_key_file. It has no setting for the
#   highest version (3.0.3 knows ssl_tlsv1 but not ssl_tlsv1_2, and an unknown one makes it exit
#   silently), so OPENSSL_CONF hands its OpenSSL a MinProtocol and MaxProtocol. Its logins go
#   through PAM (pam_shells: a shell from /etc/shells); its chroot must not be writable by the
#   user, and every folder above it must be searchable by the user, or the login dies after 230.
# - proftpd 1.3.8 (proftpd-core, proftpd-mod-crypto): LoadModule mod_tls.c from the unpacked
#   ModulePath, TLSEngine on, TLSRequired on, TLSProtocol TLSv1.2 or TLSv1.3,
#   TLSRSACertificateFile and TLSRSACertificateKeyFile, TLSVerifyClient off; session reuse is
#   required by default. Under TLS 1.3 every data connection must resume the control
#   connection's session: curl 7.88 offers the previous data connection's and its second
#   transfer in one session gets "425 Unable to build data connection", hence a connection per
#   file for curl. For the login: AuthPAM off with AuthOrder mod_auth_unix.c (no PAM service of
#   its own here), RequireValidShell off, DefaultRoot ~; DelayEngine off.
# - pure-ftpd 1.0.50 (pure-ftpd, pure-ftpd-common): -Y 3 (TLS for the login and for every data
#   connection) and -2 CERT,KEY; -l unix -A (chroot everyone) -E (no anonymous). It cannot be
#   made to require session reuse (a data connection that does not resume is accepted), and like
#   vsftpd it takes its TLS versions from OPENSSL_CONF.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=bench/common.sh
. bench/common.sh

MODE="${MODE:-tls}"
case "$MODE" in plain | tls) ;; *) echo "MODE is plain or tls, not $MODE" >&2; exit 64 ;; esac
[ "$(id -u)" -eq 0 ] || { echo "bench/interop.sh needs root" >&2; exit 1; }

SERVERS=(vsftpd proftpd pureftpd)
FILES=(empty.bin b600.bin c3m77.bin)
UNPACKED=(proftpd-core proftpd-mod-crypto pure-ftpd pure-ftpd-common)
USER_MARKER="Skyhaul interop"

# The unpacked servers' libraries, beside what the script itself runs.
install_packages curl openssl passwd python3 procps libhiredis0.14 libmemcached11 \
  libmemcachedutil2 libpcre2-posix3 libsodium23
find_skyhaul
find_vsftpd

work="$(mktemp -d /tmp/skyhaul-interop-XXXXXX)"
chmod 755 "$work"  # the users' chroots lie inside, and the servers enter them as the users
server_pid=""
users=()
cleanup() {
  stop_server
  for user in "${users[@]}"; do
    sessions_gone "$user"
    userdel "$user" || echo "user $user is left: remove it with userdel $user" >&2
  done
  rm -rf "$work"
}
trap cleanup EXIT

stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
  fi
}

# sessions_gone USER: a stopped server's sessions of USER end on their own; waits a while for
# them, since userdel refuses a user that still runs processes.
sessions_gone() {
  for _ in $(seq 100); do
    pgrep -u "$1" >/dev/null || return 0
    sleep 0.05
  done
}

unpack_servers() {
  mkdir -p "$work/debs" "$work/pkg"
  # As root the download cannot drop to apt's own user in a folder of root's.
  local download=(apt-get -q -o APT::Sandbox::User=root download "${UNPACKED[@]}")
  (cd "$work/debs" && "${download[@]}" >/dev/null 2>&1) ||
    { apt-get update -qq && (cd "$work/debs" && "${download[@]}" >/dev/null); }
  for deb in "$work/debs/"*.deb; do dpkg-deb -x "$deb" "$work/pkg"; done
}

# make_user SERVER: the server's own login, its home a root-owned chroot with files/ writable by
# it. Sets the password in pass_SERVER.
make_user() {
  local server="$1" name="skyint-$1" home="$work/home-$1" password
  if id -u "$name" >/dev/null 2>&1; then
    # Only a leftover of a killed run is taken away, never an account of someone's own.
    [ "$(getent passwd "$name" | cut -d: -f5)" = "$USER_MARKER" ] ||
      { echo "a user $name exists already" >&2; exit 1; }
    userdel "$name"
  fi
  mkdir -p "$home/files"
  chmod 755 "$home"
  useradd -M -N -d "$home" -s /bin/sh -c "$USER_MARKER" "$name"
  users+=("$name")
  chown "$name" "$home/files"
  password="$(openssl rand -hex 16)"
  echo "$name:$password" | chpasswd
  printf -v "pass_$server" '%s' "$password"
}

# openssl_limits VERSION: an OpenSSL configuration that allows TLS VERSION (1.2, 1.3) only.
openssl_limits() {
  local file="$work/openssl-$1.cnf"
  printf '%s\n' "openssl_conf = interop" "[interop]" "ssl_conf = interop_ssl" "[interop_ssl]" \
    "system_default = interop_tls" "[interop_tls]" "MinProtocol = TLSv$1" "MaxProtocol = TLSv$1" >"$file"
  echo "$file"
}

vsftpd_config() {  # vsftpd_config PORT VERSION
  cat <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$1
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
local_umask=022
chroot_local_user=YES
connect_from_port_20=NO
pasv_enable=YES
xferlog_enable=NO
dirmessage_enable=NO
seccomp_sandbox=NO
secure_chroot_dir=/var/run/vsftpd/empty
pam_service_name=vsftpd
CONF
  [ "$2" = - ] || vsftpd_tls_settings "$work/tls"
}

proftpd_config() {  # proftpd_config PORT VERSION
  cat <<CONF
ServerType standalone
ServerName "Skyhaul interop"
Port $1
DefaultAddress 127.0.0.1
SocketBindTight on
UseIPv6 off
User nobody
Group nogroup
PidFile $work/proftpd.pid
ScoreboardFile $work/proftpd.scoreboard
SystemLog $work/proftpd.log
TransferLog none
WtmpLog off
UseReverseDNS off
DelayEngine off
ModulePath $work/pkg/usr/lib/proftpd
AuthPAM off
AuthOrder mod_auth_unix.c
RequireValidShell off
DefaultRoot ~
AllowOverwrite on
Umask 022
CONF
  [ "$2" = - ] || cat <<CONF
LoadModule mod_tls.c
TLSEngine on
TLSRequired on
TLSProtocol TLSv$2
TLSRSACertificateFile $work/tls/server.pem
TLSRSACertificateKeyFile $work/tls/server.key
TLSVerifyClient off
TLSLog $work/proftpd-tls.log
CONF
}

# start_server SERVER VERSION: VERSION is 1.2, 1.3 or - (plain). Sets port and server_pid.
start_server() {
  local server="$1" version="$2" limits=()
  port="$(free_port)"
  [ "$version" = - ] || limits=("OPENSSL_CONF=$(openssl_limits "$version")")
  case "$server" in
    vsftpd)
      mkdir -p /var/run/vsftpd/empty
      vsftpd_config "$port" "$version" >"$work/vsftpd.conf"
      env "${limits[@]}" "$VSFTPD" "$work/vsftpd.conf" >"$work/server.log" 2>&1 &
      ;;
    proftpd)
      proftpd_config "$port" "$version" >"$work/proftpd.conf"
      "$work/pkg/usr/sbin/proftpd" -n -q -c "$work/proftpd.conf" >"$work/server.log" 2>&1 &
      ;;
    pureftpd)
      local tls=(-Y 0)
      [ "$version" = - ] || tls=(-Y 3 -2 "$work/tls/server.pem,$work/tls/server.key")
      env "${limits[@]}" "$work/pkg/usr/sbin/pure-ftpd" -S "127.0.0.1,$port" -4 -l unix -A -E -H \
        "${tls[@]}" >"$work/server.log" 2>&1 &
      ;;
  esac
  server_pid=$!
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "$server did not start:" >&2
  cat "$work/server.log" >&2
  exit 1
}

server_version() {
  case "$1" in
    vsftpd) echo "vsftpd $(vsftpd_version | cut -d- -f1)" ;;
    proftpd) echo "proftpd $(dpkg-deb -f "$work/debs/"proftpd-core_*.deb Version | cut -d+ -f1)" ;;
    pureftpd) echo "pure-ftpd $(dpkg-deb -f "$work/debs/"pure-ftpd_*.deb Version | cut -d- -f1)" ;;
  esac
}

# ---- the files and their checks ---------------------------------------------------------------
mkdir -p "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
: >"$work/data/empty.bin"
head -c 600 /dev/urandom >"$work/data/b600.bin"
head -c $((3 * 1024 * 1024 + 77)) /dev/urandom >"$work/data/c3m77.bin"

remote_folder() { echo "$work/home-$1/files"; }
clear_remote() { rm -rf "${work:?}/home-$1/files/"*; }

# uploaded SERVER LOCAL: every file is on the server as it was sent, and none is left in LOCAL.
uploaded() {
  local file
  for file in "${FILES[@]}"; do
    cmp -s "$work/data/$file" "$(remote_folder "$1")/$file" || { echo "$file differs on the server"; return 1; }
    [ ! -e "$2/$file" ] || { echo "$file was not deleted here"; return 1; }
  done
}

# downloaded SERVER LOCAL: every file arrived whole in LOCAL and is gone from the server.
downloaded() {
  local file
  for file in "${FILES[@]}"; do
    cmp -s "$work/data/$file" "$2/$file" || { echo "$file differs here"; return 1; }
    [ ! -e "$(remote_folder "$1")/$file" ] || { echo "$file was not deleted on the server"; return 1; }
  done
}

# seed SERVER: the files on the server, for a download test after a failed upload.
seed() {
  local folder
  folder="$(remote_folder "$1")"
  cp "$work/data/"* "$folder/"
  chown "skyint-$1" "$folder/"*
}

fresh_case() {  # fresh_case SERVER: empty server folder, the files to send, an empty inbox
  clear_remote "$1"
  rm -rf "$work/case"
  mkdir -p "$work/case/out" "$work/case/in" "$work/case/run"
  cp "$work/data/"* "$work/case/out/"
}

# ---- Skyhaul ----------------------------------------------------------------------------------
write_settings() {  # write_settings SERVER VERSION: sections up and down in case/job.ini
  local url="127.0.0.1:$port" pass_var="pass_$1" section localdir
  [ "$2" = - ] || url="ftpes://127.0.0.1:$port"
  {
    printf '[PROGRAM]\nIZBRANO=up\n'
    for section in up down; do
      localdir="$work/case/out/"
      [ "$section" = down ] && localdir="$work/case/in/"
      printf '\n[%s]\nFTPURL=%s\nftpdir=/files/\nlocaldir=%s\nuporabnik=%s\ngeslo=%s\n' \
        "$section" "$url" "$localdir" "skyint-$1" "${!pass_var}"
      [ "$2" = - ] || printf 'certifikat=%s\n' "$work/tls/ca.pem"
    done
  } >"$work/case/job.ini"
  chmod 600 "$work/case/job.ini"
}

# skyhaul_job NAME COMMAND: runs the job; on failure its stderr is kept as detail NAME.
skyhaul_job() {
  local status=0
  env -C "$work/case/run" SKYHAUL_UI=console SKYHAUL_TIMEOUT=20 XDG_RUNTIME_DIR="$work/runtime" \
    timeout 300 "$SKYHAUL_BINARY" --settings "$work/case/job.ini" "$2" \
    </dev/null >"$work/case/$1.out" 2>"$work/case/$1.err" || status=$?
  return "$status"
}

# keep_detail TITLE FILE: a failure's story, printed under the table.
keep_detail() {
  {
    echo
    echo "### $1"
    echo '```'
    tail -n 20 "$2"
    echo '```'
  } >>"$work/details.md"
}

skyhaul_case() {  # skyhaul_case SERVER VERSION: sets cell_up and cell_down
  local server="$1" version="$2" status why label
  label="$(server_version "$server"), TLS ${version/-/none}, Skyhaul"
  fresh_case "$server"
  write_settings "$server" "$version"
  status=0
  skyhaul_job up "up,*,UP,DEL" || status=$?
  if [ "$status" -ne 0 ]; then
    cell_up="FAIL: exit $status"
    keep_detail "$label, upload: exit $status" "$work/case/up.err"
  elif why="$(uploaded "$server" "$work/case/out")"; then
    cell_up="ok"
  else
    cell_up="FAIL: $why"
    keep_detail "$label, upload: $why" "$work/case/up.err"
  fi
  [ "$cell_up" = ok ] || { clear_remote "$server"; seed "$server"; }
  status=0
  skyhaul_job down "down,*,DOWN,DEL" || status=$?
  if [ "$status" -ne 0 ]; then
    cell_down="FAIL: exit $status"
    keep_detail "$label, download: exit $status" "$work/case/down.err"
  elif why="$(downloaded "$server" "$work/case/in")"; then
    cell_down="ok"
  else
    cell_down="FAIL: $why"
    keep_detail "$label, download: $why" "$work/case/down.err"
  fi
}

# ---- curl as a peer ---------------------------------------------------------------------------
curl_for() {  # curl_for SERVER VERSION: the curl command line for this server, in curl_cmd
  local pass_var="pass_$1"
  curl_user="skyint-$1:${!pass_var}"
  curl_cmd=(curl -sS --fail --max-time 60 --user "$curl_user")
  [ "$2" = - ] || curl_cmd+=(--ssl-reqd --cacert "$work/tls/ca.pem")
}

# curl_checks SERVER VERSION: under TLS, a plain login is refused and the version is the one
# the server was limited to. Prints what is wrong.
curl_checks() {
  local negotiated
  [ "$2" = - ] && return 0
  if curl -sS --max-time 10 --user "$curl_user" "ftp://127.0.0.1:$port/files/" >/dev/null 2>&1; then
    echo "a login without TLS got in"
    return 1
  fi
  negotiated="$("${curl_cmd[@]}" -v "ftp://127.0.0.1:$port/files/" 2>&1 >/dev/null |
    sed -n 's/^\* SSL connection using \(TLSv[0-9.]*\).*/\1/p' | head -1)"
  [ "$negotiated" = "TLSv$2" ] || { echo "negotiated ${negotiated:-nothing}, not TLSv$2"; return 1; }
  [ "$1" = pureftpd ] && return 0
  if listing_without_reuse; then echo "a data connection without session reuse was let in"; return 1; fi
}

# Python's ftplib opens every data connection with a TLS session of its own, never a resumed
# one: the servers that require reuse must refuse its listing.
listing_without_reuse() {
  /usr/bin/python3 - "$port" "$curl_user" "$work/tls/ca.pem" <<'PYTHON' >/dev/null 2>&1
import ftplib, ssl, sys
port, login, ca = int(sys.argv[1]), sys.argv[2], sys.argv[3]
ftp = ftplib.FTP_TLS(context=ssl.create_default_context(cafile=ca), timeout=20)
ftp.connect("127.0.0.1", port)
ftp.login(*login.split(":", 1))
ftp.prot_p()
ftp.nlst("files")
PYTHON
}

curl_case() {  # curl_case SERVER VERSION: sets cell_up and cell_down
  local server="$1" version="$2" file why label base="ftp://127.0.0.1:$port/files"
  label="$(server_version "$server"), TLS ${version/-/none}, curl"
  fresh_case "$server"
  curl_for "$server" "$version"
  : >"$work/case/curl.err"
  cell_up="ok"
  if ! why="$(curl_checks "$server" "$version")"; then
    cell_up="FAIL: $why"
  else
    for file in "${FILES[@]}"; do
      "${curl_cmd[@]}" -T "$work/case/out/$file" "$base/$file" 2>>"$work/case/curl.err" &&
        rm "$work/case/out/$file" || { cell_up="FAIL: curl failed on $file"; break; }
    done
    [ "$cell_up" != ok ] || why="$(uploaded "$server" "$work/case/out")" || cell_up="FAIL: $why"
  fi
  if [ "$cell_up" != ok ]; then
    keep_detail "$label, upload: ${cell_up#FAIL: }" "$work/case/curl.err"
    clear_remote "$server"
    seed "$server"
  fi
  : >"$work/case/curl.err"
  cell_down="ok"
  for file in "${FILES[@]}"; do
    "${curl_cmd[@]}" -o "$work/case/in/$file" -Q "-DELE $file" "$base/$file" 2>>"$work/case/curl.err" ||
      { cell_down="FAIL: curl failed on $file"; break; }
  done
  [ "$cell_down" != ok ] || why="$(downloaded "$server" "$work/case/in")" || cell_down="FAIL: $why"
  [ "$cell_down" = ok ] || keep_detail "$label, download: ${cell_down#FAIL: }" "$work/case/curl.err"
}

# ---- the run ----------------------------------------------------------------------------------
echo "== Fetching and unpacking proftpd and pure-ftpd into $work" >&2
unpack_servers
if [ "$MODE" = tls ]; then
  make_certificates "$work/tls" "Skyhaul interop CA"
  versions=(1.2 1.3)
else
  versions=(-)
fi
for server in "${SERVERS[@]}"; do make_user "$server"; done

rows=()
failed=0
for server in "${SERVERS[@]}"; do
  for version in "${versions[@]}"; do
    start_server "$server" "$version"
    for client in skyhaul curl; do
      echo "== $(server_version "$server"), TLS ${version/-/none}: $client" >&2
      "${client}_case" "$server" "$version"
      result=pass
      [ "$cell_up" = ok ] && [ "$cell_down" = ok ] || { result=FAIL; failed=1; }
      rows+=("| $(server_version "$server") | ${version/-/none} | $client | $cell_up | $cell_down | $result |")
    done
    stop_server
    sessions_gone "skyint-$server"
  done
done

echo
peer="$(curl --version | head -1 | cut -d' ' -f1-2)"
echo "Skyhaul against real servers, MODE=$MODE ($peer as a peer), passive;" \
  "${FILES[*]} up and down with DEL"
echo
echo "| Server | TLS | Client | Upload | Download | Result |"
echo "|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
[ ! -f "$work/details.md" ] || { echo; echo "## Failures (last lines of standard error)"; cat "$work/details.md"; }
exit "$failed"
