#!/usr/bin/env bash
# Configures and builds Skyhaul into build/ (the program is build/skyhaul).
set -euo pipefail
cd "$(dirname "$0")/.."
"$(dirname "$0")/setup.sh"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target skyhaul -j"$(nproc)"
