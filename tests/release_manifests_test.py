#!/usr/bin/env python3
"""The winget and Scoop manifests of this build's zip and installer: they parse, carry the
fields each format requires, point at RELEASE_BASE_URL and give the files' own digests.
usage: release_manifests_test.py SOURCE_DIR ZIP SETUP WORK_DIR
"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys

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
subprocess.run([sys.executable, os.path.join(source, "scripts", "make_manifests.py"), work],
               check=True, env=dict(os.environ, RELEASE_BASE_URL=base))

zip_name, setup_name = os.path.basename(zip_path), os.path.basename(setup_path)
version = re.fullmatch(r"Sorvagenta-(.+)-setup\.exe", setup_name).group(1)
base = base.replace("<version>", version) + "/"
with open(os.path.join(source, "installer", "sorvagenta.nsi")) as f:
    nsi = dict(re.findall(r'^!define (\w+) "(.*)"', f.read(), re.M))
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


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
            "ProductCode": nsi["APPS_KEY"].rsplit("\\", 1)[1].replace("${APP}", nsi["APP"])}
for key, value in expected.items():
    check(installer.get(key) == value, "%s is %r" % (key, installer.get(key)))
check(installer["InstallerSwitches"]["Silent"] == "/S", "Silent switch")
check(installer["InstallerSwitches"]["SilentWithProgress"] == "/S", "SilentWithProgress switch")
check(len(installer["Installers"]) == 1, "one installer")
entry = installer["Installers"][0]
check(entry["Architecture"] == "x64", "Architecture")
check(entry["InstallerUrl"] == base + setup_name, "InstallerUrl " + entry["InstallerUrl"])
check(entry["InstallerSha256"].lower() == digests[setup_name], "InstallerSha256")

locale = kinds["defaultLocale"]
check(locale.get("Publisher") == nsi["PUBLISHER"], "Publisher, as the installer says")
for key in ("PackageName", "License", "ShortDescription"):
    check(isinstance(locale.get(key), str) and len(locale[key]) >= 3, key)

with open(os.path.join(work, "manifests", "scoop", "sorvagenta.json")) as f:
    scoop = json.load(f)
check(scoop["version"] == version, "Scoop version")
check(scoop["url"] == base + zip_name, "Scoop url " + scoop["url"])
check(scoop["hash"] == digests[zip_name], "Scoop hash")
check(scoop["license"] == locale["License"], "Scoop license")
check(scoop["extract_dir"] == "Sorvagenta", "extract_dir")
check(["Sorvagenta.exe", "Sorvagenta"] in scoop["shortcuts"], "shortcut")
check(scoop["autoupdate"]["url"].replace("$version", version) == scoop["url"], "autoupdate url")
check(re.search(scoop["checkver"]["regex"], zip_name).group(1) == version, "checkver regex")
for key in ("description", "homepage", "checkver"):
    check(scoop.get(key), key)

if failures:
    sys.exit("Wrong in the manifests: " + "; ".join(failures))
print("winget and Scoop manifests of %s parse and give its digests" % version)
