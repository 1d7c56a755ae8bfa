"""The release's facts as the build writes them: release.json in the build folder (from
cmake/product.cmake), whose path every release tool is given. It holds the product's name,
maker, version, description, web address and copyright, the shipped files, the zip's folder
and the names of the zip, the installer and the uninstaller, and the default install folder.
usage: release_facts.py FACTS KEY    prints one fact, a list one item a line (for the scripts)
"""
import json
import sys


def load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def zip_entries(facts):
    """The shipped files as the zip holds them."""
    return ["%s/%s" % (facts["zip_folder"], name) for name in facts["files"]]


def signed_files(facts):
    """The files a signed release signs, by the names their signatures take (NAME.sig)."""
    return facts["files"] + [facts["uninstaller"], facts["setup"]]


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    value = load(sys.argv[1])[sys.argv[2]]
    print("\n".join(value) if isinstance(value, list) else value)
