#!/usr/bin/env python3
"""SHA256SUMS and the winget and Scoop manifests of this build's zip and installer: none
without an https:// SORVAGENTA_RELEASE_BASE_URL that leaves Scoop's checkver free to move;
else they sit in winget-pkgs' layout with each format's fields, addresses and the files' own
digests (the zip's exe and DLL too). The installer's version block gives the copyright.
usage: release_manifests_test.py SOURCE_DIR FACTS(release.json) ZIP SETUP WORK_DIR
"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

try:
    import yaml
except ImportError:  # scripts/setup-debian.sh installs it; elsewhere it may be missing
    print("PyYAML is not installed: skipped")
    sys.exit(77)

source, facts_path, zip_path, setup_path, work = sys.argv[1:]
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
facts = json.loads(Path(facts_path).read_text(encoding="utf-8"))
zip_name, setup_name = os.path.basename(zip_path), os.path.basename(setup_path)
version, name, zip_folder = facts["version"], facts["name"], facts["zip_folder"]
digests = {}
for path in (zip_path, setup_path):
    shutil.copy(path, work)
    digests[os.path.basename(path)] = hashlib.sha256(Path(path).read_bytes()).hexdigest()
with zipfile.ZipFile(zip_path) as archive:
    for inside in ("%s/%s" % (zip_folder, file) for file in facts["files"]):
        digests[inside] = hashlib.sha256(archive.read(inside)).hexdigest()
tools = os.path.join(source, "tools", "release")
subprocess.run([sys.executable, os.path.join(tools, "make_sums.py"), facts_path, work], check=True)
released = sorted([zip_name, setup_name, "SHA256SUMS"])
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


# The one form sha256sum -c reads on every system, the zip's inner files included.
sums = "".join("%s  %s\n" % (digest, file) for file, digest in digests.items())
check(Path(work, "SHA256SUMS").read_bytes() == sums.encode(), "SHA256SUMS as make_sums.py writes it")


def make_manifests(release, **settings):
    env = {key: value for key, value in os.environ.items() if not key.startswith("SORVAGENTA_RELEASE_")}
    return subprocess.run([sys.executable, os.path.join(tools, "make_manifests.py"), facts_path, release],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          env=dict(env, SOURCE_DATE_EPOCH="1796083200", **settings))  # 2026-12-01


def scoop_of(release):  # Scoop names an app by its manifest's file.
    return json.loads(Path(release, "manifests", "scoop", name.lower() + ".json").read_text())


def scoop_in_copy(label, **settings):
    """The Scoop manifest made in a copy of the release, or None when refused."""
    folder = work + "-" + label
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for file in released:
        shutil.copy(os.path.join(work, file), folder)
    result = make_manifests(folder, **settings)
    check(result.returncode == 0, "%r refused: %s" % (settings, result.stdout.strip()))
    return scoop_of(folder) if result.returncode == 0 else None


# Refused, and nothing written: an address that is not https://, and a base holding the
# version itself (checkver would read the same latest-version.txt for ever) with no fixed
# address for that file.
base = "https://downloads.brindlewox.example/sorvagenta/<version>"
pinned = "https://downloads.brindlewox.example/download/v%s/" % version
for settings in [{"SORVAGENTA_RELEASE_BASE_URL": refused} for refused in (
        "ftp://downloads.brindlewox.example/<version>/", "downloads.brindlewox.example/<version>/",
        "http://downloads.brindlewox.example/<version>/", pinned)] + [
        {"SORVAGENTA_RELEASE_BASE_URL": base + "/",
         "SORVAGENTA_RELEASE_LATEST_URL": "http://downloads.brindlewox.example/latest.txt"}]:
    result = make_manifests(work, **settings)
    check(result.returncode != 0 and sorted(os.listdir(work)) == released,
          "%r was not refused, or files were written (exit %d, %s): %s"
          % (settings, result.returncode, sorted(os.listdir(work)), result.stdout.strip()))
# With the fixed address given, that base is taken.
latest_url = "https://downloads.brindlewox.example/latest-version.txt"
scoop = scoop_in_copy("fixed", SORVAGENTA_RELEASE_BASE_URL=pinned, SORVAGENTA_RELEASE_LATEST_URL=latest_url)
if scoop:
    check(scoop["checkver"]["url"] == latest_url, "checkver reads %r" % scoop["checkver"])
# A GitHub release: checkver asks GitHub for the latest release.
scoop = scoop_in_copy("github", SORVAGENTA_RELEASE_BASE_URL=
                      "https://github.com/brindlewox/sorvagenta/releases/download/v<version>/")
if scoop:
    check(scoop["checkver"] == {"github": "https://github.com/brindlewox/sorvagenta"},
          "checkver for a GitHub release: %r" % scoop["checkver"])
    url = scoop["autoupdate"]["architecture"]["64bit"]["url"]
    check(url == "https://github.com/brindlewox/sorvagenta/releases/download/v$version/" +
          zip_name.replace(version, "$version"), "autoupdate url for a GitHub release: " + url)

result = make_manifests(work)
check(result.returncode == 0, "make_manifests.py without an address: " + result.stdout.strip())
check("manifests" not in os.listdir(work), "manifests written without SORVAGENTA_RELEASE_BASE_URL")
result = make_manifests(work, SORVAGENTA_RELEASE_BASE_URL=base + "/")
if result.returncode != 0:
    sys.exit("make_manifests.py failed: " + result.stdout)
base = base.replace("<version>", version) + "/"
nsi = dict(re.findall(r'^!define (\w+) "(.*)"', Path(source, "installer", "sorvagenta.nsi").read_text(),
                      re.M))

# winget-pkgs' layout: manifests/<first letter>/<publisher>/<name>/<version>/.
winget = os.path.join(work, "manifests", "winget")
folder = os.path.join(facts["maker"][0].lower(), facts["maker"], name, version)
kinds = {}
for top, _, found in os.walk(winget):
    for file in sorted(found):
        check(os.path.relpath(top, winget) == folder, "%s is not in winget/%s" % (file, folder))
        manifest = yaml.safe_load(Path(top, file).read_text())
        kinds[manifest["ManifestType"]] = manifest
        check(file.startswith(manifest["PackageIdentifier"] + "."), file + " is named by its id")
check(sorted(kinds) == ["defaultLocale", "installer", "version"], "winget's files: %s" % sorted(kinds))
installer, locale = kinds["installer"], kinds["defaultLocale"]
entries = installer.get("InstallationMetadata", {}).get("Files", [])
files = {entry["FileType"]: entry["RelativeFilePath"] for entry in entries}
check(len(installer["Installers"]) == 1, "one installer")
entry = installer["Installers"][0]
common = {"ManifestVersion": "1.10.0", "PackageIdentifier": facts["maker"] + "." + name,
          "PackageVersion": version}
for what, fields, expected in [
        ("the version file", kinds["version"], dict(common, DefaultLocale=locale["PackageLocale"])),
        ("the installer file", installer, dict(
            common, InstallerType="nullsoft", Scope="user", UpgradeBehavior="install",
            ReleaseDate="2026-12-01",
            # The Apps entry the installer writes.
            ProductCode=nsi["APPS_KEY"].rsplit("\\", 1)[1].replace("${APP}", name))),
        ("the defaultLocale file", locale, dict(common, Publisher=facts["maker"],
                                                PackageUrl=facts["web_address"], Moniker=name.lower())),
        ("the installer", entry, {"Architecture": "x64", "InstallerUrl": base + setup_name}),
        ("the installed files", files, {"uninstall": facts["uninstaller"], "launch": facts["program"]})]:
    for key, value in expected.items():
        check(fields.get(key) == value, "%s of %s is %r, not %r" % (key, what, fields.get(key), value))
# winget's nullsoft defaults (/S, /D=) are not repeated.
check(not {"Silent", "SilentWithProgress", "InstallLocation"} & set(installer.get("InstallerSwitches", {})),
      "InstallerSwitches repeats winget's defaults")
check(sorted(files.values()) == sorted(facts["files"] + [files.get("uninstall")]),
      "the installed files: %s" % sorted(files.values()))
# The installer's digest, and those of the zip's files, which the installer installs.
for given, file in [(entry["InstallerSha256"], setup_name)] + [
        (e.get("FileSha256", ""), zip_folder + "/" + e["RelativeFilePath"])
        for e in entries if e["FileType"] in ("launch", "other")]:
    check(given.lower() == digests[file], "the SHA-256 of %s is %r" % (file, given))
for key in ("PackageName", "License", "ShortDescription"):
    check(isinstance(locale.get(key), str) and len(locale[key]) >= 3, "%s %r" % (key, locale.get(key)))

scoop = scoop_of(work)
x64 = scoop.get("architecture", {}).get("64bit", scoop)
latest = scoop["checkver"]["url"].rsplit("/", 1)
for what, actual, wanted in [
        ("version", scoop["version"], version),
        # Only the 64-bit build, so nothing is offered to 32-bit Windows.
        ("architectures", list(scoop.get("architecture", {})), ["64bit"]),
        ("url outside architecture", "url" in scoop, False),
        ("url", x64["url"], base + zip_name),
        ("hash", x64["hash"], digests[zip_name]),
        ("license", scoop["license"], locale["License"]),
        ("extract_dir", scoop["extract_dir"], zip_folder),
        ("autoupdate url", scoop["autoupdate"].get("architecture", {}).get("64bit", {}).get("url", "")
         .replace("$version", version), x64["url"]),
        # checkver reads a file the release holds, next to the versions' folders.
        ("checkver folder", latest[0] + "/", base.rsplit("/", 2)[0] + "/")]:
    check(actual == wanted, "Scoop's %s is %r, not %r" % (what, actual, wanted))
check([facts["program"], name] in scoop["shortcuts"], "shortcuts %r" % scoop["shortcuts"])
notes = " ".join(scoop.get("notes", []))
check("Exit" in notes and "\\current" in notes, "notes: Exit first, sign-in from current")
if os.path.isfile(os.path.join(work, latest[1])):
    check(re.search(scoop["checkver"]["regex"], Path(work, latest[1]).read_text()).group(1) == version,
          "checkver regex")
else:
    failures.append("the release does not hold " + latest[1])
for key in ("description", "homepage"):
    check(scoop.get(key), "Scoop's " + key)

copyright = facts["copyright"]
check(re.search(re.escape("LegalCopyright\0".encode("utf-16-le")) + b"(\0\0)?" +
                re.escape((copyright + "\0").encode("utf-16-le")), Path(setup_path).read_bytes()),
      "the installer's LegalCopyright is not %r" % copyright)

if failures:
    sys.exit("Wrong in the manifests: " + "; ".join(failures))
print("winget and Scoop manifests of %s parse and give its digests" % version)
