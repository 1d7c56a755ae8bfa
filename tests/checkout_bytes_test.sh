#!/usr/bin/env bash
# Checks out every tracked file as a Windows clone would (core.autocrlf=true, Git for Windows'
# default) and as stored, and fails on any file whose bytes differ.
#     checkout_bytes_test.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source=$1
work=$2
cd "$source"
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "not a git checkout: nothing to compare"
    exit 77
fi
rm -rf "$work"
mkdir -p "$work"
git -c core.autocrlf=false checkout-index -a --prefix="$work/stored/"
git -c core.autocrlf=true -c core.eol=crlf checkout-index -a --prefix="$work/windows/"
diff -rq "$work/stored" "$work/windows"
echo "every tracked file keeps its bytes in a Windows checkout"
