#!/usr/bin/env bash
# Cross-compiles Sorvagenta and its tests into $BUILD_DIR (default: build).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

cmake -S "$root" -B "$build_dir" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
