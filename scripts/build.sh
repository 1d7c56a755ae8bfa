#!/usr/bin/env bash
# Cross-compiles Sorvagenta and its tests into $BUILD_DIR (default: build).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

# The "tests" preset (CMakePresets.json), in the folder asked for.
cmake -S "$root" --preset tests -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
