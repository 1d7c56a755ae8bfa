#!/usr/bin/env bash
# Checks published release files against the source: builds the commit unsigned in a
# fresh clone, attaches the release's own signatures (signatures/*.sig) where it has them,
# and compares every published file, and the exe and DLL inside the zip, byte for byte
# with the rebuilt ones (tools/release/compare_release.py). Prints one line per file; exits 1
# on any difference, missing or unexpected file or a name that could pass for another (a
# control character, blanks at either end), 2 when it cannot check (a link or other
# non-regular file, a failed build).
# usage: scripts/verify-release.sh FOLDER [COMMIT]    (COMMIT: this checkout's HEAD)
# A release with manifests/ needs SORVAGENTA_RELEASE_BASE_URL, and
# SORVAGENTA_RELEASE_LATEST_URL where one was given, as it was published (scripts/package.sh). SORVAGENTA_RELEASE_VERIFY_DIR keeps the clone and its build there for
# the next run; by default they go to a temporary folder that is removed at the end.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ $# -lt 1 ] || [ ! -d "$1" ] || [ -L "${1%/}" ]; then
    echo "usage: $0 FOLDER-OF-PUBLISHED-FILES [COMMIT]   (a folder, not a link)" >&2
    exit 2
fi
published=$(cd -P "$1" && pwd -P)
if ! commit=$(git -C "$root" rev-parse --quiet --verify "${2:-HEAD}^{commit}"); then
    echo "${2:-HEAD} is not a commit of $root" >&2
    exit 2
fi

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
if [ ! -d "$clone/.git" ]; then
    rm -rf "$clone"
    git clone --quiet --no-checkout "$root" "$clone" || exit 2
fi
# A commit no branch holds yet (a test's commit of a working tree) is fetched by name.
git -C "$clone" cat-file -e "$commit" 2>/dev/null || git -C "$clone" fetch --quiet "$root" "$commit"
git -C "$clone" checkout --quiet --force "$commit"

# A signed release's signatures are attached to the rebuild, which package.sh refuses unless
# every one the commit signs is there; the rebuild is then unsigned (and the missing ones are
# named below).
signed=0
[ -d "$published/signatures" ] && signed=1
# The rebuilt files depend only on the commit, the attached signatures and the address: a
# kept work folder reuses its last build when all three are the same.
inputs=$(
    echo "$commit ${SORVAGENTA_RELEASE_BASE_URL:-} ${SORVAGENTA_RELEASE_LATEST_URL:-}"
    if [ "$signed" = 1 ]; then
        (cd "$published/signatures" && find . -type f -exec sha256sum -- {} + | sort)
    fi
)
rebuilt="$clone/dist"
if [ "$(cat "$work/inputs" 2>/dev/null)" != "$inputs" ]; then
    rm -f "$work/inputs"
    # Nothing of the caller's signing, output or date settings reaches the build: the
    # files are dated by the commit.
    settings=(env -u SOURCE_DATE_EPOCH -u SORVAGENTA_RELEASE_SIGN_PFX -u SORVAGENTA_RELEASE_SIGN_PASSWORD
        -u SORVAGENTA_RELEASE_SIGN_PASSWORD_FILE -u SORVAGENTA_RELEASE_SIGN_TIMESTAMP_URL
        -u SORVAGENTA_RELEASE_ATTACH_SIGNATURES -u SORVAGENTA_RELEASE_BUILD_DIR
        -u SORVAGENTA_RELEASE_DIST_DIR)
    build() { "${settings[@]}" "$@" bash "$clone/scripts/package.sh" >"$work/build.log" 2>&1; }
    # Signatures that do not attach cannot have signed the published files: the rebuild is
    # then unsigned, so those files and their signatures differ.
    if [ "$signed" = 1 ] &&
        ! build SORVAGENTA_RELEASE_ATTACH_SIGNATURES="$published/signatures"; then
        tail -n 3 "$work/build.log" >&2
        echo "The published signatures are not all there or do not attach: checking against" \
            "an unsigned build." >&2
        signed=0
        inputs="$commit ${SORVAGENTA_RELEASE_BASE_URL:-} ${SORVAGENTA_RELEASE_LATEST_URL:-}"
    fi
    if [ "$signed" = 0 ] && ! build; then
        tail -n 30 "$work/build.log" >&2
        echo "The build of $commit failed." >&2
        exit 2
    fi
    echo "$inputs" >"$work/inputs"
fi

signatures=$(find "$rebuilt" -path "$rebuilt/signatures/*" -type f | wc -l)
echo "Commit $commit, built unsigned, $signatures published signatures attached:"
# Names are compared as they are, in Python: no blank, tab or newline in one is lost. The
# rebuild's release.json names the files.
python3 "$root/tools/release/compare_release.py" "$clone/build-release/release.json" \
    "$published" "$rebuilt"
