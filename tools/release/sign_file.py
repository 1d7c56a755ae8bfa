#!/usr/bin/env python3
"""Gives one release file its Authenticode signature, in place.

With SORVAGENTA_RELEASE_SIGN_PFX set it signs the file with osslsigncode, SHA-256, and keeps the
signature as SIGDIR/NAME.sig. The PFX's password is read from the private file
SORVAGENTA_RELEASE_SIGN_PASSWORD_FILE names (scripts/package.sh), opened here alone and only
while signing, else from SORVAGENTA_RELEASE_SIGN_PASSWORD.
The signing time is SOURCE_DATE_EPOCH, or the certificate's start when that is later: a
signature may not predate its certificate.
Otherwise it attaches the published signature SIGDIR/NAME.sig (see verify-release.sh), and
fails when there is none or when the file does not then carry it: a build asked to sign never
ends with an unsigned file.
The build runs it on the exe and DLL before they are packed, and makensis on the
uninstaller (!uninstfinalize, NAME given: its file has a temporary name) and the installer.
The signature's description is the product's name, from FACTS, the build's release.json
(tools/release/release_facts.py).
usage: sign_file.py FACTS SIGDIR FILE [NAME]
       sign_file.py --required FACTS    the names of a signed release's signatures, NUL-ended
"""
import calendar
import os
import struct
import subprocess
import sys
import time

import release_facts


def run(args, **kwargs):
    return subprocess.run(["osslsigncode"] + args, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, **kwargs)


# Signatures are kept as the bare PKCS#7 (DER) that osslsigncode 2.9 extracts; 2.5, Debian
# 12's own, reads and writes them inside the PE file's WIN_CERTIFICATE header instead.
def bare(signature):
    if signature[:1] == b"\x30":
        return signature
    der = signature[8:]
    # A SEQUENCE with a long-form length: 30 8n, then n bytes of length.
    size = der[1] & 0x7F
    return der[:2 + size + int.from_bytes(der[2:2 + size], "big")]


def wrapped(der):
    size = 8 + len(der)
    padding = -size % 8
    return struct.pack("<IHH", size + padding, 0x0200, 2) + der + b"\0" * padding


def password():
    path = os.environ.get("SORVAGENTA_RELEASE_SIGN_PASSWORD_FILE")
    # Read once and taken out, so no command run from here inherits it.
    given = os.environ.pop("SORVAGENTA_RELEASE_SIGN_PASSWORD", "").encode()
    if path:
        with open(path, "rb") as f:
            return f.read()
    return given


def with_password(command, secret, **kwargs):
    """Runs command with the password readable at the path in its "{password}" argument:
    a pipe, never the command line, and an environment without it."""
    read_end, write_end = os.pipe()
    os.write(write_end, secret)
    os.close(write_end)
    path = "/dev/fd/%d" % read_end
    env = {key: value for key, value in os.environ.items()
           if not key.startswith("SORVAGENTA_RELEASE_SIGN_PASSWORD")}
    try:
        return subprocess.run([arg.replace("{password}", path) for arg in command],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              pass_fds=(read_end,), env=env, **kwargs)
    finally:
        os.close(read_end)


def certificate_start(pfx, secret):
    """The signer's certificate's notBefore, in Unix time."""
    for legacy in ([], ["-legacy"]):  # older PFX files use ciphers OpenSSL 3 keeps apart
        exported = with_password(["openssl", "pkcs12", "-in", pfx, "-nokeys", "-clcerts",
                                  "-passin", "file:{password}"] + legacy, secret)
        if exported.returncode == 0:
            break
    else:
        sys.exit("the certificate in %s could not be read:\n%s" % (pfx, exported.stderr.decode()))
    dates = subprocess.run(["openssl", "x509", "-noout", "-startdate"], input=exported.stdout,
                           stdout=subprocess.PIPE, check=True)
    # notBefore=Dec  7 21:00:00 2026 GMT
    start = time.strptime(" ".join(dates.stdout.decode().split("=", 1)[1].split()),
                          "%b %d %H:%M:%S %Y GMT")
    return calendar.timegm(start)


def sign(path, signature_path, description):
    pfx = os.environ["SORVAGENTA_RELEASE_SIGN_PFX"]
    secret = password()
    when = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")),
               certificate_start(pfx, secret))
    args = ["osslsigncode", "sign", "-pkcs12", pfx, "-readpass", "{password}", "-h", "sha256",
            "-time", str(when), "-n", description]
    if os.environ.get("SORVAGENTA_RELEASE_SIGN_TIMESTAMP_URL"):
        args += ["-ts", os.environ["SORVAGENTA_RELEASE_SIGN_TIMESTAMP_URL"]]
    signed = path + ".signed"
    result = with_password(args + ["-in", path, "-out", signed], secret)
    if result.returncode != 0:
        sys.exit("signing %s failed:\n%s" % (path, (result.stdout + result.stderr).decode()))
    os.replace(signed, path)
    signature = carried(path)
    if signature is None:
        sys.exit("extracting the signature of %s failed" % path)
    with open(signature_path, "wb") as f:
        f.write(signature)


def carried(path):
    """The bare signature a signed file carries, or None."""
    extracted = path + ".sig.part"
    result = run(["extract-signature", "-in", path, "-out", extracted])
    if result.returncode != 0 or not os.path.exists(extracted):
        return None
    with open(extracted, "rb") as f:
        signature = bare(f.read())
    os.remove(extracted)
    return signature


def attach(path, signature_path):
    if not os.path.isfile(signature_path):
        sys.exit("%s: no signature %s to attach" % (path, signature_path))
    with open(signature_path, "rb") as f:
        der = bare(f.read())
    attached = path + ".signed"
    if os.path.exists(attached):
        os.remove(attached)
    # attach-signature also verifies against the system's CAs and says "Failed" for a
    # certificate they do not know, yet writes the file: whether it matches is checked
    # by comparing bytes, not here.
    for form in (der, wrapped(der)):
        with open(signature_path + ".try", "wb") as f:
            f.write(form)
        run(["attach-signature", "-sigin", signature_path + ".try", "-in", path, "-out", attached])
        os.remove(signature_path + ".try")
        if os.path.exists(attached):
            if carried(attached) == der:
                os.replace(attached, path)
                return
            os.remove(attached)
    sys.exit("%s: the signature %s could not be attached" % (path, signature_path))


def main(facts_path, signatures, path, name=None):
    signature_path = os.path.join(signatures, name or os.path.basename(path)) + ".sig"
    if os.environ.get("SORVAGENTA_RELEASE_SIGN_PFX"):
        os.makedirs(signatures, exist_ok=True)
        sign(path, signature_path, release_facts.load(facts_path)["name"])
    else:
        attach(path, signature_path)


if __name__ == "__main__":
    if sys.argv[1:2] == ["--required"] and len(sys.argv) == 3:
        signed = release_facts.signed_files(release_facts.load(sys.argv[2]))
        sys.stdout.write("".join(name + ".sig\0" for name in signed))
        sys.exit(0)
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    main(*sys.argv[1:])
