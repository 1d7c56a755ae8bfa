#!/usr/bin/env python3
"""Writes the winget and Scoop manifests of a release into RELEASE/manifests/.

The digests come from RELEASE/SHA256SUMS, the version from res/version.h, and publisher,
name, description and license from the version block in res/sorvagenta.rc. Download
addresses are RELEASE_BASE_URL (default below; "<version>" in it stands for the version)
followed by the file's name.
usage: make_manifests.py RELEASE
"""
import json
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_BASE_URL = "https://www.brindlewox.example/download/<version>/"
WINGET_ID = "Brindlewox.Sorvagenta"
WINGET_SCHEMA = "1.10.0"


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


def version_block():
    """The quoted string values of the version resource, by name."""
    return dict(re.findall(r'VALUE\s+"(\w+)",\s*"([^"]*)"', read("res/sorvagenta.rc")))


def license_of(block):
    for key in ("LegalCopyright", "Comments"):
        named = re.search(r"[Ll]icen[cs]ed under (?:the )?([^.,;]+)", block.get(key, ""))
        if named:
            return named.group(1).strip()
    # A copyright notice that grants nothing else: all rights reserved.
    return "Proprietary"


def yaml_scalar(text):
    # Plain where YAML can only read a string back; JSON's quoting otherwise.
    if re.fullmatch(r"[A-Za-z][\w .()/+-]*|\d+(\.\d+){2,}", text) and text.lower() not in (
            "yes", "no", "true", "false", "on", "off", "null", "y", "n"):
        return text
    return json.dumps(text)


def yaml_lines(value, indent=""):
    lines = []
    for key, item in value.items():
        if isinstance(item, dict):
            lines.append("%s%s:" % (indent, key))
            lines += yaml_lines(item, indent + "  ")
        elif isinstance(item, list):
            lines.append("%s%s:" % (indent, key))
            for entry in item:
                if not isinstance(entry, dict):
                    lines.append("%s- %s" % (indent, yaml_scalar(entry)))
                    continue
                first, *rest = yaml_lines(entry, indent + "  ")
                lines.append(indent + "- " + first[len(indent) + 2:])
                lines += rest
        else:
            lines.append("%s%s: %s" % (indent, key, yaml_scalar(item)))
    return lines


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def main(release):
    version = re.search(r'SORVAGENTA_VERSION_TEXT "([^"]+)"', read("res/version.h")).group(1)
    homepage = re.search(r'kWebSiteAddress\[\] = "([^"]+)"', read("details/details_dialog.cpp")).group(1)
    block = version_block()
    digests = {}
    with open(os.path.join(release, "SHA256SUMS")) as f:
        for line in f:
            digest, name = line.split(None, 1)
            digests[name.strip()] = digest
    zip_name = "Sorvagenta-%s-win64.zip" % version
    setup_name = "Sorvagenta-%s-setup.exe" % version
    template = os.environ.get("RELEASE_BASE_URL") or DEFAULT_BASE_URL
    base = template.replace("<version>", version)
    base += "" if base.endswith("/") else "/"

    head = {"PackageIdentifier": WINGET_ID, "PackageVersion": version}
    tail = "ManifestVersion: %s\n" % WINGET_SCHEMA
    manifests = {
        "version": dict(head, DefaultLocale="en-US", ManifestType="version"),
        "installer": dict(head, **{
            "InstallerType": "nullsoft",
            "Scope": "user",
            "InstallModes": ["interactive", "silent", "silentWithProgress"],
            "InstallerSwitches": {"Silent": "/S", "SilentWithProgress": "/S",
                                  "InstallLocation": "/D=<INSTALLPATH>"},
            "UpgradeBehavior": "install",
            # The key of the Apps entry the installer writes.
            "ProductCode": "Sorvagenta",
            "Installers": [{"Architecture": "x64", "InstallerUrl": base + setup_name,
                            "InstallerSha256": digests[setup_name].upper()}],
            "ManifestType": "installer"}),
        "defaultLocale": dict(head, **{
            "PackageLocale": "en-US",
            "Publisher": block["CompanyName"],
            "PublisherUrl": homepage,
            "PackageName": block["InternalName"],
            "PackageUrl": homepage,
            "License": license_of(block),
            "Copyright": block["LegalCopyright"],
            "ShortDescription": block["FileDescription"],
            "ManifestType": "defaultLocale"}),
    }
    names = {"version": "", "installer": ".installer", "defaultLocale": ".locale.en-US"}
    for kind, fields in manifests.items():
        text = "# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json\n" % (
            kind, WINGET_SCHEMA)
        text += "\n".join(yaml_lines(fields)) + "\n" + tail
        write(os.path.join(release, "manifests", "winget", WINGET_ID + names[kind] + ".yaml"), text)

    url = base + zip_name
    listing = template.split("<version>")[0] if "<version>" in template else homepage
    scoop = {
        "version": version,
        "description": block["FileDescription"],
        "homepage": homepage,
        "license": license_of(block),
        "url": url,
        "hash": digests[zip_name],
        "extract_dir": "Sorvagenta",
        "shortcuts": [["Sorvagenta.exe", "Sorvagenta"]],
        "checkver": {"url": listing, "regex": r"Sorvagenta-([\d.]+)-win64\.zip"},
        "autoupdate": {"url": url.replace(version, "$version"),
                       "hash": {"url": "$baseurl/SHA256SUMS"}},
    }
    write(os.path.join(release, "manifests", "scoop", "sorvagenta.json"),
          json.dumps(scoop, indent=4) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
