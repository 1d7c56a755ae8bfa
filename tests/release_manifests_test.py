#!/usr/bin/env python3
"""The winget and Scoop manifests of this build's zip and installer: none without
SORVAGENTA_RELEASE_BASE_URL; with it they parse, carry the fields each format requires, point
at its addresses and give the files' own digests, and Scoop's checkver reads a file of the
release.
usage: release_manifests_test.py SOURCE_DIR ZIP SETUP WORK_DIR
"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import time

try:
    import yaml
except ImportError:  # scripts/setup-debian.sh installs it; elsewhere it may be missing
    print("PyYAML is not installed: skipped")
    sys.exit(77)

source, zip_path, setup_path, work = sys.argv[1:]
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
digests = {}
for path in (zip_path, setup_path):
    name = os.path.basename(path)
    shutil.copy(path, os.path.join(work, name))
    with open(path, "rb") as f:
        digests[name] = hashlib.sha256(f.read()).hexdigest()
with open(os.path.join(work, "SHA256SUMS"), "w") as f:
    f.writelines("%s  %s\n" % (digest, name) for name, digest in digests.items())
base = "https://downloads.brindlewox.example/sorvagenta/<version>"
epoch = "1796083200"  # 2026-12-01
make_manifests = [sys.executable, os.path.join(source, "tools", "release", "make_manifests.py"),
                  work]
environment = {key: value for key, value in os.environ.items() if not key.startswith("SORVAGENTA_RELEASE_")}
subprocess.run(make_manifests, check=True, stdout=subprocess.DEVNULL, env=environment)
unaddressed = sorted(os.listdir(work))
subprocess.run(make_manifests, check=True,
               env=dict(environment, SORVAGENTA_RELEASE_BASE_URL=base + "/",
                        SOURCE_DATE_EPOCH=epoch))

zip_name, setup_name = os.path.basename(zip_path), os.path.basename(setup_path)
version = re.fullmatch(r"Sorvagenta-(.+)-setup\.exe", setup_name).group(1)
base = base.replace("<version>", version) + "/"
with open(os.path.join(source, "res", "product.h")) as f:
    product = dict(re.findall(r'^#define SORVAGENTA_(\w+) "(.*)"$', f.read(), re.M))
with open(os.path.join(source, "installer", "sorvagenta.nsi")) as f:
    nsi = dict(re.findall(r'^!define (\w+) "(.*)"', f.read(), re.M))
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


check("manifests" not in unaddressed, "manifests written without SORVAGENTA_RELEASE_BASE_URL")

winget = os.path.join(work, "manifests", "winget")
kinds = {}
for name in sorted(os.listdir(winget)):
    with open(os.path.join(winget, name)) as f:
        manifest = yaml.safe_load(f)
    kinds[manifest["ManifestType"]] = manifest
    check(name.startswith(manifest["PackageIdentifier"] + "."), name + " is named by its id")
check(sorted(kinds) == ["defaultLocale", "installer", "version"], "winget's three files")
for key in ("PackageIdentifier", "PackageVersion", "ManifestVersion"):
    check(len({manifest.get(key) for manifest in kinds.values()}) == 1, key + " in all three")
check(kinds["version"]["PackageIdentifier"] == "Brindlewox.Sorvagenta", "PackageIdentifier")
check(kinds["version"]["PackageVersion"] == version, "PackageVersion")
check(kinds["version"]["DefaultLocale"] == kinds["defaultLocale"]["PackageLocale"], "locale")

installer = kinds["installer"]
expected = {"InstallerType": "nullsoft", "Scope": "user", "UpgradeBehavior": "install",
            # The Apps entry the installer writes.
            "ProductCode": nsi["APPS_KEY"].rsplit("\\", 1)[1].replace("${APP}", product["NAME"])}
for key, value in expected.items():
    check(installer.get(key) == value, "%s is %r" % (key, installer.get(key)))
# winget's nullsoft defaults (/S, /D=) are not repeated.
check(not {"Silent", "SilentWithProgress", "InstallLocation"} & set(installer.get("InstallerSwitches", {})),
      "InstallerSwitches repeats winget's defaults")
check(installer.get("ReleaseDate") == "2026-12-01", "ReleaseDate %r" % installer.get("ReleaseDate"))
files = {entry["FileType"]: entry["RelativeFilePath"]
         for entry in installer.get("InstallationMetadata", {}).get("Files", [])}
check(files.get("uninstall") == nsi["UNINSTALLER"].replace("${APP}", product["NAME"]),
      "the uninstaller as the installer names it")
check(files.get("launch") == "Sorvagenta.exe", "the program to launch")
check(len(installer["Installers"]) == 1, "one installer")
entry = installer["Installers"][0]
check(entry["Architecture"] == "x64", "Architecture")
check(entry["InstallerUrl"] == base + setup_name, "InstallerUrl " + entry["InstallerUrl"])
check(entry["InstallerSha256"].lower() == digests[setup_name], "InstallerSha256")

locale = kinds["defaultLocale"]
check(locale.get("Publisher") == product["MAKER"], "Publisher")
check(locale.get("PackageUrl") == product["WEB_ADDRESS"], "PackageUrl")
check(locale.get("Moniker") == "sorvagenta", "Moniker")
for key in ("PackageName", "License", "ShortDescription"):
    check(isinstance(locale.get(key), str) and len(locale[key]) >= 3, key)

with open(os.path.join(work, "manifests", "scoop", "sorvagenta.json")) as f:
    scoop = json.load(f)
check(scoop["version"] == version, "Scoop version")
# Only the 64-bit build, so nothing is offered to 32-bit Windows.
check(list(scoop.get("architecture", {})) == ["64bit"] and "url" not in scoop, "Scoop architecture")
x64 = scoop.get("architecture", {}).get("64bit", scoop)
check(x64["url"] == base + zip_name, "Scoop url " + x64["url"])
check(x64["hash"] == digests[zip_name], "Scoop hash")
check(scoop["license"] == locale["License"], "Scoop license")
check(scoop["extract_dir"] == "Sorvagenta", "extract_dir")
check(["Sorvagenta.exe", "Sorvagenta"] in scoop["shortcuts"], "shortcut")
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

if failures:
    sys.exit("Wrong in the manifests: " + "; ".join(failures))
print("winget and Scoop manifests of %s parse and give its digests" % version)
