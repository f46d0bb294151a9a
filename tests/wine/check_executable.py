"""Veltrana.exe is a 32-bit Windows GUI program that needs nothing but
system DLLs: the C and C++ runtimes of the compiler are linked in. It is
shipped stripped and small, with ASLR, DEP and terminal-server awareness,
and names its separate debug file."""

import os
import re
import subprocess
import sys
import tempfile
import unittest
import zlib

from wine_harness import load_config

SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "user32.dll", "shell32.dll", "msvcrt.dll"}


class ExecutableFormat(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        config = load_config()
        cls.headers = subprocess.run([config["objdump"], "-p", config["launcher"]],
                                     capture_output=True, text=True, check=True).stdout
        cls.sections = subprocess.run([config["objdump"], "-h", config["launcher"]],
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


    def test_small_hardened_and_stripped(self):
        self.assertLessEqual(os.path.getsize(load_config()["launcher"]), 128 * 1024)
        for flag in ("DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVICE_AWARE"):
            self.assertRegex(self.headers, r"\n\s+" + flag + r"\n")
        self.assertRegex(self.sections, r"\s\.reloc\s")  # what ASLR moves the image with
        self.assertNotRegex(self.sections, r"\s\.debug_")

    def test_debug_file_beside_it_is_linked(self):
        launcher = load_config()["launcher"]
        with tempfile.TemporaryDirectory() as folder:
            dump = os.path.join(folder, "link")
            subprocess.run([load_config()["objcopy"], "--dump-section", ".gnu_debuglink=" + dump,
                            launcher, os.path.join(folder, "copy")], check=True)
            with open(dump, "rb") as f:
                link = f.read()
# The file's name, padded with zeros, then the CRC-32 of its content.
        self.assertEqual(link.partition(b"\0")[0], b"Veltrana.exe.debug")
        with open(launcher + ".debug", "rb") as f:
            debug = f.read()
        self.assertEqual(int.from_bytes(link[-4:], "little"), zlib.crc32(debug))
        self.assertIn(b".debug_info", debug)
# The launcher's own code, its sources named apart from the build's folders.
        self.assertIn(b"launch_sequence.cpp", debug)
        for folder in (os.path.join(load_config()["source"], "src"), load_config()["build"]):
            self.assertNotIn(folder.encode(), debug)

    def test_no_exception_runtime_mingw_printf_or_system_time_clock(self):
        # Nothing throws, so nothing unwinds; the printf family is msvcrt's;
        # the trace's clock is the performance counter, not the steady
        # clock of the C++ library, which reads the system time.
        self.assertIn("QueryPerformanceCounter", self.headers)
        debug = load_config()["launcher"] + ".debug"
        symbols = subprocess.run([load_config()["objdump"], "-t", debug],
                                 capture_output=True, text=True, check=True).stdout
        self.assertTrue("runLauncher" in symbols)
        for name in ("__cxa_throw", "__gxx_personality_v0", "_Unwind_RaiseException",
                     "__pformat", "__mingw_vsnprintf", "__mingw_vfprintf", "_ZTISt9exception",
                     "_ZNSt6chrono3_V212steady_clock3nowEv"):
            self.assertIsNone(re.search(r"\s_?" + name + r"\w*\n", symbols), name)

    def test_time_stamp_is_the_builds_source_date(self):
        with open(load_config()["launcher"], "rb") as f:
            image = f.read()
        header = int.from_bytes(image[0x3C:0x40], "little")
        self.assertEqual(int.from_bytes(image[header + 8:header + 12], "little"),
                         int(load_config()["source_date_epoch"]))


if __name__ == "__main__":
    load_config()
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:])
