#!/usr/bin/env python3
"""SHA256SUMS and the winget and Scoop manifests of this build's zip and installer: none
without SORVAGENTA_RELEASE_BASE_URL, none for an address that is not https:// or that would
freeze Scoop's checkver; otherwise they parse, carry the fields each format requires, sit in
winget-pkgs' layout, point at its addresses and give the files' own digests (the exe and DLL
inside the zip too), and Scoop's checkver reads a file of the release, or GitHub's latest
release. The installer's version block gives the program's copyright text. FACTS is the
build's release.json, which the tools are given too.
usage: release_manifests_test.py SOURCE_DIR FACTS ZIP SETUP WORK_DIR
"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import zipfile

try:
    import yaml
except ImportError:  # scripts/setup-debian.sh installs it; elsewhere it may be missing
    print("PyYAML is not installed: skipped")
    sys.exit(77)

source, facts_path, zip_path, setup_path, work = sys.argv[1:]
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
with open(facts_path, encoding="utf-8") as f:
    facts = json.load(f)
zip_name, setup_name = os.path.basename(zip_path), os.path.basename(setup_path)
version = facts["version"]
inside = ["%s/%s" % (facts["zip_folder"], name) for name in facts["files"]]
digests = {}
for path in (zip_path, setup_path):
    shutil.copy(path, work)
    with open(path, "rb") as f:
        digests[os.path.basename(path)] = hashlib.sha256(f.read()).hexdigest()
with zipfile.ZipFile(zip_path) as archive:
    for name in inside:
        digests[name] = hashlib.sha256(archive.read(name)).hexdigest()
tools = os.path.join(source, "tools", "release")
subprocess.run([sys.executable, os.path.join(tools, "make_sums.py"), facts_path, work], check=True)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


# The one form sha256sum -c reads on every system, the zip's inner files included.
with open(os.path.join(work, "SHA256SUMS"), "rb") as f:
    check(f.read() == "".join("%s  %s\n" % (digest, name) for name, digest in digests.items()).encode(),
          "SHA256SUMS as make_sums.py writes it")
base = "https://downloads.brindlewox.example/sorvagenta/<version>"
epoch = "1796083200"  # 2026-12-01
# Scoop names an app by its manifest's file.
scoop_file = facts["name"].lower() + ".json"
environment = {key: value for key, value in os.environ.items() if not key.startswith("SORVAGENTA_RELEASE_")}


def make_manifests(release, **settings):
    return subprocess.run([sys.executable, os.path.join(tools, "make_manifests.py"), facts_path,
                           release],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          env=dict(environment, SOURCE_DATE_EPOCH=epoch, **settings))


def copy_release(name):
    folder = os.path.join(work + "-" + name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name in (zip_name, setup_name, "SHA256SUMS"):
        shutil.copy(os.path.join(work, name), folder)
    return folder


# Refused, and nothing written: an address that is not https://, and a base holding the
# version itself (checkver would read the same latest-version.txt for ever) with no fixed
# address for that file.
for refused in ("ftp://downloads.brindlewox.example/<version>/", "downloads.brindlewox.example/<version>/",
                "http://downloads.brindlewox.example/<version>/",
                "https://downloads.brindlewox.example/download/v%s/" % version):
    result = make_manifests(work, SORVAGENTA_RELEASE_BASE_URL=refused)
    check(result.returncode != 0 and sorted(os.listdir(work)) == sorted([zip_name, setup_name, "SHA256SUMS"]),
          "SORVAGENTA_RELEASE_BASE_URL=%s was not refused: %s" % (refused, result.stdout.strip()))
result = make_manifests(work, SORVAGENTA_RELEASE_BASE_URL=base + "/",
                        SORVAGENTA_RELEASE_LATEST_URL="http://downloads.brindlewox.example/latest.txt")
check(result.returncode != 0, "an http:// SORVAGENTA_RELEASE_LATEST_URL was not refused")
# With the fixed address given, that base is taken.
fixed = copy_release("fixed")
latest_url = "https://downloads.brindlewox.example/latest-version.txt"
result = make_manifests(fixed, SORVAGENTA_RELEASE_BASE_URL="https://downloads.brindlewox.example/download/v%s/" % version,
                        SORVAGENTA_RELEASE_LATEST_URL=latest_url)
if result.returncode == 0:
    with open(os.path.join(fixed, "manifests", "scoop", scoop_file)) as f:
        check(json.load(f)["checkver"]["url"] == latest_url, "checkver reads SORVAGENTA_RELEASE_LATEST_URL")
else:
    failures.append("a base with SORVAGENTA_RELEASE_LATEST_URL refused: " + result.stdout.strip())
# A GitHub release: checkver asks GitHub for the latest release.
github = copy_release("github")
result = make_manifests(github, SORVAGENTA_RELEASE_BASE_URL=
                        "https://github.com/brindlewox/sorvagenta/releases/download/v<version>/")
if result.returncode == 0:
    with open(os.path.join(github, "manifests", "scoop", scoop_file)) as f:
        scoop = json.load(f)
    check(scoop["checkver"] == {"github": "https://github.com/brindlewox/sorvagenta"},
          "checkver for a GitHub release: %r" % scoop["checkver"])
    check(scoop["autoupdate"]["architecture"]["64bit"]["url"] ==
          "https://github.com/brindlewox/sorvagenta/releases/download/v$version/" +
          zip_name.replace(version, "$version"),
          "autoupdate url for a GitHub release")
else:
    failures.append("a GitHub release's address refused: " + result.stdout.strip())

result = make_manifests(work)
check(result.returncode == 0, "make_manifests.py without an address: " + result.stdout.strip())
unaddressed = sorted(os.listdir(work))
result = make_manifests(work, SORVAGENTA_RELEASE_BASE_URL=base + "/")
if result.returncode != 0:
    sys.exit("make_manifests.py failed: " + result.stdout)

base = base.replace("<version>", version) + "/"
with open(os.path.join(source, "installer", "sorvagenta.nsi")) as f:
    nsi = dict(re.findall(r'^!define (\w+) "(.*)"', f.read(), re.M))

check("manifests" not in unaddressed, "manifests written without SORVAGENTA_RELEASE_BASE_URL")

# winget-pkgs' layout: manifests/<first letter>/<publisher>/<name>/<version>/.
winget = os.path.join(work, "manifests", "winget")
folder = os.path.join(facts["maker"][0].lower(), facts["maker"], facts["name"], version)
kinds = {}
for top, _, names in os.walk(winget):
    for name in sorted(names):
        check(os.path.relpath(top, winget) == folder, "%s is not in winget/%s" % (name, folder))
        with open(os.path.join(top, name)) as f:
            manifest = yaml.safe_load(f)
        kinds[manifest["ManifestType"]] = manifest
        check(name.startswith(manifest["PackageIdentifier"] + "."), name + " is named by its id")
check(sorted(kinds) == ["defaultLocale", "installer", "version"], "winget's three files")
for key in ("PackageIdentifier", "PackageVersion"):
    check(len({manifest.get(key) for manifest in kinds.values()}) == 1, key + " in all three")
for kind, manifest in kinds.items():
    check(manifest.get("ManifestVersion") == "1.10.0", "ManifestVersion of the %s file" % kind)
check(kinds["version"]["PackageIdentifier"] == facts["maker"] + "." + facts["name"],
      "PackageIdentifier")
check(kinds["version"]["PackageVersion"] == version, "PackageVersion")
check(kinds["version"]["DefaultLocale"] == kinds["defaultLocale"]["PackageLocale"], "locale")

installer = kinds["installer"]
expected = {"InstallerType": "nullsoft", "Scope": "user", "UpgradeBehavior": "install",
            # The Apps entry the installer writes.
            "ProductCode": nsi["APPS_KEY"].rsplit("\\", 1)[1].replace("${APP}", facts["name"])}
for key, value in expected.items():
    check(installer.get(key) == value, "%s is %r" % (key, installer.get(key)))
# winget's nullsoft defaults (/S, /D=) are not repeated.
check(not {"Silent", "SilentWithProgress", "InstallLocation"} & set(installer.get("InstallerSwitches", {})),
      "InstallerSwitches repeats winget's defaults")
check(installer.get("ReleaseDate") == "2026-12-01", "ReleaseDate %r" % installer.get("ReleaseDate"))
files = {entry["FileType"]: entry["RelativeFilePath"]
         for entry in installer.get("InstallationMetadata", {}).get("Files", [])}
check(files.get("uninstall") == facts["uninstaller"], "the uninstaller as the installer names it")
check(files.get("launch") == facts["program"], "the program to launch")
# The files as the zip holds them, which the installer installs.
for entry in installer.get("InstallationMetadata", {}).get("Files", []):
    if entry["FileType"] in ("launch", "other"):
        inside_name = facts["zip_folder"] + "/" + entry["RelativeFilePath"]
        check(entry.get("FileSha256", "").lower() == digests[inside_name],
              "FileSha256 of " + entry["RelativeFilePath"])
check(sorted(files.values()) == sorted(facts["files"] + [files.get("uninstall")]),
      "the installed files: %s" % sorted(files.values()))
check(len(installer["Installers"]) == 1, "one installer")
entry = installer["Installers"][0]
check(entry["Architecture"] == "x64", "Architecture")
check(entry["InstallerUrl"] == base + setup_name, "InstallerUrl " + entry["InstallerUrl"])
check(entry["InstallerSha256"].lower() == digests[setup_name], "InstallerSha256")

locale = kinds["defaultLocale"]
check(locale.get("Publisher") == facts["maker"], "Publisher")
check(locale.get("PackageUrl") == facts["web_address"], "PackageUrl")
check(locale.get("Moniker") == facts["name"].lower(), "Moniker")
for key in ("PackageName", "License", "ShortDescription"):
    check(isinstance(locale.get(key), str) and len(locale[key]) >= 3, key)

with open(os.path.join(work, "manifests", "scoop", scoop_file)) as f:
    scoop = json.load(f)
check(scoop["version"] == version, "Scoop version")
# Only the 64-bit build, so nothing is offered to 32-bit Windows.
check(list(scoop.get("architecture", {})) == ["64bit"] and "url" not in scoop, "Scoop architecture")
x64 = scoop.get("architecture", {}).get("64bit", scoop)
check(x64["url"] == base + zip_name, "Scoop url " + x64["url"])
check(x64["hash"] == digests[zip_name], "Scoop hash")
check(scoop["license"] == locale["License"], "Scoop license")
check(scoop["extract_dir"] == facts["zip_folder"], "extract_dir")
check([facts["program"], facts["name"]] in scoop["shortcuts"], "shortcut")
autoupdate = scoop["autoupdate"].get("architecture", {}).get("64bit", {})
check(autoupdate.get("url", "").replace("$version", version) == x64["url"], "autoupdate url")
notes = " ".join(scoop.get("notes", []))
check("Exit" in notes and "\\current" in notes, "notes: Exit first, sign-in from current")
# checkver reads a file the release holds, next to the versions' folders.
latest = scoop["checkver"]["url"].rsplit("/", 1)
check(latest[0] + "/" == base.rsplit("/", 2)[0] + "/", "checkver address " + scoop["checkver"]["url"])
check(os.path.isfile(os.path.join(work, latest[1])), "the release holds " + latest[1])
if os.path.isfile(os.path.join(work, latest[1])):
    with open(os.path.join(work, latest[1])) as f:
        check(re.search(scoop["checkver"]["regex"], f.read()).group(1) == version, "checkver regex")
for key in ("description", "homepage"):
    check(scoop.get(key), key)

copyright = facts["copyright"]
with open(setup_path, "rb") as f:
    check(re.search(re.escape("LegalCopyright\0".encode("utf-16-le")) + b"(\0\0)?" +
                    re.escape((copyright + "\0").encode("utf-16-le")), f.read()),
          "the installer's LegalCopyright is not %r" % copyright)

if failures:
    sys.exit("Wrong in the manifests: " + "; ".join(failures))
print("winget and Scoop manifests of %s parse and give its digests" % version)
