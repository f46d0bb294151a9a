"""Packs the release: Veltrana-VERSION-win32.zip for users (the executable
and the short text on installing, tracing and branding),
Veltrana-VERSION-win32-symbols.zip with the debug file for whoever reads
crash reports, and SHA256SUMS beside them. Both archives hold one folder of
the same name, so unpacked together the debug file lands beside the
executable.

    python3 release.py EXE README.txt RELEASE.zip SYMBOLS.zip SHA256SUMS SOURCE_DATE_EPOCH

The same files give the same archives: the entries come in a fixed order,
all dated SOURCE_DATE_EPOCH (in UTC), with fixed permissions and nothing
from the machine that packs them.
"""

import hashlib
import os
import sys
import time
import zipfile


def entry(name, date_time, executable):
    info = zipfile.ZipInfo(name, date_time)
    info.create_system = 3  # Unix, so that unzip restores the permissions below
    info.external_attr = (0o100755 if executable else 0o100644) << 16
    info.compress_type = zipfile.ZIP_DEFLATED
    return info


def pack(path, folder, files, date_time):
    with zipfile.ZipFile(path + ".part", "w") as archive:
        for source in sorted(files, key=os.path.basename):
            name = os.path.basename(source)
            with open(source, "rb") as f:
                archive.writestr(entry(f"{folder}/{name}", date_time, name.endswith(".exe")),
                                 f.read(), compresslevel=9)
    os.replace(path + ".part", path)


def main(exe, text, release_zip, symbols_zip, sums, epoch):
    for file in (exe, exe + ".debug", text):
        if not os.path.isfile(file):
            sys.exit(f"release: {file} is missing")
    # A zip entry's date starts in 1980.
    date_time = time.gmtime(max(int(epoch), 315532800))[:6]
    folder = os.path.basename(release_zip)[:-len(".zip")]
    pack(release_zip, folder, [exe, text], date_time)
    pack(symbols_zip, folder, [exe + ".debug"], date_time)
    lines = []
    for archive in sorted((release_zip, symbols_zip), key=os.path.basename):
        with open(archive, "rb") as f:
            lines.append(f"{hashlib.sha256(f.read()).hexdigest()}  {os.path.basename(archive)}\n")
    with open(sums, "w", encoding="ascii", newline="\n") as f:
        f.writelines(lines)
    for written in (release_zip, symbols_zip, sums):
        print(f"release: wrote {written}")


if __name__ == "__main__":
    if len(sys.argv) != 7:
        sys.exit(__doc__)
    main(*sys.argv[1:])
