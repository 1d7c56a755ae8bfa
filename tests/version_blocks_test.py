"""The program's and the DLL's resource scripts, compiled by windres and by llvm-rc (which
follows rc.exe) given the tree's res/ folder and the system headers alone, as Visual Studio's
resource compiler is: each pair stores the same version block, byte for byte.
Usage: version_blocks_test.py SOURCE_DIR WORK_DIR WINDRES LLVM_RC WINDOWS_INCLUDE_DIR
"""
import os
import struct
import subprocess
import sys

source, work, windres, llvm_rc, windows_include = sys.argv[1:6]
source, work, windows_include = map(os.path.abspath, (source, work, windows_include))
os.makedirs(work, exist_ok=True)
res_dir = os.path.join(source, "res")
RT_VERSION = 16


def aligned(offset):
    return (offset + 3) & ~3


def name_at(data, at):
    """A type or name in a resource header: an ordinal, or a UTF-16 text; and where it ends."""
    if struct.unpack_from("<H", data, at)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def version_blocks(path):
    """Every RT_VERSION entry of a .res file, as (name, language, bytes)."""
    data = open(path, "rb").read()
    blocks, at = [], 0
    while at + 8 <= len(data):
        size, header_size = struct.unpack_from("<II", data, at)
        kind, after = name_at(data, at + 8)
        name, after = name_at(data, after)
        language = struct.unpack_from("<H", data, aligned(after) + 6)[0]
        if kind == RT_VERSION:
            start = at + header_size
            blocks.append((name, language, data[start:start + size]))
        at = aligned(at + header_size + size)
    return blocks


failures = 0
for script in ("res/sorvagenta.rc", "tamsprock/tamsprock.rc"):
    script_path = os.path.join(source, script)
    stem = os.path.join(work, os.path.basename(script))
    subprocess.run([windres, "-I", res_dir, "-O", "res", "-i", script_path, "-o",
                    stem + ".windres.res"], check=True, cwd=os.path.dirname(script_path))
    # The script by its bare name: llvm-rc reads an absolute path such as /check/... as an option.
    subprocess.run([llvm_rc, "/I", res_dir, "/I", windows_include, "/FO", stem + ".llvm-rc.res",
                    os.path.basename(script_path)], check=True, cwd=os.path.dirname(script_path))
    by_windres, by_llvm_rc = (version_blocks(stem + kind + ".res") for kind in (".windres", ".llvm-rc"))
    if len(by_windres) != 1 or len(by_llvm_rc) != 1:
        print(f"{script}: {len(by_windres)} version blocks by windres, {len(by_llvm_rc)} by llvm-rc")
        failures += 1
        continue
    (name_w, language_w, block_w), (name_l, language_l, block_l) = by_windres[0], by_llvm_rc[0]
    if (name_w, language_w) != (name_l, language_l):
        print(f"{script}: stored as {name_w}/{language_w} by windres, {name_l}/{language_l} by llvm-rc")
        failures += 1
    if block_w != block_l:
        first = next((i for i, (a, b) in enumerate(zip(block_w, block_l)) if a != b),
                     min(len(block_w), len(block_l)))
        print(f"{script}: windres stores {len(block_w)} bytes, llvm-rc {len(block_l)}; "
              f"first difference at byte {first}")
        failures += 1
    else:
        print(f"{script}: the same {len(block_w)}-byte version block from both")
sys.exit(1 if failures else 0)
