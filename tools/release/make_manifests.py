#!/usr/bin/env python3
"""Writes the winget and Scoop manifests of a release into RELEASE/manifests/, and
RELEASE/latest-version.txt, the file Scoop's checkver reads.

The digests come from RELEASE/SHA256SUMS, the release date from SOURCE_DATE_EPOCH, and the
version, publisher, name, description, web address, copyright and the files' names from FACTS,
the build's release.json (tools/release/release_facts.py). Download addresses are
SORVAGENTA_RELEASE_BASE_URL ("<version>" in it stands for the version) followed by the file's
name; without it nothing is written, since a manifest
must name addresses that exist. latest-version.txt is published at
SORVAGENTA_RELEASE_LATEST_URL, by default in the folder above the version's own
(SORVAGENTA_RELEASE_BASE_URL up to "<version>").
Both addresses must be https://. Scoop's checkver reads latest-version.txt from a fixed
address, so a SORVAGENTA_RELEASE_BASE_URL that holds the version itself (no "<version>") is
refused unless SORVAGENTA_RELEASE_LATEST_URL says where it is; for a GitHub release
(https://github.com/OWNER/REPO/releases/download/...) checkver asks GitHub for the latest
release instead, and there is no latest-version.txt. The winget files go where winget-pkgs
keeps them: manifests/winget/<first letter>/<publisher>/<name>/<version>/.
usage: make_manifests.py FACTS RELEASE
"""
import json
import os
import re
import sys
import time
import urllib.parse

import release_facts

WINGET_SCHEMA = "1.10.0"
LATEST_FILE = "latest-version.txt"


def license_of(copyright):
    named = re.search(r"[Ll]icen[cs]ed under (?:the )?([^.,;]+)", copyright)
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


def https_address(variable, address):
    parts = urllib.parse.urlsplit(address)
    if parts.scheme != "https" or not parts.hostname or any(c.isspace() for c in address):
        sys.exit("%s must be an https:// address, not %r" % (variable, address))
    return address


def checkver(template, version):
    """Scoop's checkver, and the address latest-version.txt is published at (None: not needed)."""
    if os.environ.get("SORVAGENTA_RELEASE_LATEST_URL"):
        latest = https_address("SORVAGENTA_RELEASE_LATEST_URL",
                               os.environ["SORVAGENTA_RELEASE_LATEST_URL"])
        return {"url": latest, "regex": r"^([\d.]+)"}, latest
    github = re.match(r"https://github\.com/([\w.-]+)/([\w.-]+)/releases/download/", template)
    if github:
        return {"github": "https://github.com/%s/%s" % github.groups()}, None
    folder, marker, _ = template.partition("<version>")
    if not marker:
        if version in template:
            sys.exit("SORVAGENTA_RELEASE_BASE_URL holds the version itself, so a %s there would "
                     "never change: set SORVAGENTA_RELEASE_LATEST_URL to the fixed address it "
                     "is published at, or write <version> for the version" % LATEST_FILE)
        latest = folder.rstrip("/") + "/" + LATEST_FILE
    elif not folder.endswith("/"):
        sys.exit("SORVAGENTA_RELEASE_BASE_URL: <version> is not a folder of its own there; set "
                 "SORVAGENTA_RELEASE_LATEST_URL to where %s will be published" % LATEST_FILE)
    else:
        latest = folder + LATEST_FILE
    return {"url": latest, "regex": r"^([\d.]+)"}, latest


def read_sums(release):
    """SHA256SUMS as tools/release/make_sums.py writes it: "DIGEST  NAME" lines."""
    digests = {}
    with open(os.path.join(release, "SHA256SUMS"), encoding="utf-8", newline="") as f:
        for line in f:
            found = re.fullmatch(r"([0-9a-f]{64})  ([^\r\n]+)\n", line)
            if not found:
                sys.exit("SHA256SUMS: not a \"DIGEST  NAME\" line: %r" % line)
            digests[found.group(2)] = found.group(1)
    return digests


def main(facts_path, release):
    template = os.environ.get("SORVAGENTA_RELEASE_BASE_URL")
    if not template:
        print("SORVAGENTA_RELEASE_BASE_URL is not set: no manifests written")
        return
    https_address("SORVAGENTA_RELEASE_BASE_URL", template)
    facts = release_facts.load(facts_path)
    version = facts["version"]
    scoop_checkver, latest = checkver(template, version)
    homepage = facts["web_address"]
    winget_id = "%s.%s" % (facts["maker"], facts["name"])
    install_location = "%LOCALAPPDATA%\\" + facts["install_folder"]
    digests = read_sums(release)
    zip_name = facts["zip"]
    setup_name = facts["setup"]
    # Every digest first, so a short SHA256SUMS leaves no half-written manifests.
    missing = [name for name in [zip_name, setup_name] + release_facts.zip_entries(facts)
               if name not in digests]
    if missing:
        sys.exit("SHA256SUMS does not list %s" % ", ".join(missing))
    base = template.replace("<version>", version)
    base += "" if base.endswith("/") else "/"
    # Without SOURCE_DATE_EPOCH, 1980-01-01, as the zip's entries.
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "315532800"))
    released = time.strftime("%Y-%m-%d", time.gmtime(epoch))

    head = {"PackageIdentifier": winget_id, "PackageVersion": version}
    tail = "ManifestVersion: %s\n" % WINGET_SCHEMA
    # Files the installer puts in its folder, so winget can tell an install is ours.
    files = [{"RelativeFilePath": name,
              "FileType": "launch" if name == facts["program"] else "other",
              "FileSha256": digests[entry].upper()}
             for name, entry in zip(facts["files"], release_facts.zip_entries(facts))]
    # Made at install time: no digest to give.
    files.append({"RelativeFilePath": facts["uninstaller"], "FileType": "uninstall"})
    manifests = {
        "version": dict(head, DefaultLocale="en-US", ManifestType="version"),
        "installer": dict(head, **{
            # winget's own switches for nullsoft (/S, /D=) are the ones the installer takes.
            "InstallerType": "nullsoft",
            "Scope": "user",
            "InstallModes": ["interactive", "silent", "silentWithProgress"],
            "UpgradeBehavior": "install",
            # The key of the Apps entry the installer writes.
            "ProductCode": facts["name"],
            "ReleaseDate": released,
            "InstallationMetadata": {"DefaultInstallLocation": install_location,
                                     "Files": files},
            "Installers": [{"Architecture": "x64", "InstallerUrl": base + setup_name,
                            "InstallerSha256": digests[setup_name].upper()}],
            "ManifestType": "installer"}),
        "defaultLocale": dict(head, **{
            "PackageLocale": "en-US",
            "Publisher": facts["maker"],
            "PublisherUrl": homepage,
            "PackageName": facts["name"],
            "PackageUrl": homepage,
            "License": license_of(facts["copyright"]),
            "Copyright": facts["copyright"],
            "ShortDescription": facts["description"],
            "Moniker": facts["name"].lower(),
            "ManifestType": "defaultLocale"}),
    }
    names = {"version": "", "installer": ".installer", "defaultLocale": ".locale.en-US"}
    winget = os.path.join(release, "manifests", "winget", facts["maker"][0].lower(),
                          facts["maker"], facts["name"], version)
    for kind, fields in manifests.items():
        text = "# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.%s.schema.json\n" % (
            kind, WINGET_SCHEMA)
        text += "\n".join(yaml_lines(fields)) + "\n" + tail
        write(os.path.join(winget, winget_id + names[kind] + ".yaml"), text)

    url = base + zip_name
    # Scoop names an app by its manifest's file, in lower case.
    scoop_name = facts["name"].lower()
    scoop = {
        "version": version,
        "description": facts["description"],
        "homepage": homepage,
        "license": license_of(facts["copyright"]),
        # The program is x64 only: nothing is offered to 32-bit Windows.
        "architecture": {"64bit": {"url": url, "hash": digests[zip_name]}},
        "extract_dir": facts["zip_folder"],
        "shortcuts": [[facts["program"], facts["name"]]],
        # Scoop will not update or remove a running program, and a meter always runs.
        "notes": ["Before 'scoop update' or 'scoop uninstall', choose Exit from the "
                  "%s icon's menu." % facts["name"],
                  "To start it when you sign in, point a shortcut in shell:startup at %s in "
                  "the app's 'current' folder (by default %%USERPROFILE%%\\scoop\\apps\\"
                  "%s\\current), which stays the same across updates."
                  % (facts["program"], scoop_name)],
        "checkver": scoop_checkver,
        "autoupdate": {"architecture": {"64bit": {
            "url": url.replace(version, "$version"),
            "hash": {"url": "$baseurl/SHA256SUMS"}}}},
    }
    write(os.path.join(release, "manifests", "scoop", scoop_name + ".json"),
          json.dumps(scoop, indent=4) + "\n")
    if latest:
        write(os.path.join(release, LATEST_FILE), version + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(*sys.argv[1:])
