#!/usr/bin/env bash
# Installs what is missing, builds Release and writes the release files into dist/:
#   Sorvagenta-<version>-win64.zip   the portable folder
#   Sorvagenta-<version>-setup.exe   the per-user installer
#   SHA256SUMS                       their digests, and those of the exe and DLL inside
#   manifests/, latest-version.txt   winget and Scoop manifests with those digests, and the
#                                    file Scoop's checkver reads: only with RELEASE_BASE_URL,
#                                    the address the files are published under
# Zip entry times come from SOURCE_DATE_EPOCH, by default the commit's own time, so the
# same commit gives the same bytes anywhere.
# With SORVAGENTA_SIGN_PFX and SORVAGENTA_SIGN_PASSWORD set it signs the exe, the DLL, the
# uninstaller and the installer (tools/release/sign_file.py, signing time SOURCE_DATE_EPOCH or the
# certificate's start if later; the password reaches the signing step alone) and
# keeps each signature in signatures/. SORVAGENTA_ATTACH_SIGNATURES names a folder of such
# signatures to attach instead (scripts/verify-release.sh).
# With --verify it builds the current commit in two fresh clones at different paths and
# compares all four digests instead.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
# A Release build of its own, without tests, beside the test build.
build_dir=$(realpath -m "${PACKAGE_BUILD_DIR:-$root/build-release}")
dist=$(realpath -m "${PACKAGE_DIST_DIR:-$root/dist}")

sign=OFF
if [ -n "${SORVAGENTA_SIGN_PFX:-}" ]; then
    if [ ! -f "$SORVAGENTA_SIGN_PFX" ] || [ -z "${SORVAGENTA_SIGN_PASSWORD+set}" ]; then
        echo "Signing needs SORVAGENTA_SIGN_PFX (a PKCS#12 file) and SORVAGENTA_SIGN_PASSWORD." >&2
        exit 1
    fi
    if [ -n "${SORVAGENTA_ATTACH_SIGNATURES:-}" ]; then
        echo "Either sign or attach signatures, not both." >&2
        exit 1
    fi
    # The build runs the signing from other folders.
    export SORVAGENTA_SIGN_PFX=$(realpath "$SORVAGENTA_SIGN_PFX")
    # The password leaves every environment: the signing step reads it from a descriptor on
    # a private file that is removed at once, so no build process has it by name.
    password_file=$(mktemp)
    printf '%s' "$SORVAGENTA_SIGN_PASSWORD" >"$password_file"
    exec {password_fd}<"$password_file"
    rm -f "$password_file"
    unset SORVAGENTA_SIGN_PASSWORD
    export SORVAGENTA_SIGN_PASSWORD_FD=$password_fd
    sign=ON
elif [ -n "${SORVAGENTA_ATTACH_SIGNATURES:-}" ]; then
    sign=ON
fi

bash "$root/scripts/setup-debian.sh"

if [ "${1:-}" = "--verify" ]; then
    commit=$(git -C "$root" rev-parse HEAD)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    for clone in "$work/a" "$work/second-clone-with-a-longer-path"; do
        git clone --quiet --no-checkout "$root" "$clone"
        git -C "$clone" checkout --quiet "$commit"
        PACKAGE_BUILD_DIR="$clone/build-release" PACKAGE_DIST_DIR="$clone/dist" \
            bash "$clone/scripts/package.sh" >/dev/null
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
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DSORVAGENTA_SIGN=$sign >/dev/null
# The zip carries SOURCE_DATE_EPOCH and the signatures their time: make them again.
rm -rf "$build_dir/dist"
if [ -n "${SORVAGENTA_ATTACH_SIGNATURES:-}" ]; then
    mkdir -p "$build_dir/dist/signatures"
    cp "$SORVAGENTA_ATTACH_SIGNATURES"/*.sig "$build_dir/dist/signatures/" 2>/dev/null || true
fi
cmake --build "$build_dir" -j "$(nproc)" --target portable_zip installer >/dev/null
# The files as shipped in the zip and installer.
shipped="$build_dir/bin"
[ "$sign" = ON ] && shipped="$build_dir/dist/signed"

rm -rf "$dist"
mkdir -p "$dist"
cp "$build_dir"/dist/Sorvagenta-*-win64.zip "$build_dir"/dist/Sorvagenta-*-setup.exe "$dist/"
if [ -d "$build_dir/dist/signatures" ]; then
    cp -r "$build_dir/dist/signatures" "$dist/"
fi
(
    cd "$dist"
    sha256sum Sorvagenta-*-win64.zip Sorvagenta-*-setup.exe
    cd "$shipped"
    sha256sum Sorvagenta.exe Tamsprock.dll | sed 's|  |  Sorvagenta/|'
) >"$dist/SHA256SUMS"
python3 "$root/tools/release/make_manifests.py" "$dist"
ls -l "$dist" | awk 'NR > 1 && !/^d/ { printf "%9d  %s\n", $5, $9 }'
