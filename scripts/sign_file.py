#!/usr/bin/env python3
"""Gives one release file its Authenticode signature, in place.

With SORVAGENTA_SIGN_PFX (and SORVAGENTA_SIGN_PASSWORD) set it signs the file with
osslsigncode, SHA-256, at SOURCE_DATE_EPOCH, and keeps the signature as SIGDIR/NAME.sig.
Otherwise, when SIGDIR/NAME.sig is there (a published signature, see verify-release.sh),
it attaches that signature; else it leaves the file as it is.
The build runs it on the exe and DLL before they are packed, and makensis on the
uninstaller (!uninstfinalize, NAME given: its file has a temporary name) and the installer.
usage: sign_file.py SIGDIR FILE [NAME]
"""
import os
import struct
import subprocess
import sys


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


def sign(path, signature_path):
    # The password goes through a pipe, not the command line.
    read_end, write_end = os.pipe()
    os.write(write_end, os.environ.get("SORVAGENTA_SIGN_PASSWORD", "").encode())
    os.close(write_end)
    args = ["sign", "-pkcs12", os.environ["SORVAGENTA_SIGN_PFX"],
            "-readpass", "/dev/fd/%d" % read_end, "-h", "sha256",
            "-time", os.environ.get("SOURCE_DATE_EPOCH", "315532800"),
            "-n", "Sorvagenta"]
    if os.environ.get("SORVAGENTA_SIGN_TIMESTAMP_URL"):
        args += ["-ts", os.environ["SORVAGENTA_SIGN_TIMESTAMP_URL"]]
    signed = path + ".signed"
    result = run(args + ["-in", path, "-out", signed], pass_fds=(read_end,))
    os.close(read_end)
    if result.returncode != 0:
        sys.exit("signing %s failed:\n%s" % (path, result.stdout))
    os.replace(signed, path)
    extracted = signature_path + ".part"
    result = run(["extract-signature", "-in", path, "-out", extracted])
    if result.returncode != 0:
        sys.exit("extracting the signature of %s failed:\n%s" % (path, result.stdout))
    with open(extracted, "rb") as f:
        signature = bare(f.read())
    os.remove(extracted)
    with open(signature_path, "wb") as f:
        f.write(signature)


def attach(path, signature_path):
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
            os.replace(attached, path)
            return
    print("%s: the signature %s could not be attached" % (path, signature_path), file=sys.stderr)


def main(signatures, path, name=None):
    signature_path = os.path.join(signatures, name or os.path.basename(path)) + ".sig"
    if os.environ.get("SORVAGENTA_SIGN_PFX"):
        os.makedirs(signatures, exist_ok=True)
        sign(path, signature_path)
    elif os.path.exists(signature_path):
        attach(path, signature_path)


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    main(*sys.argv[1:])
