#!/usr/bin/env bash
# Builds the two Debian packages of Skyhaul: a Release build without the tests in build-package/,
# packed by CPack's DEB generator. skyhaul holds the console program (no Qt among its
# dependencies), skyhaul-okno the window module; each depends on the shared libraries of its own
# files (dpkg-shlibdeps). Installs what it needs first (on Debian 12, as root or with sudo).
# Prints each package's path, the console package's last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh dpkg-dev file

cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKYHAUL_TESTS=OFF >/dev/null
cmake --build build-package -j"$(nproc)"
rm -f build-package/skyhaul_*.deb build-package/skyhaul-okno_*.deb
(cd build-package && cpack -G DEB)

for pattern in skyhaul-okno_*.deb skyhaul_*.deb; do
  packages=(build-package/$pattern)
  if [ "${#packages[@]}" -ne 1 ] || [ ! -f "${packages[0]}" ]; then
    echo "CPack ni naredil natanko enega paketa $pattern." >&2
    exit 1
  fi
  echo "$(pwd)/${packages[0]}"
done
