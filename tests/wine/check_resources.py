"""The resources read back from the built Veltrana.exe: version information,
manifest and icon. No Wine needed."""

import os
import re
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

import pefile

from wine_harness import load_config

# Vista, 7, 8, 8.1, 10 and 11.
SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
PROJECT_ICON = os.path.join(os.path.dirname(__file__), "../../packaging/win32/Veltrana.ico")


def icon_sizes(ico):
    listing = subprocess.run(["icotool", "-l", ico], capture_output=True, text=True, check=True)
    return sorted(int(w) for w in re.findall(r"--width=(\d+)", listing.stdout))


class Resources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.config = load_config()
        cls.pe = pefile.PE(cls.config["launcher"])

    def test_version_information(self):
        version = self.config["version"]
        strings = {k.decode(): v.decode() for info in self.pe.FileInfo[0]
                   if info.Key == b"StringFileInfo" for table in info.StringTable
                   for k, v in table.entries.items()}
        for key, expected in [("CompanyName", "^Orrindale$"), ("ProductName", "^Veltrana$"),
                              ("FileVersion", f"^{re.escape(version)}$"),
                              ("ProductVersion", f"^{re.escape(version)}$"),
                              ("OriginalFilename", r"^Veltrana\.exe$"),
                              ("InternalName", r"^Veltrana\.exe$"),
                              ("FileDescription", r"\bVeltrana\b"), ("LegalCopyright", "Orrindale")]:
            with self.subTest(key):
                self.assertRegex(strings.get(key, ""), expected)
        numbers = [int(n) for n in re.match(r"[0-9.]+", version).group(0).split(".")]
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        for high, low in ((fixed.FileVersionMS, fixed.FileVersionLS),
                          (fixed.ProductVersionMS, fixed.ProductVersionLS)):
            self.assertEqual([high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF],
                             numbers + [0] * (4 - len(numbers)))

    def test_manifest(self):
        [manifest] = [e for e in self.pe.DIRECTORY_ENTRY_RESOURCE.entries
                      if e.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]]
        [resource] = manifest.directory.entries
        self.assertEqual(resource.id, 1)  # the ID Windows reads an .exe's manifest from
        data = resource.directory.entries[0].data.struct
        xml = self.pe.get_data(data.OffsetToData, data.Size)

        def attributes(tag, *names):
            return [tuple(e.get(n) for n in names) for e in ET.fromstring(xml).iter()
                    if e.tag.endswith("}" + tag)]

        self.assertEqual(attributes("requestedExecutionLevel", "level", "uiAccess"),
                         [("asInvoker", "false")])
        self.assertEqual({i for i, in attributes("supportedOS", "Id")}, SUPPORTED_OS)
        self.assertIn(("Microsoft.Windows.Common-Controls", "6.0.0.0", "6595b64144ccf1df"),
                      attributes("assemblyIdentity", "name", "version", "publicKeyToken"))
        # Windows must scale the VM's windows: no DPI-awareness declaration.
        self.assertNotRegex(xml.decode("utf-8").lower(), "dpiaware")

    def test_icon(self):
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run(["wrestool", "-x", "--type=14", "-o", folder, self.config["launcher"]],
                           check=True)
            [icon] = os.listdir(folder)
            self.assertEqual(icon_sizes(os.path.join(folder, icon)), icon_sizes(self.config["icon"]))
        if os.path.samefile(self.config["icon"], PROJECT_ICON):
            self.assertEqual(icon_sizes(PROJECT_ICON), [16, 32, 48, 256])


if __name__ == "__main__":
    load_config()
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:])
