#!/usr/bin/env bash
# A release signed by a throwaway CA (the PFX carries the chain): its four signed files verify,
# dated no earlier than the certificate; only the signing step can read the password; the
# readme says it is signed; the signed uninstaller works and fits the space the installer
# asks for; a second build gives the same bytes; verify-release.sh matches it, and an unsigned
# one, to a commit of this tree and names each changed, missing, linked or look-alike file;
# package.sh attaches all four signatures or fails, and writes over no folder of other files.
# usage: signed_release_test.sh SOURCE_DIR WORK_DIR WINE_RUN
set -euo pipefail
source_dir=$1 work=$2 wine_run=$3
ca="$work/ca" release="$work/release"
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# Waits up to two minutes for a shell condition.
wait_for() {
    for _ in $(seq 1 240); do
        eval "$1" && return 0
        sleep 0.5
    done
    return 1
}
# The builds are kept for the next run; everything else is made again.
rm -rf "$ca" "$work"/{release,again,unsigned,changed,unpacked,attached,no-signatures,bad-signatures,users-folder}
mkdir -p "$ca/bin" "$work/unpacked"

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

# Every process from package.sh down is searched for the password in its environment,
# command line and open files up to 64 KB (only sign_file.py may open one): every 0.2 s
# for the whole build, and again by a stand-in osslsigncode each time the build signs.
printf '%s' "test pass" >"$ca/secret"
cat >"$ca/watch.py" <<'EOF'
import os, stat, sys, time
root, secret_file, out = int(sys.argv[1]), sys.argv[2], sys.argv[3]
secret = open(secret_file, "rb").read()
def read(path, limit=1 << 16):
    try:
        if stat.S_ISREG(os.stat(path).st_mode) and os.stat(path).st_size <= limit:
            with open(path, "rb") as f:
                return f.read()
    except OSError:
        pass
    return b""
def scan():
    parents, found = {}, []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            parents[int(pid)] = int(read("/proc/%s/stat" % pid).rsplit(b")", 1)[1].split()[1])
        except (IndexError, ValueError):
            pass
    for pid in parents:
        up = pid
        while up > 1 and up != root:
            up = parents.get(up, 0)
        if up != root or pid == os.getpid():
            continue
        # /proc's files are regular and of size 0: read() takes them whole.
        places = [where for where in ("environ", "cmdline") if secret in read("/proc/%d/%s" % (pid, where))]
        command = read("/proc/%d/cmdline" % pid).replace(b"\0", b" ").decode(errors="replace")
        if "sign_file.py" not in command:
            try:
                descriptors = os.listdir("/proc/%d/fd" % pid)
            except OSError:
                descriptors = []
            places += ["open file " + fd for fd in descriptors
                       if secret in read("/proc/%d/fd/%s" % (pid, fd))]
        if places:
            found.append("%s (%s)" % (command.strip() or "?", ", ".join(places)))
    if found:
        with open(out, "a") as f:
            f.write("".join(line + "\n" for line in found))
if sys.argv[4:] == ["--until-gone"]:
    time.sleep(0.5)  # package.sh is given the password, and starts again without it at once
    while os.path.exists("/proc/%d" % root):
        scan()
        time.sleep(0.2)
else:
    scan()
EOF
real_osslsigncode=$(command -v osslsigncode)
cat >"$ca/bin/osslsigncode" <<EOF
#!/usr/bin/env bash
python3 "$ca/watch.py" "\$(cat "$ca/root")" "$ca/secret" "$ca/readers"
exec "$real_osslsigncode" "\$@"
EOF
chmod +x "$ca/bin/osslsigncode"

export SORVAGENTA_SKIP_SETUP=1 SORVAGENTA_RELEASE_BUILD_DIR="$work/build" SORVAGENTA_RELEASE_SIGN_PFX=""
export SORVAGENTA_RELEASE_BASE_URL="https://downloads.brindlewox.example/<version>/"
# package.sh, unsigned unless told, into a dist folder; its output goes to package.log.
package_to() {
    SORVAGENTA_RELEASE_DIST_DIR=$1 bash "$source_dir/scripts/package.sh" >"$work/package.log" 2>&1
}
# A signed release, watched for who can read the password.
package_signed() {
    rm -f "$ca/readers"
    PATH="$ca/bin:$PATH" SORVAGENTA_RELEASE_SIGN_PFX="$ca/signer.pfx" \
        SORVAGENTA_RELEASE_SIGN_PASSWORD="test pass" TMPDIR="$ca" package_to "$1" &
    local pid=$!
    echo "$pid" >"$ca/root"
    python3 "$ca/watch.py" "$pid" "$ca/secret" "$ca/readers" --until-gone &
    local watcher=$!
    wait "$pid" || fail "the signed build failed: $(tail -n 20 "$work/package.log")"
    wait "$watcher"
    [ ! -e "$ca/readers" ] || fail "the password could be read by: $(sort -u "$ca/readers")"
    [ -z "$(find "$ca" -path '*/sorvagenta-signing.*')" ] || fail "the password's file was left"
}
verifies() {
    osslsigncode verify -CAfile "$ca/ca.pem" -in "$1" >"$work/osslsigncode.log" 2>&1 ||
        fail "$1 does not verify: $(tail -n 3 "$work/osslsigncode.log")"
}

package_signed "$release"
# The release's names, from the build's facts.
source "$source_dir/scripts/wine-env.sh"
fact() { release_fact "$work/build/release.json" "$1"; }
readarray -t files < <(fact files)
program=$(fact program) folder=$(fact zip_folder) zip=$(fact zip) uninstaller=$(fact uninstaller)
setup="$release/$(fact setup)"
python3 -m zipfile -e "$release/$zip" "$work/unpacked"
# Signed at the commit's time, or at the certificate's start when that is later.
date_of() { date -u -d "$(sed 's/^[^=]*=//' <<<"$1")" +%s; }
commit_time=$(git -C "$source_dir" log -1 --format=%ct)
start=$(date_of "$(openssl x509 -noout -startdate -in "$ca/signer.pem")")
expected_time=$((commit_time > start ? commit_time : start))
for file in "${files[@]/#/$work/unpacked/$folder/}" "$setup"; do
    verifies "$file"
    signed_at=$(date_of "$(grep -m1 'Signing time:' "$work/osslsigncode.log" | sed 's/^[^:]*: *//')")
    [ "$signed_at" = "$expected_time" ] ||
        fail "$file signed at $signed_at, not $expected_time (commit $commit_time, certificate $start)"
done
grep -q "are signed" "$work/unpacked/$folder/README.txt" || fail "the readme does not say it is signed"
[ "$(ls "$release/signatures")" = "$(printf '%s.sig\n' "$(basename "$setup")" "${files[@]}" "$uninstaller" |
    sort)" ] || fail "signatures/ holds $(ls "$release/signatures")"
cp "$release/$zip" "$setup" "$work/unpacked/"
(cd "$work/unpacked" && sha256sum --quiet -c "$release/SHA256SUMS") ||
    fail "SHA256SUMS does not list the signed files"
echo "The exe, DLL and installer verify; SHA256SUMS lists them."

# Into the prefix's profile, the only place the installer takes; without a sign-in entry,
# which would start the program whenever the prefix boots.
installed_windows="$("$wine_run" cmd /c 'echo %USERPROFILE%' </dev/null 2>/dev/null | tr -d '\r')\Sorvagenta signed test"
installed=$(readlink -f "$("$wine_run" winepath -u "$installed_windows" </dev/null 2>/dev/null)")
rm -rf "$installed"
"$wine_run" cmd /c "Z:${setup//\//\\} /S /NOSTARTUP /D=$installed_windows" \
    </dev/null >/dev/null 2>&1 || fail "the silent install failed"
wait_for '[ -f "$installed/$uninstaller" ]' || fail "no $uninstaller after the install"
verifies "$installed/$uninstaller"
# "Space required" counts each file in whole kilobytes, the uninstaller by UNINSTALLER_KB.
uninstaller_kb=$(sed -n 's/^!define UNINSTALLER_KB \([0-9]*\)$/\1/p' "$source_dir/installer/sorvagenta.nsi")
[ $(($(stat -c %s "$installed/$uninstaller") + 1023)) -le $((${uninstaller_kb:-0} * 1024 + 1023)) ] ||
    fail "the signed uninstaller is larger than the ${uninstaller_kb:-0} KB the installer counts"
"$wine_run" "$installed_windows\\$uninstaller" /S </dev/null >/dev/null 2>&1
# It goes on from a copy of itself.
wait_for '[ ! -e "$installed/$uninstaller" ] && [ ! -e "$installed/$program" ]' ||
    fail "the signed uninstaller did not remove the program"
echo "The installed $uninstaller verifies and uninstalls."

package_signed "$work/again"
diff -r "$release" "$work/again" || fail "a second signed build differs"
echo "A second signed build is byte for byte the same."

# A commit of the working tree as it is, dated as HEAD like the builds above: uncommitted
# changes are checked, and no branch or index of the checkout is touched.
index=$(mktemp -u)
commit=$(cd "$source_dir" && export GIT_INDEX_FILE=$index GIT_AUTHOR_DATE="$commit_time +0000" \
    GIT_COMMITTER_DATE="$commit_time +0000" && git add -A &&
    git -c user.name=test -c user.email=test@localhost commit-tree "$(git write-tree)" -p HEAD \
        -m "The working tree, for the signing test")
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
copy_release() { rm -rf "$work/changed" && cp -r "$release" "$work/changed"; }
matches "$release"
# Extra files whose names could pass for the release's own: blanks at either end, a tab, a
# newline, and a folder named like a zip entry. Each is refused or unexpected, and fails.
for name in "SHA256SUMS " " $(basename "$setup")" $'SHA256SUMS\t' $'SHA256SUMS\nSHA256SUMS' \
    "$zip: $folder/$program"; do
    copy_release
    mkdir -p "$(dirname "$work/changed/$name")"
    cp "$work/unpacked/$folder/$program" "$work/changed/$name"
    status=0
    verify_release "$work/changed" || status=$?
    [ "$status" = 1 ] && grep -q -e '^REFUSED ' -e '^unexpected ' "$work/verify.log" ||
        fail "verify-release.sh (exit $status) did not refuse an extra $(printf %q "$name"): $(cat "$work/verify.log")"
done
echo "verify-release.sh refuses names that could pass for the release's own."
# An unsigned release of the same commit is checked the same way.
package_to "$work/unsigned" || fail "the unsigned build failed: $(tail -n 20 "$work/package.log")"
python3 -m zipfile -e "$work/unsigned/$zip" "$work/unpacked/unsigned"
grep -q "not signed" "$work/unpacked/unsigned/$folder/README.txt" || fail "the unsigned readme does not say so"
matches "$work/unsigned"
# Each published file changed by one byte, then missing: refused, and named.
refuses() { # what was done, file
    ! verify_release "$work/changed" ||
        fail "verify-release.sh passed a release with $2 $1: $(cat "$work/verify.log")"
    [[ "$(verdict "$2")" =~ ^(DIFFERS|missing)$ ]] ||
        fail "verify-release.sh did not name $2 $1: $(cat "$work/verify.log")"
}
while IFS= read -r name; do
    copy_release
    python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[len(d) // 2] ^= 1
open(sys.argv[1], "wb").write(d)' "$work/changed/$name"
    refuses changed "$name"
    rm "$work/changed/$name"
    refuses removed "$name"
done < <(published "$release")
copy_release
ln -sf "$release/SHA256SUMS" "$work/changed/SHA256SUMS"
verify_release "$work/changed" && fail "verify-release.sh followed a link: $(cat "$work/verify.log")"
echo "verify-release.sh matches both releases and names each changed or missing file."

# Signatures to attach: all four are needed, and each must attach.
mkdir -p "$work/no-signatures"
cp -r "$release/signatures" "$work/bad-signatures"
head -c 600 /dev/urandom >"$work/bad-signatures/$(fact library).sig"
for case in "no-signatures:missing" "bad-signatures:could not be attached"; do
    SORVAGENTA_RELEASE_ATTACH_SIGNATURES="$work/${case%%:*}" package_to "$work/attached" &&
        fail "package.sh made a release attaching $work/${case%%:*}"
    grep -q "${case#*:}" "$work/package.log" ||
        fail "package.sh did not say \"${case#*:}\" for ${case%%:*}: $(tail -n 5 "$work/package.log")"
done
echo "package.sh refuses to attach too few signatures, or one that does not fit."

# A dist folder holding something other than a release is the user's: refused, left as it was.
mkdir -p "$work/users-folder" && echo "mine" >"$work/users-folder/notes.txt"
package_to "$work/users-folder" && fail "package.sh wrote its release over a folder of other files"
[ "$(ls "$work/users-folder")" = notes.txt ] || fail "package.sh changed a folder of other files"
echo "package.sh leaves a folder that is not a release alone."
