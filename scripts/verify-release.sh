#!/usr/bin/env bash
# Checks published release files against the source: builds the commit unsigned in a
# fresh clone, attaches the release's own signatures (signatures/*.sig) where it has them,
# and compares every published file, and the exe and DLL inside the zip, byte for byte
# with the rebuilt ones. Prints one line per file; exits 1 on any difference, missing or
# unexpected file, 2 when it cannot check (a link or other non-regular file, a failed build).
# usage: scripts/verify-release.sh FOLDER [COMMIT]    (COMMIT: this checkout's HEAD)
# A release with manifests/ needs SORVAGENTA_RELEASE_BASE_URL as it was published
# (scripts/package.sh). SORVAGENTA_RELEASE_VERIFY_DIR keeps the clone and its build there for
# the next run; by default they go to a temporary folder that is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ $# -lt 1 ] || [ ! -d "$1" ] || [ -L "$1" ]; then
    echo "usage: $0 FOLDER-OF-PUBLISHED-FILES [COMMIT]   (a folder, not a link)" >&2
    exit 2
fi
published=$(cd "$1" && pwd)
commit=$(git -C "$root" rev-parse --verify "${2:-HEAD}^{commit}")

# A link could point anywhere, the rebuilt files included: only plain files and folders.
odd=$(find "$published" -mindepth 1 ! -type f ! -type d)
if [ -n "$odd" ]; then
    echo "Not a regular file (links are not followed):" >&2
    echo "$odd" >&2
    exit 2
fi
if [ -d "$published/manifests" ] && [ -z "${SORVAGENTA_RELEASE_BASE_URL:-}" ]; then
    echo "The release has manifests/: set SORVAGENTA_RELEASE_BASE_URL to the address it was" \
        "published under (see scripts/package.sh) to check them." >&2
    exit 2
fi

if [ -n "${SORVAGENTA_RELEASE_VERIFY_DIR:-}" ]; then
    work=$(realpath -m "$SORVAGENTA_RELEASE_VERIFY_DIR")
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
clone="$work/source"
[ -d "$clone/.git" ] || { rm -rf "$clone" && git clone --quiet --no-checkout "$root" "$clone"; }
# A commit no branch holds yet (a test's commit of a working tree) is fetched by name.
git -C "$clone" cat-file -e "$commit" 2>/dev/null || git -C "$clone" fetch --quiet "$root" "$commit"
git -C "$clone" checkout --quiet --force "$commit"

signatures=0
if [ -d "$published/signatures" ]; then
    signatures=$(find "$published/signatures" -name '*.sig' | wc -l)
fi
# The rebuilt files depend only on the commit, the attached signatures and the address: a
# kept work folder reuses its last build when all three are the same.
inputs=$(
    echo "$commit ${SORVAGENTA_RELEASE_BASE_URL:-}"
    if [ "$signatures" -gt 0 ]; then (cd "$published/signatures" && sha256sum ./*.sig); fi
)
rebuilt="$clone/dist"
if [ "$(cat "$work/inputs" 2>/dev/null)" != "$inputs" ]; then
    rm -f "$work/inputs"
    # Nothing of the caller's signing or output settings reaches the build.
    settings=(env -u SORVAGENTA_RELEASE_SIGN_PFX -u SORVAGENTA_RELEASE_SIGN_PASSWORD
        -u SORVAGENTA_RELEASE_SIGN_TIMESTAMP_URL -u SORVAGENTA_RELEASE_ATTACH_SIGNATURES
        -u SORVAGENTA_RELEASE_BUILD_DIR -u SORVAGENTA_RELEASE_DIST_DIR)
    if [ "$signatures" -gt 0 ]; then
        settings+=(SORVAGENTA_RELEASE_ATTACH_SIGNATURES="$published/signatures")
    fi
    if ! "${settings[@]}" bash "$clone/scripts/package.sh" >"$work/build.log" 2>&1; then
        tail -n 30 "$work/build.log" >&2
        echo "The build of $commit failed." >&2
        exit 2
    fi
    echo "$inputs" >"$work/inputs"
fi

echo "Commit $commit, built unsigned, $signatures published signatures attached:"
status=0
verdicts="$work/verdicts"
: >"$verdicts"
report() { # verdict, name
    [ "$1" = identical ] || status=1
    printf '%-10s %s\n' "$1" "$2" | tee -a "$verdicts"
}
same() { # published file, rebuilt file
    if [ ! -f "$1" ]; then echo missing; elif cmp -s "$1" "$2"; then echo identical; else echo DIFFERS; fi
}
verdict_of() { awk -v name="$1" 'substr($0, 12) == name { print $1; exit }' "$verdicts"; }

zip=$(basename "$rebuilt"/Sorvagenta-*-win64.zip)
setup=$(basename "$rebuilt"/Sorvagenta-*-setup.exe)
# Every file the rebuild published, then what it expects of the zip's contents.
expected=$(cd "$rebuilt" && find . -type f ! -path './signatures/*' | sed 's|^\./||' | sort)
for name in $expected; do
    report "$(same "$published/$name" "$rebuilt/$name")" "$name"
done
# The program as unpacked from each zip; a damaged zip unpacks to nothing.
unpack() {
    rm -rf "$2"
    mkdir -p "$2"
    python3 -m zipfile -e "$1" "$2" >/dev/null 2>&1 || true
}
unpack "$published/$zip" "$work/unpacked/published"
unpack "$rebuilt/$zip" "$work/unpacked/rebuilt"
for file in Sorvagenta/Sorvagenta.exe Sorvagenta/Tamsprock.dll; do
    report "$(same "$work/unpacked/published/$file" "$work/unpacked/rebuilt/$file")" "$zip: $file"
done
# A signature was attached to the rebuild as it is, so it is as good as the file that
# carries it: a signed release has all four, each judged by its file.
if [ "$signatures" -gt 0 ]; then
    for pair in "Sorvagenta.exe:$zip: Sorvagenta/Sorvagenta.exe" \
        "Tamsprock.dll:$zip: Sorvagenta/Tamsprock.dll" "Uninstall Sorvagenta.exe:$setup" "$setup:$setup"; do
        name="signatures/${pair%%:*}.sig"
        verdict=$(verdict_of "${pair#*:}")
        [ -f "$published/$name" ] || verdict=missing
        report "$verdict" "$name"
    done
fi
# Anything else in the folder was not made by this commit.
(cd "$published" && find . -type f | sed 's|^\./||' | sort) | while read -r name; do
    grep -qxF -- "$name" <(cut -c12- "$verdicts") || echo "$name"
done >"$work/unexpected"
while read -r name; do
    report unexpected "$name"
done <"$work/unexpected"
exit $status
