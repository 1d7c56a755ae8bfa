#!/usr/bin/env bash
# A release signed with a throwaway CA's code-signing certificate (the PFX carries the
# chain): all four signed files verify against that CA and are dated no earlier than the
# certificate, the password reaches no build process's environment, the zip's readme says
# the files are signed, a silent install under Wine leaves a signed uninstaller that works
# and fits the space the installer asks for, a second signed build gives the same bytes,
# and verify-release.sh matches the release, and an unsigned one, to a commit of this
# working tree, and names each published file that is changed, missing or a link.
# usage: signed_release_test.sh SOURCE_DIR WORK_DIR WINE_RUN
set -euo pipefail
source_dir=$1 work=$2 wine_run=$3
ca="$work/ca" release="$work/release"
uninstaller="Uninstall Sorvagenta.exe"
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
rm -rf "$ca" "$work"/{release,again,unsigned,changed,unpacked}
mkdir -p "$ca" "$work/unpacked"

openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=Sorvagenta test CA" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign \
    -keyout "$ca/ca.key" -out "$ca/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Sorvagenta test signer" \
    -keyout "$ca/signer.key" -out "$ca/signer.csr" 2>/dev/null
printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$ca/signer.ext"
openssl x509 -req -in "$ca/signer.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
    -days 30 -extfile "$ca/signer.ext" -out "$ca/signer.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$ca/signer.key" -in "$ca/signer.pem" -certfile "$ca/ca.pem" \
    -passout "pass:test pass" -out "$ca/signer.pfx"

# osslsigncode as the build starts it: it notes any process from itself up to package.sh
# whose environment holds the password.
real_osslsigncode=$(command -v osslsigncode)
mkdir -p "$ca/bin"
cat >"$ca/bin/osslsigncode" <<EOF
#!/usr/bin/env bash
pid=\$\$
while [ "\$pid" -gt 1 ] && ! grep -q package.sh /proc/\$pid/cmdline; do
    tr '\\0' '\\n' </proc/\$pid/environ | grep -qx '.*=test pass' &&
        { tr '\\0' ' ' </proc/\$pid/cmdline && echo; } >>"$ca/environments"
    pid=\$(awk '{ print \$4 }' /proc/\$pid/stat)
done
exec "$real_osslsigncode" "\$@"
EOF
chmod +x "$ca/bin/osslsigncode"

export SORVAGENTA_SKIP_SETUP=1
export SORVAGENTA_RELEASE_BASE_URL="https://downloads.brindlewox.example/<version>/"
package() {
    PATH="$ca/bin:$PATH" SORVAGENTA_RELEASE_SIGN_PFX="$ca/signer.pfx" \
        SORVAGENTA_RELEASE_SIGN_PASSWORD="test pass" SORVAGENTA_RELEASE_BUILD_DIR="$work/build" \
        SORVAGENTA_RELEASE_DIST_DIR="$1" \
        bash "$source_dir/scripts/package.sh" >/dev/null
}
verifies() {
    osslsigncode verify -CAfile "$ca/ca.pem" -in "$1" >"$work/osslsigncode.log" 2>&1 ||
        fail "$1 does not verify: $(tail -n 3 "$work/osslsigncode.log")"
}

package "$release"
[ ! -e "$ca/environments" ] || fail "the password was in the environment of: $(cat "$ca/environments")"
setup=$(echo "$release"/Sorvagenta-*-setup.exe)
python3 -m zipfile -e "$release"/Sorvagenta-*-win64.zip "$work/unpacked"
# Signed at the commit's time, or at the certificate's start when that is later.
date_of() { date -u -d "$(sed 's/^[^=]*=//' <<<"$1")" +%s; }
commit_time=$(git -C "$source_dir" log -1 --format=%ct)
start=$(date_of "$(openssl x509 -noout -startdate -in "$ca/signer.pem")")
expected_time=$((commit_time > start ? commit_time : start))
for file in "$work"/unpacked/Sorvagenta/{Sorvagenta.exe,Tamsprock.dll} "$setup"; do
    verifies "$file"
    signed_at=$(date_of "$(grep -m1 'Signing time:' "$work/osslsigncode.log" | sed 's/^[^:]*: *//')")
    [ "$signed_at" = "$expected_time" ] ||
        fail "$file signed at $signed_at, not $expected_time (commit $commit_time, certificate $start)"
done
grep -q "are signed" "$work/unpacked/Sorvagenta/README.txt" || fail "the readme does not say it is signed"
[ "$(ls "$release/signatures")" = "$(printf '%s\n' "$(basename "$setup").sig" \
    Sorvagenta.exe.sig Tamsprock.dll.sig "$uninstaller.sig" | sort)" ] ||
    fail "signatures/ holds $(ls "$release/signatures")"
cp "$release"/Sorvagenta-* "$work/unpacked/"
(cd "$work/unpacked" && sha256sum --quiet -c "$release/SHA256SUMS") ||
    fail "SHA256SUMS does not list the signed files"
echo "The exe, DLL and installer verify; SHA256SUMS lists them."

# Without a sign-in entry, which would start the program whenever the prefix boots.
# Into the prefix's profile, the only place the installer takes.
installed_windows="$("$wine_run" cmd /c 'echo %USERPROFILE%' </dev/null 2>/dev/null | tr -d '\r')\Sorvagenta signed test"
installed=$(readlink -f "$("$wine_run" winepath -u "$installed_windows" </dev/null 2>/dev/null)")
rm -rf "$installed"
"$wine_run" cmd /c "$(windows_path "$setup") /S /NOSTARTUP /D=$installed_windows" \
    </dev/null >/dev/null 2>&1 || fail "the silent install failed"
wait_for '[ -f "$installed/$uninstaller" ]' || fail "no $uninstaller after the install"
verifies "$installed/$uninstaller"
# "Space required" counts each file in whole kilobytes, the uninstaller by UNINSTALLER_KB.
uninstaller_kb=$(sed -n 's/^!define UNINSTALLER_KB \([0-9]*\)$/\1/p' "$source_dir/installer/sorvagenta.nsi")
[ $(($(stat -c %s "$installed/$uninstaller") + 1023)) -le $((${uninstaller_kb:-0} * 1024 + 1023)) ] ||
    fail "the signed uninstaller is larger than the ${uninstaller_kb:-0} KB the installer counts"
"$wine_run" "$installed_windows\\$uninstaller" /S </dev/null >/dev/null 2>&1
# It goes on from a copy of itself.
wait_for '[ ! -e "$installed/$uninstaller" ] && [ ! -e "$installed/Sorvagenta.exe" ]' ||
    fail "the signed uninstaller did not remove the program"
echo "The installed $uninstaller verifies and uninstalls."

package "$work/again"
diff -r "$release" "$work/again" || fail "a second signed build differs"
echo "A second signed build is byte for byte the same."

# A commit of the working tree as it is, dated as HEAD like the builds above: uncommitted
# changes are checked, and no branch or index of the checkout is touched.
index=$(mktemp -u)
commit=$(cd "$source_dir" && export GIT_INDEX_FILE=$index && git add -A &&
    GIT_AUTHOR_NAME=test GIT_AUTHOR_EMAIL=test@localhost GIT_COMMITTER_NAME=test \
        GIT_COMMITTER_EMAIL=test@localhost GIT_AUTHOR_DATE="$commit_time +0000" \
        GIT_COMMITTER_DATE="$commit_time +0000" \
        git commit-tree "$(git write-tree)" -p HEAD -m "The working tree, for the signing test")
rm -f "$index"
export SORVAGENTA_RELEASE_VERIFY_DIR="$work/verify"
verify_release() {
    bash "$source_dir/scripts/verify-release.sh" "$1" "$commit" >"$work/verify.log" 2>&1
}
# The verdict verify-release.sh gave a file (its lines: verdict, padded, then the name).
verdict() { awk -v name="$1" 'substr($0, 12) == name { print $1 }' "$work/verify.log"; }
# The files of a release, one a line (names may hold spaces).
published() { (cd "$1" && find . -type f | sed 's|^\./||'); }
matches() {
    verify_release "$1" || fail "verify-release.sh does not match $1: $(cat "$work/verify.log")"
    cat "$work/verify.log"
    published "$1" | while IFS= read -r name; do
        [ "$(verdict "$name")" = identical ] || fail "verify-release.sh did not check $name"
    done
}
matches "$release"
# An unsigned release of the same commit is checked the same way.
SORVAGENTA_RELEASE_SIGN_PFX="" SORVAGENTA_RELEASE_BUILD_DIR="$work/build" \
    SORVAGENTA_RELEASE_DIST_DIR="$work/unsigned" \
    bash "$source_dir/scripts/package.sh" >/dev/null
python3 -m zipfile -e "$work"/unsigned/Sorvagenta-*-win64.zip "$work/unpacked/unsigned"
grep -q "not signed" "$work/unpacked/unsigned/Sorvagenta/README.txt" ||
    fail "the unsigned readme does not say so"
matches "$work/unsigned"
# Each published file changed by one byte, then missing: refused, and named.
refuses() { # what was done, file
    if verify_release "$work/changed"; then
        fail "verify-release.sh passed a release with $2 $1: $(cat "$work/verify.log")"
    fi
    case "$(verdict "$2")" in
    DIFFERS | missing) ;;
    *) fail "verify-release.sh did not name $2 $1: $(cat "$work/verify.log")" ;;
    esac
}
while IFS= read -r name; do
    rm -rf "$work/changed"
    cp -r "$release" "$work/changed"
    python3 -c 'import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 1
open(sys.argv[1], "wb").write(data)' "$work/changed/$name"
    refuses changed "$name"
    rm "$work/changed/$name"
    refuses removed "$name"
done < <(published "$release")
rm -rf "$work/changed"
cp -r "$release" "$work/changed"
ln -sf "$release/SHA256SUMS" "$work/changed/SHA256SUMS"
verify_release "$work/changed" && fail "verify-release.sh followed a link: $(cat "$work/verify.log")"
echo "verify-release.sh matches both releases and names each changed or missing file."
