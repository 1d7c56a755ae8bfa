#!/usr/bin/env bash
# Checks published release files against the source: builds the commit unsigned in a
# fresh clone, attaches the release's own signatures (signatures/*.sig) where it has them,
# and compares the zip, the installer, the exe and DLL inside the zip and SHA256SUMS byte
# for byte. Prints one line per file; exits 1 on any difference or missing file.
# usage: scripts/verify-release.sh FOLDER [COMMIT]    (COMMIT: this checkout's HEAD)
# VERIFY_WORK_DIR keeps the clone and its build there for the next run; by default they go
# to a temporary folder that is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ $# -lt 1 ] || [ ! -d "$1" ]; then
    echo "usage: $0 FOLDER-OF-PUBLISHED-FILES [COMMIT]" >&2
    exit 2
fi
published=$(cd "$1" && pwd)
commit=$(git -C "$root" rev-parse --verify "${2:-HEAD}^{commit}")

if [ -n "${VERIFY_WORK_DIR:-}" ]; then
    work=$(realpath -m "$VERIFY_WORK_DIR")
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
clone="$work/source"
if ! git -C "$clone" cat-file -e "$commit" 2>/dev/null; then
    rm -rf "$clone"
    git clone --quiet --no-checkout "$root" "$clone"
fi
git -C "$clone" checkout --quiet --force "$commit"

# Nothing of the caller's signing or output settings reaches the build.
settings=(env -u SORVAGENTA_SIGN_PFX -u SORVAGENTA_SIGN_PASSWORD -u SORVAGENTA_SIGN_TIMESTAMP_URL
    -u SORVAGENTA_ATTACH_SIGNATURES -u PACKAGE_BUILD_DIR -u PACKAGE_DIST_DIR)
signatures=0
if [ -d "$published/signatures" ]; then
    signatures=$(find "$published/signatures" -name '*.sig' | wc -l)
fi
if [ "$signatures" -gt 0 ]; then
    settings+=(SORVAGENTA_ATTACH_SIGNATURES="$published/signatures")
fi
if ! "${settings[@]}" bash "$clone/scripts/package.sh" >"$work/build.log" 2>&1; then
    tail -n 30 "$work/build.log" >&2
    echo "The build of $commit failed." >&2
    exit 2
fi
rebuilt="$clone/dist"

echo "Commit $commit, built unsigned, $signatures published signatures attached:"
status=0
compare() { # name, published file, rebuilt file
    local verdict=identical
    if [ ! -f "$2" ]; then
        verdict=missing
    elif ! cmp -s "$2" "$3"; then
        verdict=DIFFERS
    fi
    [ "$verdict" = identical ] || status=1
    printf '%-10s %s\n' "$verdict" "$1"
}
zip=$(basename "$rebuilt"/Sorvagenta-*-win64.zip)
setup=$(basename "$rebuilt"/Sorvagenta-*-setup.exe)
compare "$zip" "$published/$zip" "$rebuilt/$zip"
compare "$setup" "$published/$setup" "$rebuilt/$setup"
# The program as unpacked from each zip; a damaged zip unpacks to nothing.
unpack() {
    rm -rf "$2"
    mkdir -p "$2"
    python3 -m zipfile -e "$1" "$2" >/dev/null 2>&1 || true
}
unpack "$published/$zip" "$work/unpacked/published"
unpack "$rebuilt/$zip" "$work/unpacked/rebuilt"
for file in Sorvagenta/Sorvagenta.exe Sorvagenta/Tamsprock.dll; do
    compare "$zip: $file" "$work/unpacked/published/$file" "$work/unpacked/rebuilt/$file"
done
compare SHA256SUMS "$published/SHA256SUMS" "$rebuilt/SHA256SUMS"
exit $status
