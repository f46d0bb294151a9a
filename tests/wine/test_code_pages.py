"""Double-byte ANSI code pages (932 Japanese, 950 Traditional Chinese), whose
characters may have 0x5C, a backslash's byte, as second byte: none may be
cut in half. Wine takes the code page from the Unix locale."""

from wine_harness import JRE, PROGRAM_FILES, ROOT, WineTestCase, run_tests

QTSYSTEM = PROGRAM_FILES + "\\QuickTime\\QTSystem\\"

# Second byte 0x5C in code page 932: 83 5C, 95 5C.
SO, HYO = "\u30bd", "\u8868"
# And in code page 950: A5 5C, B3 5C.
GONG, XU = "\u529f", "\u8a31"


def ansi(text, code_page):
    """The text's bytes in the code page, as the stub's report shows them."""
    return text.encode(f"cp{code_page}").decode("latin-1")


class DoubleByteCodePages(WineTestCase):
    def assertRunsUnder(self, run, code_page):
        self.assertCompleteRun(run)
        self.assertEqual(run.values("acp"), [str(code_page)])
        self.assertEqual(run.values("missing"), [QTSYSTEM + "QTJava.zip"])

    def java_beside_the_install_folder(self, name, code_page):
        """The executable is ROOT\\apps\\name\\Veltrana.exe, and the maker key
        names a folder that is gone: the Java folder beside the install
        folder, ROOT\\apps\\Java, holds the runtime."""
        install = self.install(ROOT + "\\apps\\" + name)
        self.write(install + "\\Veltrana.jar")
        home = self.runtime(ROOT + "\\apps\\Java\\" + JRE)
        self.set_registry(maker_java_home=ROOT + "\\nowhere")
        run = self.launch(folder=install, code_page=code_page)
        self.assertRunsUnder(run, code_page)
        self.assertEqual(run.values("loaded")[-1], ansi(home + "\\bin\\client\\jvm.dll", code_page))
        self.assertTrue(run.options()[0].startswith(
            ansi(f"-Djava.class.path={install}\\Veltrana.jar;", code_page)))

    def test_java_folder_beside_an_install_folder_named_in_932(self):
        self.java_beside_the_install_folder(SO + "\u30d5\u30c8", 932)

    def test_java_folder_beside_an_install_folder_named_in_950(self):
        self.java_beside_the_install_folder(GONG + XU, 950)

    def test_renamed_executable_and_a_path_entry_keep_their_characters_whole(self):
        install = ROOT + "\\Apps\\Veltrana"
        self.install(install)
        self.copy("launcher", install + "\\" + SO + "\u30d5\u30c8.exe")
        self.write(install + "\\Veltrana.jar")
        home = self.private_runtime()
        tools = "C:\\tools\\" + HYO  # its last byte is a backslash's
        run = self.launch(folder=install, exe_name=SO + "\u30d5\u30c8.exe", code_page=932,
                          env={"PATH": "C:\\windows;" + tools})
        self.assertRunsUnder(run, 932)
        lib = install + "\\lib\\"
        self.assertEqual(run.options()[:2], [
            f"-Djava.class.path={install}\\Veltrana.jar;{QTSYSTEM}QTJava.zip;"
            f"{home};{install}\\;{lib};{lib}a.jar;",
            ansi(f'-Djava.library.path=".;{install}\\lib;C:\\windows;{tools};{QTSYSTEM}"', 932)])


if __name__ == "__main__":
    run_tests()
