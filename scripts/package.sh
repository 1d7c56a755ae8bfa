#!/usr/bin/env bash
# Installs what is missing, builds Release and writes the release files into dist/:
#   Sorvagenta-<version>-win64.zip   the portable folder
#   Sorvagenta-<version>-setup.exe   the per-user installer
#   SHA256SUMS                       their digests, and those of the exe and DLL inside
# Zip entry times come from SOURCE_DATE_EPOCH, by default the commit's own time, so the
# same commit gives the same bytes anywhere.
# With --verify it builds the current commit in two fresh clones at different paths and
# compares all four digests instead.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
# A Release build of its own, without tests, beside the test build.
build_dir=${PACKAGE_BUILD_DIR:-$root/build-release}
dist="$root/dist"

bash "$root/scripts/setup-debian.sh"

if [ "${1:-}" = "--verify" ]; then
    commit=$(git -C "$root" rev-parse HEAD)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    for clone in "$work/a" "$work/second-clone-with-a-longer-path"; do
        git clone --quiet --no-checkout "$root" "$clone"
        git -C "$clone" checkout --quiet "$commit"
        PACKAGE_BUILD_DIR="$clone/build-release" bash "$clone/scripts/package.sh" >/dev/null
    done
    echo "Commit $commit, built in two clones:"
    paste -d ' ' <(cut -c1-64 "$work/a/dist/SHA256SUMS") \
        "$work/second-clone-with-a-longer-path/dist/SHA256SUMS"
    if cmp -s "$work/a/dist/SHA256SUMS" "$work/second-clone-with-a-longer-path/dist/SHA256SUMS"
    then
        echo "Identical."
    else
        echo "The two builds differ." >&2
        exit 1
    fi
    exit 0
fi

if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-315532800}

cmake -S "$root" -B "$build_dir" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
# The zip carries SOURCE_DATE_EPOCH: make it again for this commit.
rm -rf "$build_dir/dist"
cmake --build "$build_dir" -j "$(nproc)" --target portable_zip installer >/dev/null

rm -rf "$dist"
mkdir -p "$dist"
cp "$build_dir"/dist/Sorvagenta-*-win64.zip "$build_dir"/dist/Sorvagenta-*-setup.exe "$dist/"
(
    cd "$dist"
    sha256sum Sorvagenta-*-win64.zip Sorvagenta-*-setup.exe
    cd "$build_dir/bin"
    sha256sum Sorvagenta.exe Tamsprock.dll | sed 's|  |  Sorvagenta/|'
) >"$dist/SHA256SUMS"
ls -l "$dist" | awk 'NR > 1 { printf "%9d  %s\n", $5, $9 }'
