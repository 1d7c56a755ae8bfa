#!/usr/bin/env bash
# A release signed with a throwaway CA's code-signing certificate: all four signed files
# verify against that CA, a silent install under Wine leaves a signed uninstaller that
# works, a second signed build gives the same bytes, and verify-release.sh matches the
# release, and an unsigned one, to their commit and catches one changed byte.
# usage: signed_release_test.sh SOURCE_DIR WORK_DIR WINE_RUN
set -euo pipefail
source_dir=$1 work=$2 wine_run=$3
ca="$work/ca" release="$work/release" installed="$work/installed"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# Waits up to two minutes for a shell condition.
wait_for() {
    for _ in $(seq 1 240); do
        eval "$1" && return 0
        sleep 0.5
    done
    return 1
}
# The builds are kept for the next run; everything else is made again.
rm -rf "$ca" "$installed" "$work"/{release,again,unsigned,changed,unpacked}
mkdir -p "$ca" "$work/unpacked"

openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Sorvagenta test CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
    -keyout "$ca/ca.key" -out "$ca/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Sorvagenta test signer" \
    -keyout "$ca/signer.key" -out "$ca/signer.csr" 2>/dev/null
printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$ca/signer.ext"
openssl x509 -req -in "$ca/signer.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
    -days 30 -extfile "$ca/signer.ext" -out "$ca/signer.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$ca/signer.key" -in "$ca/signer.pem" -passout "pass:test pass" \
    -out "$ca/signer.pfx"

export SORVAGENTA_SKIP_SETUP=1
package() {
    SORVAGENTA_SIGN_PFX="$ca/signer.pfx" SORVAGENTA_SIGN_PASSWORD="test pass" \
        PACKAGE_BUILD_DIR="$work/build" PACKAGE_DIST_DIR="$1" \
        bash "$source_dir/scripts/package.sh" >/dev/null
}
verifies() {
    osslsigncode verify -CAfile "$ca/ca.pem" -in "$1" >"$work/osslsigncode.log" 2>&1 ||
        fail "$1 does not verify: $(tail -n 3 "$work/osslsigncode.log")"
}

package "$release"
setup=$(echo "$release"/Sorvagenta-*-setup.exe)
python3 -m zipfile -e "$release"/Sorvagenta-*-win64.zip "$work/unpacked"
for file in "$work"/unpacked/Sorvagenta/{Sorvagenta.exe,Tamsprock.dll} "$setup"; do
    verifies "$file"
done
[ "$(ls "$release/signatures")" = "$(printf '%s\n' "$(basename "$setup").sig" \
    Sorvagenta.exe.sig Tamsprock.dll.sig Uninstall.exe.sig | sort)" ] ||
    fail "signatures/ holds $(ls "$release/signatures")"
cp "$release"/Sorvagenta-* "$work/unpacked/"
(cd "$work/unpacked" && sha256sum --quiet -c "$release/SHA256SUMS") ||
    fail "SHA256SUMS does not list the signed files"
echo "The exe, DLL and installer verify; SHA256SUMS lists them."

# Without a sign-in entry, which would start the program whenever the prefix boots.
"$wine_run" cmd /c "$(windows_path "$setup") /S /NOSTARTUP /D=$(windows_path "$installed")" \
    </dev/null >/dev/null 2>&1 || fail "the silent install failed"
wait_for '[ -f "$installed/Uninstall.exe" ]' || fail "no Uninstall.exe after the install"
verifies "$installed/Uninstall.exe"
"$wine_run" "$(windows_path "$installed/Uninstall.exe")" /S </dev/null >/dev/null 2>&1
# It goes on from a copy of itself.
wait_for '[ ! -e "$installed/Uninstall.exe" ] && [ ! -e "$installed/Sorvagenta.exe" ]' ||
    fail "the signed uninstaller did not remove the program"
echo "The installed Uninstall.exe verifies and uninstalls."

package "$work/again"
diff -r "$release" "$work/again" || fail "a second signed build differs"
echo "A second signed build is byte for byte the same."

export VERIFY_WORK_DIR="$work/verify"
verify_release() {
    bash "$source_dir/scripts/verify-release.sh" "$1" >"$work/verify.log" 2>&1
}
matches() {
    verify_release "$1" || fail "verify-release.sh does not match $1 (it builds the last" \
        "commit, so uncommitted changes differ): $(cat "$work/verify.log")"
    cat "$work/verify.log"
    [ "$(grep -c '^identical ' "$work/verify.log")" = 5 ] || fail "verify-release.sh checked too little"
}
matches "$release"
# An unsigned release of the same commit is checked the same way.
SORVAGENTA_SIGN_PFX="" PACKAGE_BUILD_DIR="$work/build" PACKAGE_DIST_DIR="$work/unsigned" \
    bash "$source_dir/scripts/package.sh" >/dev/null
matches "$work/unsigned"
cp -r "$release" "$work/changed"
changed=$(echo "$work"/changed/Sorvagenta-*-setup.exe)
python3 -c 'import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 1
open(sys.argv[1], "wb").write(data)' "$changed"
if verify_release "$work/changed"; then
    fail "verify-release.sh passed a changed installer: $(cat "$work/verify.log")"
fi
grep -q "^DIFFERS  *$(basename "$changed")$" "$work/verify.log" ||
    fail "verify-release.sh did not name the changed file: $(cat "$work/verify.log")"
echo "verify-release.sh matches both releases and names a changed installer."
