#!/usr/bin/env python3
"""Compares published release files with a rebuild of their commit (scripts/verify-release.sh).

Prints one line per verdict, "VERDICT  NAME" with the verdict padded to 10 characters:
every file the rebuild publishes (identical, DIFFERS or missing), then the shipped files
inside the published zip, named "ZIP: ENTRY" but judged apart from the files, then, for a
release with signatures/, each of its signatures (as good as the file that carries it),
then every other published file (unexpected). A name with a control or format character, or
with blanks at the start or end of any part, is never taken for another: it is refused, and
shown with escapes. Exits 0 when everything is identical, 1 otherwise. FACTS is the
rebuild's release.json (tools/release/release_facts.py).
usage: compare_release.py FACTS PUBLISHED REBUILT
"""
import os
import stat
import sys
import unicodedata
import zipfile

import release_facts


def files_under(top, skip=None):
    """Every file below top, by its path with "/" (never following a link)."""
    found = []
    for folder, folders, names in os.walk(top):
        relative = os.path.relpath(folder, top)
        if relative == ".":
            relative = ""
            if skip in folders:
                folders.remove(skip)
        found += [relative + "/" + name if relative else name for name in names]
    return found


def plain(name):
    """False for a name that could pass for another: not text, a control or format character,
    or blanks at the start or end of one of its parts."""
    try:
        name.encode("utf-8")
    except UnicodeEncodeError:  # bytes that are not UTF-8
        return False
    if any(unicodedata.category(c) in ("Cc", "Cf", "Zl", "Zp") for c in name):
        return False
    return all(part == part.strip() for part in name.split("/"))


def content(path):
    """The bytes of a plain file, or None."""
    try:
        if not stat.S_ISREG(os.lstat(path).st_mode):
            return None
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def entry(zip_path, name):
    """The bytes of one zip entry, or None for a missing entry or a damaged zip."""
    try:
        with zipfile.ZipFile(zip_path) as archive:
            return archive.read(name)
    except (OSError, KeyError, zipfile.BadZipFile, RuntimeError, ValueError, EOFError):
        return None


def judge(published, rebuilt):
    if published is None:
        return "missing"
    return "identical" if published == rebuilt else "DIFFERS"


def main(facts_path, published, rebuilt):
    facts = release_facts.load(facts_path)
    lines = []
    expected = sorted(files_under(rebuilt, skip="signatures"))
    files = {name: judge(content(os.path.join(published, name)), content(os.path.join(rebuilt, name)))
             for name in expected}
    lines += [(verdict, name) for name, verdict in files.items()]
    zip_name, setup_name = facts["zip"], facts["setup"]
    inside = dict(zip(release_facts.zip_entries(facts), facts["files"]))
    entries = {name: judge(entry(os.path.join(published, zip_name), name),
                           entry(os.path.join(rebuilt, zip_name), name)) for name in inside}
    lines += [(verdict, "%s: %s" % (zip_name, name)) for name, verdict in entries.items()]
    signatures = []
    if os.path.isdir(os.path.join(published, "signatures")):
        carriers = {signed: entries[name] for name, signed in inside.items()}
        for signed in release_facts.signed_files(facts):
            name = "signatures/%s.sig" % signed
            signatures.append(name)
            carrier = carriers.get(signed) or files[setup_name]
            verdict = carrier if content(os.path.join(published, name)) is not None else "missing"
            lines.append((verdict, name))
    known = set(expected) | set(signatures)
    for name in sorted(files_under(published)):
        if not plain(name):
            lines.append(("REFUSED", ascii(name)))
        elif name not in known:
            lines.append(("unexpected", name))
    for verdict, name in lines:
        print("%-10s %s" % (verdict, name))
    return 0 if all(verdict == "identical" for verdict, _ in lines) else 1


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    sys.exit(main(*sys.argv[1:]))
