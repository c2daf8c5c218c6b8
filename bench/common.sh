# shellcheck shell=bash
# Helpers that bench/run.sh and bench/interop.sh share; sourced, with the repository's top as
# the working directory.

# install_packages PACKAGE...: installs those of them that are missing. vsftpd's package starts
# it as a service on port 21 where it can; the benchmarks start their own, so that one stops.
install_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "== Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
  if command -v service >/dev/null && service vsftpd status >/dev/null 2>&1; then
    service vsftpd stop >/dev/null 2>&1 || true
  fi
}

# Sets VSFTPD to vsftpd's program: the package's, or the one scripts/setup.sh unpacked. vsftpd is
# never installed here: its package would take the place of proftpd-core, which the tests need
# (the two conflict as ftp-servers).
find_vsftpd() {
  local program
  for program in /usr/sbin/vsftpd /opt/skyhaul-test/vsftpd/usr/sbin/vsftpd; do
    if [ -x "$program" ]; then
      VSFTPD="$program"
      return
    fi
  done
  echo "no vsftpd: scripts/setup.sh unpacks it into /opt/skyhaul-test/vsftpd" >&2
  exit 1
}

# vsftpd_version: the Debian version of the vsftpd that find_vsftpd found.
vsftpd_version() {
  local root="${VSFTPD%/usr/sbin/vsftpd}"
  zcat "$root/usr/share/doc/vsftpd/changelog.Debian.gz" 2>/dev/null | head -1 | sed 's/.*(\(.*\)).*/\1/'
}

# Sets SKYHAUL_BINARY to the program's absolute path, building build/skyhaul when none is given.
find_skyhaul() {
  if [ -z "${SKYHAUL_BINARY:-}" ]; then
    scripts/build.sh >&2
    SKYHAUL_BINARY="$PWD/build/skyhaul"
  fi
  SKYHAUL_BINARY="$(realpath "$SKYHAUL_BINARY")"
}

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# make_certificates DIR NAME: DIR/ca.pem (a CA called NAME) signs DIR/server.pem, key
# DIR/server.key, for IP 127.0.0.1.
make_certificates() {
  local dir="$1" name="$2"
  mkdir -p "$dir"
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$name" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$dir/ca.key" -out "$dir/ca.pem" 2>/dev/null
  openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" \
    -keyout "$dir/server.key" -out "$dir/server.csr" 2>/dev/null
  printf '%s\n' "subjectAltName=IP:127.0.0.1" "basicConstraints=CA:FALSE" \
    "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" \
    >"$dir/server.ext"
  openssl x509 -req -days 2 -in "$dir/server.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
    -CAcreateserial -extfile "$dir/server.ext" -out "$dir/server.pem" 2>/dev/null
  openssl verify -CAfile "$dir/ca.pem" "$dir/server.pem" >/dev/null
}

# vsftpd_tls_settings DIR: the lines that make vsftpd insist on TLS for logins and data, with
# resumed sessions, serving the certificate that make_certificates DIR made.
vsftpd_tls_settings() {
  cat <<CONF
ssl_enable=YES
force_local_logins_ssl=YES
force_local_data_ssl=YES
require_ssl_reuse=YES
rsa_cert_file=$1/server.pem
rsa_private_key_file=$1/server.key
CONF
}
