#!/usr/bin/env bash
# Installs what building and testing Skyhaul needs on Debian 12, when it is missing, plus any
# packages named as arguments. Quick when everything is there; needs root (or sudo) otherwise.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest
  qt6-base-dev libxcb1-dev libssl-dev zlib1g-dev libssh-dev fonts-liberation locales
  openssh-server openssh-client
  python3 python3-pyftpdlib python3-openssl openssl
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
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
