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

ASM = "{urn:schemas-microsoft-com:asm.v1}"
SUPPORTED_OS = {  # Vista, 7, 8, 8.1, 10 and 11
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
PROJECT_ICON = os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "win32",
                            "Veltrana.ico")


def icon_sizes(ico_path):
    listing = subprocess.run(["icotool", "-l", ico_path], capture_output=True, text=True,
                             check=True).stdout
    return sorted(int(w) for w in re.findall(r"--width=(\d+)", listing))


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
        numbers = [int(n) for n in re.match(r"[0-9.]+", version).group(0).split(".")]
        numbers += [0] * (4 - len(numbers))
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        for key, expected in [("CompanyName", "Orrindale"), ("ProductName", "Veltrana"),
                              ("FileVersion", version), ("ProductVersion", version),
                              ("OriginalFilename", "Veltrana.exe"),
                              ("InternalName", "Veltrana.exe"),
                              ("FileDescription", re.compile(r"\bVeltrana\b")),
                              ("LegalCopyright", re.compile(r"Orrindale"))]:
            with self.subTest(key):
                if isinstance(expected, str):
                    self.assertEqual(strings.get(key), expected)
                else:
                    self.assertRegex(strings.get(key, ""), expected)
        for high, low in ((fixed.FileVersionMS, fixed.FileVersionLS),
                          (fixed.ProductVersionMS, fixed.ProductVersionLS)):
            self.assertEqual([high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF], numbers)

    def test_manifest(self):
        manifests = [entry for entry in self.pe.DIRECTORY_ENTRY_RESOURCE.entries
                     if entry.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]]
        self.assertEqual(len(manifests), 1)
        self.assertEqual(manifests[0].directory.entries[0].id, 1)
        data = manifests[0].directory.entries[0].directory.entries[0].data.struct
        xml = self.pe.get_data(data.OffsetToData, data.Size)
        root = ET.fromstring(xml)
        levels = [(e.get("level"), e.get("uiAccess")) for e in root.iter()
                  if e.tag.endswith("}requestedExecutionLevel")]
        self.assertEqual(levels, [("asInvoker", "false")])
        self.assertEqual({e.get("Id") for e in root.iter() if e.tag.endswith("}supportedOS")},
                         SUPPORTED_OS)
        dependencies = [(e.get("name"), e.get("version"), e.get("publicKeyToken"))
                        for dependency in root.iter(ASM + "dependentAssembly")
                        for e in dependency.iter(ASM + "assemblyIdentity")]
        self.assertEqual(dependencies,
                         [("Microsoft.Windows.Common-Controls", "6.0.0.0", "6595b64144ccf1df")])
        # Windows must scale the VM's windows: no DPI-awareness declaration.
        self.assertNotRegex(xml.decode("utf-8").lower(), r"dpiaware|dpiawareness")

    def test_icon(self):
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run(["wrestool", "-x", "--type=14", "-o", folder, self.config["launcher"]],
                           check=True)
            icons = os.listdir(folder)
            self.assertEqual(len(icons), 1)
            self.assertEqual(icon_sizes(os.path.join(folder, icons[0])),
                             icon_sizes(self.config["icon"]))
        if os.path.samefile(self.config["icon"], PROJECT_ICON):
            self.assertEqual(icon_sizes(self.config["icon"]), [16, 32, 48, 256])


if __name__ == "__main__":
    load_config()
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:])
