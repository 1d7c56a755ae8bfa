#!/usr/bin/env bash
# Installs what is missing, builds Release and writes the release files into dist/:
#   Sorvagenta-<version>-win64.zip   the portable folder
#   Sorvagenta-<version>-setup.exe   the per-user installer
#   SHA256SUMS                       their digests, and those of the exe and DLL inside
#   manifests/, latest-version.txt   winget and Scoop manifests with those digests, and the
#                                    file Scoop's checkver reads: only with
#                                    SORVAGENTA_RELEASE_BASE_URL, the address the files are
#                                    published under
# Zip entry times come from SOURCE_DATE_EPOCH, by default the commit's own time, so the
# same commit gives the same bytes anywhere.
# With SORVAGENTA_RELEASE_SIGN_PFX and SORVAGENTA_RELEASE_SIGN_PASSWORD set it signs the exe,
# the DLL, the uninstaller and the installer (tools/release/sign_file.py, signing time
# SOURCE_DATE_EPOCH or the certificate's start if later; the password reaches the signing
# step alone) and keeps each signature in signatures/. SORVAGENTA_RELEASE_ATTACH_SIGNATURES
# names a folder of such signatures to attach instead (scripts/verify-release.sh).
# SORVAGENTA_RELEASE_BUILD_DIR and SORVAGENTA_RELEASE_DIST_DIR move the build and dist/.
# To check that the same commit gives the same bytes elsewhere, run
# scripts/verify-release.sh dist afterwards: it builds the commit again in a fresh clone.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
# A Release build of its own, without tests, beside the test build.
build_dir=$(realpath -m "${SORVAGENTA_RELEASE_BUILD_DIR:-$root/build-release}")
dist=$(realpath -m "${SORVAGENTA_RELEASE_DIST_DIR:-$root/dist}")

sign=OFF
if [ -n "${SORVAGENTA_RELEASE_SIGN_PFX:-}" ]; then
    if [ ! -f "$SORVAGENTA_RELEASE_SIGN_PFX" ] ||
        [ -z "${SORVAGENTA_RELEASE_SIGN_PASSWORD+set}" ]; then
        echo "Signing needs SORVAGENTA_RELEASE_SIGN_PFX (a PKCS#12 file) and" \
            "SORVAGENTA_RELEASE_SIGN_PASSWORD." >&2
        exit 1
    fi
    if [ -n "${SORVAGENTA_RELEASE_ATTACH_SIGNATURES:-}" ]; then
        echo "Either sign or attach signatures, not both." >&2
        exit 1
    fi
    # The build runs the signing from other folders.
    export SORVAGENTA_RELEASE_SIGN_PFX=$(realpath "$SORVAGENTA_RELEASE_SIGN_PFX")
    # The password leaves every environment: the signing step reads it from a descriptor on
    # a private file that is removed at once, so no build process has it by name.
    password_file=$(mktemp)
    printf '%s' "$SORVAGENTA_RELEASE_SIGN_PASSWORD" >"$password_file"
    exec {password_fd}<"$password_file"
    rm -f "$password_file"
    unset SORVAGENTA_RELEASE_SIGN_PASSWORD
    export SORVAGENTA_RELEASE_SIGN_PASSWORD_FD=$password_fd
    sign=ON
elif [ -n "${SORVAGENTA_RELEASE_ATTACH_SIGNATURES:-}" ]; then
    sign=ON
fi

bash "$root/scripts/setup-debian.sh"

if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-315532800}

cmake -S "$root" --preset release -B "$build_dir" -DSORVAGENTA_SIGN=$sign >/dev/null
# The zip carries SOURCE_DATE_EPOCH and the signatures their time: make them again.
rm -rf "$build_dir/dist"
if [ -n "${SORVAGENTA_RELEASE_ATTACH_SIGNATURES:-}" ]; then
    mkdir -p "$build_dir/dist/signatures"
    cp "$SORVAGENTA_RELEASE_ATTACH_SIGNATURES"/*.sig "$build_dir/dist/signatures/" \
        2>/dev/null || true
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
