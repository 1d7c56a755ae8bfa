#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite under Wine in Xvfb.
# Extra arguments go to ctest (for example -R Readout). Exits non-zero on any failure.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

bash "$root/scripts/setup-debian.sh"
bash "$root/scripts/build.sh"

trap stop_wine EXIT
start_xvfb
start_wine
keep_desktop

ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -j 2 "$@"
