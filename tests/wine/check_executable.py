"""Veltrana.exe is a 32-bit Windows GUI program that needs nothing but
system DLLs: the C and C++ runtimes of the compiler are linked in."""

import re
import subprocess
import sys
import unittest

from wine_harness import load_config

SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "user32.dll", "shell32.dll", "msvcrt.dll"}


class ExecutableFormat(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        config = load_config()
        cls.headers = subprocess.run([config["objdump"], "-p", config["launcher"]],
                                     capture_output=True, text=True, check=True).stdout

    def test_32_bit_gui_program(self):
        self.assertRegex(self.headers, r"file format pei-i386\n")
        self.assertRegex(self.headers, r"\nSubsystem\s+00000002\s+\(Windows GUI\)")

    def test_imports_only_system_dlls(self):
        dlls = re.findall(r"DLL Name: (\S+)", self.headers)
        self.assertIn("kernel32.dll", [d.lower() for d in dlls])
        for dll in dlls:
            self.assertIn(dll.lower(), SYSTEM_DLLS)
            self.assertNotRegex(dll.lower(), r"libstdc\+\+|libgcc|libwinpthread")


if __name__ == "__main__":
    load_config()
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:])
