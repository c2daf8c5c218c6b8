#!/usr/bin/env bash
# Builds the Debian package of Skyhaul: a Release build without the tests in build-package/,
# packed by CPack's DEB generator (package dependencies found by dpkg-shlibdeps). Installs what
# it needs first (on Debian 12, as root or with sudo). Prints the package's path as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh dpkg-dev file

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKYHAUL_TESTS=OFF >/dev/null
cmake --build build-package -j"$(nproc)"
rm -f build-package/skyhaul_*.deb
(cd build-package && cpack -G DEB)

packages=(build-package/skyhaul_*.deb)
if [ "${#packages[@]}" -ne 1 ] || [ ! -f "${packages[0]}" ]; then
  echo "CPack ni naredil natanko enega paketa skyhaul_*.deb." >&2
  exit 1
fi
echo "$(pwd)/${packages[0]}"
