#!/usr/bin/env python3
"""Writes RELEASE/SHA256SUMS: the SHA-256 of the zip and the installer in RELEASE, then of the
shipped files as the zip holds them (named FOLDER/FILE), one "DIGEST  NAME" line each
with "\\n" line ends, the form `sha256sum -c` reads on any system. package.sh and the Windows
workflow both write it with this script, so the manifests always find their digests. FACTS is the
build's release.json (tools/release/release_facts.py).
usage: make_sums.py FACTS RELEASE
"""
import hashlib
import os
import sys
import zipfile

import release_facts


def main(facts_path, release):
    facts = release_facts.load(facts_path)
    zip_path = os.path.join(release, facts["zip"])
    setup_path = os.path.join(release, facts["setup"])
    lines = []
    for path in (zip_path, setup_path):
        with open(path, "rb") as f:
            lines.append((hashlib.sha256(f.read()).hexdigest(), os.path.basename(path)))
    with zipfile.ZipFile(zip_path) as archive:
        for name in release_facts.zip_entries(facts):
            lines.append((hashlib.sha256(archive.read(name)).hexdigest(), name))
    # Binary, so a Windows Python writes the same bytes.
    with open(os.path.join(release, "SHA256SUMS"), "wb") as f:
        f.write("".join("%s  %s\n" % line for line in lines).encode())


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(*sys.argv[1:])
