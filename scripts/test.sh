#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under Wine in Xvfb.
# Extra arguments go to ctest (for example -R Readout). Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
export BUILD_DIR="$build_dir"

bash "$root/scripts/setup-debian.sh"
bash "$root/scripts/build.sh"

source "$root/scripts/wine-env.sh"
trap stop_wine EXIT
start_xvfb
make_prefix
start_wineserver

ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -j 2 "$@"
