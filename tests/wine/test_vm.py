"""What the VM is given (options, working folder, main's arguments) and how
the launcher reacts to a VM that fails."""

import os

from wine_harness import FATAL_ERROR_EXIT, JRE, PROFILE, ROOT, TEMP, WineTestCase, host_path, run_tests

INSTALL = ROOT + "\\Apps\\Veltrana"
HOME = ROOT + "\\rt\\" + JRE
QTSYSTEM = "C:\\Program Files\\QuickTime\\QTSystem\\"


def modified_utf8(text):
    """What NewStringUTF expects: each UTF-16 code unit on its own, so a
    character outside the BMP becomes two 3-byte surrogate encodings."""
    units = text.encode("utf-16-le", "surrogatepass")
    out = b""
    for i in range(0, len(units), 2):
        unit = chr(int.from_bytes(units[i:i + 2], "little"))
        out += unit.encode("utf-8", "surrogatepass")
    return out


class VmOptions(WineTestCase):
    def setUp(self):
        super().setUp()
        self.install(lib=("zeta.jar", "b.jar", "sub\\a.zip", "D.JAR", "notes.txt", "x.jar\\in.zip"))
        self.private_runtime()

    def test_seven_options_and_the_profile_as_working_folder(self):
        # A trailing backslash of PATH is cut; the launch starts elsewhere.
        run = self.launch(env={"PATH": "C:\\windows\\system32;C:\\windows\\"}, directory=ROOT)
        self.assertCompleteRun(run)
        self.assertEqual(run.values("create"),
                         ["version=0x00010004;nOptions=7;ignoreUnrecognized=1"])
        lib = INSTALL + "\\lib\\"
        self.assertEqual(run.options(), [
            f"-Djava.class.path={INSTALL}\\Veltrana.jar;{QTSYSTEM}QTJava.zip;{HOME};{INSTALL}\\;"
            f"{lib};{lib}b.jar;{lib}sub\\a.zip;{lib}x.jar\\in.zip;{lib}zeta.jar;",
            f'-Djava.library.path=".;{INSTALL}\\lib;C:\\windows\\system32;C:\\windows;{QTSYSTEM}"',
            "-Djava.security.manager",
            "-Djava.security.policy=file:/C:/vt/temp/Veltrana.exe.policy",
            f"-XX:ErrorFile={PROFILE}\\Logs\\Veltrana.exe_error%p.log",
            "-Xms256m",
            "-Xmx512m",
        ])
        self.assertEqual(run.values("cwd"), [PROFILE])
        self.assertEqual(run.strings_passed_to("SetCurrentDirectoryA"), [[PROFILE]])

    def test_search_path_entries_are_whole_and_absolute(self):
        # A quoted entry holding ';' by its short form, never in two halves.
        tools = ROOT + "\\tools\\a;b"
        self.write(tools + "\\x.dll")
        run = self.launch(env={"PATH": f'C:\\windows\\system32;"{tools}";tools;C:\\windows'},
                          directory=ROOT)
        self.assertCompleteRun(run)
        entries = run.options()[1][len('-Djava.library.path="'):-1].split(";")
        self.assertEqual(entries[:3], [".", INSTALL + "\\lib", "C:\\windows\\system32"])
        self.assertEqual(entries[4:], ["C:\\windows", QTSYSTEM])
        self.assertTrue(entries[3].startswith(ROOT + "\\tools\\") and "~" in entries[3], entries)

    def test_without_profile_the_working_folder_stays(self):
        run = self.launch(env={"USERPROFILE": None}, directory=ROOT)
        self.assertCompleteRun(run)
        # Not "\\Logs" at the drive's root: beside the policy file.
        self.assertEqual(run.options()[4], f"-XX:ErrorFile={TEMP}\\Veltrana.exe_error%p.log")
        self.assertEqual(run.values("cwd"), [ROOT])

    def test_folder_link_back_to_an_ancestor_is_not_entered(self):
        os.symlink("..", host_path(INSTALL + "\\lib\\sub\\loop"))
        run = self.launch()
        self.assertCompleteRun(run)
        archives = run.options()[0].split(f"{INSTALL}\\lib\\;")[1]
        self.assertEqual(archives.split(";")[:2], [INSTALL + "\\lib\\b.jar",
                                                  INSTALL + "\\lib\\sub\\a.zip"])
        self.assertNotIn("loop", archives)

    def test_trace_mode_hands_the_vm_its_hooks_and_keeps_what_it_prints(self):
        run = self.launch(env={"VELTRANA_TRACE": ROOT + "\\trace.txt"})
        self.assertCompleteRun(run)
        self.assertEqual(run.options()[7:], ["vfprintf", "exit", "abort"])
        trace = self.read(ROOT + "\\trace.txt").decode("latin-1")
        for line in ("VM option 7: -Xmx512m", "VM: stub VM: hook 42",
                     "stub VM on standard output", "main returned after ", "exit code 0"):
            self.assertIn(line, trace)

        # A new file in a folder whose name the code page cannot carry.
        os.makedirs(host_path(ROOT + "\\中文"))
        run = self.launch(env={"VELTRANA_TRACE": ROOT + "\\中文\\trace.txt"})
        self.assertCompleteRun(run)
        self.assertIn(b"exit code 0", self.read(ROOT + "\\中文\\trace.txt") or b"")

    def test_lib_names_outside_the_code_page_arrive_by_their_short_names(self):
        # In a Western code page the Chinese names have no bytes of their
        # own; the ANSI listing would give "??.jar", which names nothing.
        self.install(folder=INSTALL + "2", lib=("中文.jar", "日本\\x.jar", "café.jar"))
        run = self.launch(folder=INSTALL + "2")
        self.assertCompleteRun(run)
        self.assertEqual(run.values("acp"), ["1252"])
        lib = INSTALL + "2\\lib\\"
        archives = run.options()[0].split(lib + ";")[1].split(";")[:-1]
        self.assertEqual(len(archives), 3, archives)
        self.assertIn(lib + "caf\xe9.jar", archives)  # held by the code page: as it is
        self.assertEqual([a for a in archives if "?" in a], [])
        self.assertEqual([a for a in run.values("missing") if a.startswith(lib)], [])


class MainArguments(WineTestCase):
    def test_command_line_reaches_main(self):
        self.install()
        self.private_runtime()
        cases = [
            ("none", "", []),
            ("two", "one two", ["one", "two"]),
            ("quoted blanks", '"two words"', ["two words"]),
            ("empty argument", 'a "" b', ["a", "", "b"]),
            ("non-ASCII", "Grüße 日本語 😀", ["Grüße", "日本語", "😀"]),
            ("embedded quote", 'say\\"hi "a \\"b\\" c"', ['say"hi', 'a "b" c']),
        ]
        for name, arguments, expected in cases:
            with self.subTest(name):
                run = self.launch(arguments=arguments)
                self.assertCompleteRun(run)
                self.assertEqual(run.values("main-start"), [str(len(expected))])
                self.assertEqual(run.arguments(), [modified_utf8(a) for a in expected])


class VmFailures(WineTestCase):
    def setUp(self):
        super().setUp()
        self.install()
        self.private_runtime()

    def test_main_that_throws_is_described_and_the_vm_destroyed(self):
        run = self.launch(mode="main-throws")
        self.assertCompleteRun(run)
        self.assertEqual(run.keys()[-3:], ["main-end", "ExceptionDescribe", "DestroyJavaVM"])
        self.assertIsNone(self.session_log())

    def test_failed_creation_is_fatal(self):
        # Refused, made with no VM or no environment (which must not be
        # called through), or the process ended by the VM itself.
        for mode in ("create-fails", "create-null-env", "create-null-vm", "create-exits",
                     "create-exits-msvcr71"):
            with self.subTest(mode):
                earlier = self.session_log() or b""
                run = self.launch(mode=mode)
                self.assertFatal(run, "Can't create Java VM ", earlier)
                self.assertEqual(run.keys()[-1], "cwd")

    def test_missing_main_class_is_fatal(self):
        run = self.launch(mode="no-main-class")
        self.assertFatal(run, "Failed to find main class")
        # The exception the failed lookup left pending is described first.
        self.assertEqual(run.keys()[-2:], ["FindClass", "ExceptionDescribe"])

    def test_missing_lookups_after_creation_end_through_the_vm(self):
        cases = [("no-main-method", "Failed to find jmethodID of 'main'"),
                 ("no-string-class", "Failed to find java/lang/String")]
        for mode, message in cases:
            with self.subTest(mode):
                run = self.launch(mode=mode)
                self.assertEqual(run.exit_code, FATAL_ERROR_EXIT)
                self.assertEqual(run.keys()[-2:], ["ExceptionDescribe", "FatalError"])
                self.assertEqual(run.values("FatalError"), [message])
                self.assertEqual(run.values("problem"), [])
                self.assertIsNone(self.session_log())
                self.assertEqual(run.strings_passed_to("MessageBoxA"), [])


if __name__ == "__main__":
    run_tests()
