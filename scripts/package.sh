#!/usr/bin/env bash
# Installs what is missing, builds Release and writes the release files into dist/, named as
# the build's release.json says (cmake/product.cmake):
#   <name>-<version>-win64.zip       the portable folder
#   <name>-<version>-setup.exe       the per-user installer
#   SHA256SUMS                       their digests, and those of the exe and DLL inside
#   manifests/, latest-version.txt   winget and Scoop manifests with those digests, and the
#                                    file Scoop's checkver reads: only with
#                                    SORVAGENTA_RELEASE_BASE_URL, the https:// address the
#                                    files are published under (no latest-version.txt for a
#                                    GitHub release: tools/release/make_manifests.py)
# Zip entry times come from SOURCE_DATE_EPOCH, by default the commit's own time, so the
# same commit gives the same bytes anywhere.
# With SORVAGENTA_RELEASE_SIGN_PFX and SORVAGENTA_RELEASE_SIGN_PASSWORD set it signs the exe,
# the DLL, the uninstaller and the installer (tools/release/sign_file.py, signing time
# SOURCE_DATE_EPOCH or the certificate's start if later) and keeps each signature in
# signatures/. The password reaches the signing commands alone: the script starts itself
# again without it, so no process of the build has it in its environment or an open file,
# and sign_file.py reads it from a private file that is removed when the script ends.
# SORVAGENTA_RELEASE_SIGN_PASSWORD_FILE, a file holding the password, can be given instead.
# SORVAGENTA_RELEASE_ATTACH_SIGNATURES names a folder of such signatures to attach instead
# (scripts/verify-release.sh): every one is required, and each must attach.
# SORVAGENTA_RELEASE_BUILD_DIR and SORVAGENTA_RELEASE_DIST_DIR move the build and dist/.
# To check that the same commit gives the same bytes elsewhere, run
# scripts/verify-release.sh dist afterwards: it builds the commit again in a fresh clone.
set -euo pipefail
# The password goes into a file only this user can read, and the script runs again from the
# start without it: exec gives the new image an environment without the variable, which
# unset alone does not.
if [ -n "${SORVAGENTA_RELEASE_SIGN_PASSWORD+set}" ]; then
    password=$SORVAGENTA_RELEASE_SIGN_PASSWORD
    unset SORVAGENTA_RELEASE_SIGN_PASSWORD
    secrets=$(mktemp -d -t sorvagenta-signing.XXXXXXXX) # mode 700
    printf '%s' "$password" >"$secrets/password"
    unset password
    export SORVAGENTA_RELEASE_SIGN_PASSWORD_FILE="$secrets/password"
    exec bash "${BASH_SOURCE[0]}" --remove-password-file "$@"
fi
# Removed at the end when the lines above made it; a file the caller names is the caller's.
if [ "${1:-}" = --remove-password-file ]; then
    shift
    trap 'rm -f "$SORVAGENTA_RELEASE_SIGN_PASSWORD_FILE"
        rmdir "$(dirname "$SORVAGENTA_RELEASE_SIGN_PASSWORD_FILE")"' EXIT
fi
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
# A Release build of its own, without tests, beside the test build.
build_dir=$(realpath -m "${SORVAGENTA_RELEASE_BUILD_DIR:-$root/build-release}")
dist=$(realpath -m "${SORVAGENTA_RELEASE_DIST_DIR:-$root/dist}")
# dist/ is emptied and written again: only an empty folder or an earlier release is taken.
if [ -n "$(ls -A "$dist" 2>/dev/null)" ] && [ ! -f "$dist/SHA256SUMS" ]; then
    echo "$dist holds files that are not a release (no SHA256SUMS): give" \
        "SORVAGENTA_RELEASE_DIST_DIR an empty folder or an earlier release's." >&2
    exit 1
fi

sign=OFF
if [ -n "${SORVAGENTA_RELEASE_SIGN_PFX:-}" ]; then
    if [ ! -f "$SORVAGENTA_RELEASE_SIGN_PFX" ] ||
        [ ! -f "${SORVAGENTA_RELEASE_SIGN_PASSWORD_FILE:-}" ]; then
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
    sign=ON
elif [ -n "${SORVAGENTA_RELEASE_ATTACH_SIGNATURES:-}" ]; then
    sign=ON
fi

bash "$root/scripts/setup-debian.sh"

if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-315532800}
# The files are dated by the commit but built from the working tree.
if [ -n "$(git -C "$root" status --porcelain 2>/dev/null)" ]; then
    echo "Warning: the working tree has uncommitted changes; the release will match no" \
        "commit (scripts/verify-release.sh)." >&2
fi

cmake -S "$root" --preset release -B "$build_dir" -DSORVAGENTA_SIGN=$sign >/dev/null
facts="$build_dir/release.json"
if [ -n "${SORVAGENTA_RELEASE_ATTACH_SIGNATURES:-}" ]; then
    # Every signature of a signed release, or nothing is built.
    readarray -d '' required < <(python3 "$root/tools/release/sign_file.py" --required "$facts")
    [ "${#required[@]}" -gt 0 ] || { echo "sign_file.py --required failed" >&2; exit 1; }
    for name in "${required[@]}"; do
        if [ ! -f "$SORVAGENTA_RELEASE_ATTACH_SIGNATURES/$name" ]; then
            echo "SORVAGENTA_RELEASE_ATTACH_SIGNATURES: $name is missing from" \
                "$SORVAGENTA_RELEASE_ATTACH_SIGNATURES" >&2
            exit 1
        fi
    done
fi
# The zip carries SOURCE_DATE_EPOCH and the signatures their time: make them again.
rm -rf "$build_dir/dist"
if [ -n "${SORVAGENTA_RELEASE_ATTACH_SIGNATURES:-}" ]; then
    mkdir -p "$build_dir/dist/signatures"
    for name in "${required[@]}"; do
        cp "$SORVAGENTA_RELEASE_ATTACH_SIGNATURES/$name" "$build_dir/dist/signatures/"
    done
fi
cmake --build "$build_dir" -j "$(nproc)" --target portable_zip installer >/dev/null

rm -rf "$dist"
mkdir -p "$dist"
for name in zip setup; do
    cp "$build_dir/dist/$(release_fact "$facts" $name)" "$dist/"
done
if [ -d "$build_dir/dist/signatures" ]; then
    cp -r "$build_dir/dist/signatures" "$dist/"
fi
python3 "$root/tools/release/make_sums.py" "$facts" "$dist"
python3 "$root/tools/release/make_manifests.py" "$facts" "$dist"
# The size of every file written.
(cd "$dist" && find . -type f -printf '%9s  %P\n' | sort -k2)
