#!/usr/bin/env python3
"""Compares published release files with a rebuild of their commit (scripts/verify-release.sh).

Prints one line per verdict, "VERDICT  NAME" with the verdict padded to 10 characters:
every file the rebuild publishes (identical, DIFFERS or missing), then the exe and the DLL
inside the published zip, named "ZIP: ENTRY" but judged apart from the files, then, for a
release with signatures/, each of the four signatures (as good as the file that carries it),
then every other published file (unexpected). A name with a control or format character, or
with blanks at the start or end of any part, is never taken for another: it is refused, and
shown with escapes. Exits 0 when everything is identical, 1 otherwise.
usage: compare_release.py PUBLISHED REBUILT
"""
import os
import stat
import sys
import unicodedata
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sign_file  # noqa: E402

INSIDE = ("Sorvagenta/Sorvagenta.exe", "Sorvagenta/Tamsprock.dll")


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


def main(published, rebuilt):
    lines = []
    expected = sorted(files_under(rebuilt, skip="signatures"))
    files = {name: judge(content(os.path.join(published, name)), content(os.path.join(rebuilt, name)))
             for name in expected}
    lines += [(verdict, name) for name, verdict in files.items()]
    zip_name = next(name for name in expected if name.endswith("-win64.zip"))
    setup_name = next(name for name in expected if name.endswith("-setup.exe"))
    entries = {name: judge(entry(os.path.join(published, zip_name), name),
                           entry(os.path.join(rebuilt, zip_name), name)) for name in INSIDE}
    lines += [(verdict, "%s: %s" % (zip_name, name)) for name, verdict in entries.items()]
    signatures = []
    if os.path.isdir(os.path.join(published, "signatures")):
        version = setup_name[len("Sorvagenta-"):-len("-setup.exe")]
        for signed in sign_file.required(version):
            name = "signatures/%s.sig" % signed
            signatures.append(name)
            carrier = entries.get("Sorvagenta/" + signed) or files[setup_name]
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
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
