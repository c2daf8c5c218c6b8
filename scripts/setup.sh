#!/usr/bin/env bash
# Installs what building and testing Skyhaul needs on Debian 12, when it is missing, plus any
# packages named as arguments. Quick when everything is there; needs root (or sudo) otherwise.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest
  qt6-base-dev libxcb1-dev libssl-dev zlib1g-dev libssh-dev fonts-liberation locales xvfb
  nlohmann-json3-dev libsystemd-dev
  openssh-server openssh-client
  python3 python3-pyftpdlib python3-openssl openssl
  proftpd-core proftpd-mod-crypto
  libwrap0 libcap2 libpam0g libssl3  # what the unpacked vsftpd below links
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Nameščam: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  # proftpd-core starts a daemon on port 21 as it installs, and fails the install when that
  # daemon cannot start; the tests start proftpd themselves on a free port. Where the machine has
  # no policy of its own (a container's denies every start), one denies proftpd's for the install.
  policy=/usr/sbin/policy-rc.d
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nfor word in "$@"; do case "$word" in proftpd*) exit 101 ;; esac; done\nexit 0\n' |
      "${sudo_cmd[@]}" tee "$policy" >/dev/null
    "${sudo_cmd[@]}" chmod 755 "$policy"
    trap '"${sudo_cmd[@]}" rm -f "$policy"' EXIT
  fi
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# vsftpd and proftpd-core conflict as packages (each is an ftp-server), and installing vsftpd
# would start a daemon on port 21. The tests start vsftpd themselves on a free port, from its
# package unpacked where tests/support/TestVsftpd looks for it: nothing is installed as a
# package, nothing started. A vsftpd installed as a package serves as well.
vsftpd_root=/opt/skyhaul-test/vsftpd
if [ ! -x /usr/sbin/vsftpd ] && [ ! -x "$vsftpd_root/usr/sbin/vsftpd" ]; then
  echo "Razpakiram vsftpd v $vsftpd_root"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  debs="$(mktemp -d)"
  chown _apt "$debs" 2>/dev/null || chmod 755 "$debs"  # apt downloads as its own user
  (cd "$debs" && apt-get download -qq vsftpd)
  "${sudo_cmd[@]}" mkdir -p "$vsftpd_root"
  "${sudo_cmd[@]}" dpkg-deb -x "$debs"/vsftpd_*.deb "$vsftpd_root"
  rm -rf "$debs"
fi
