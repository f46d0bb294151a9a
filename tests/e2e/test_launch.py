"""A complete launch on the real JDK: what the sample application sees."""

import os
import resource
import stat
import subprocess
import unittest
import zipfile

from launcher_env import JDK_HOME, THROW_MESSAGE, Installation, from_utf16_units

ARGUMENTS = [
    "hello",
    "two words",
    "",
    "Grüße",
    "日本語",
    "😀",
    'say "hi"',
    "C:\\no\\splitting",
    "tab\there",
]


class CompleteLaunchTest(unittest.TestCase):
    """One launch with a rich lib folder; each test reads one part of its report."""

    @classmethod
    def setUpClass(cls):
        cls.inst = Installation()
        inst = cls.inst
        # Besides the sample application's lib/util.jar and lib/ext/extra.zip:
        inst.add_archive("lib/ext/deeper/more.jar")
        inst.add_archive("lib/z-last.zip")
        inst.add_archive("lib/UPPER.JAR")  # the marks are case-sensitive
        inst.add_file("lib/readme.txt")
        inst.add_file("lib/notes.zip.txt")  # a mark anywhere in the path counts
        inst.add_archive("lib/folder.jar/inner.zip")  # a folder is entered, never listed
        cls.result = inst.run(*ARGUMENTS)

    @classmethod
    def tearDownClass(cls):
        cls.inst.cleanup()

    def setUp(self):
        self.assertEqual(self.result.returncode, 0, self.result.describe())
        self.assertEqual(self.result.report.get("status"), "done", self.result.describe())

    def expected_archives(self):
        """The archives below lib, depth first, in the folder listing's own order."""
        archives = []

        def scan(folder):
            for name in os.listdir(folder):  # readdir order, as the launcher sees it
                path = folder + name
                if os.path.isdir(path):
                    scan(path + "/")
                elif ".jar" in path or ".zip" in path:
                    archives.append(path)

        scan(self.inst.install_dir + "/lib/")
        return archives

    def test_arguments_reach_main_exactly(self):
        report = self.result.report
        self.assertEqual(report["arg.count"], str(len(ARGUMENTS)))
        for i, expected in enumerate(ARGUMENTS):
            with self.subTest(argument=expected):
                self.assertEqual(from_utf16_units(report[f"arg.{i}.utf16"]), expected)
                self.assertEqual(self.result.text(f"arg.{i}"), expected)

    def test_class_path_entries_in_order(self):
        install = self.inst.install_dir
        archives = self.expected_archives()
        # Guards the listing walk above: exactly these files are archives.
        self.assertEqual(
            sorted(os.path.relpath(a, install) for a in archives),
            sorted(
                [
                    "lib/util.jar",
                    "lib/ext/extra.zip",
                    "lib/ext/deeper/more.jar",
                    "lib/z-last.zip",
                    "lib/notes.zip.txt",
                    "lib/folder.jar/inner.zip",
                ]
            ),
        )
        entries = [
            install + "/Veltrana.jar",
            self.inst.quicktime_dir + "QTJava.zip",
            JDK_HOME,
            install + "/",
            install + "/lib/",
            *archives,
        ]
        # Every entry, the last included, is followed by the separator.
        self.assertEqual(self.result.text("java.class.path"), ":".join(entries) + ":")

    def test_archives_below_lib_are_usable(self):
        self.assertEqual(self.result.text("lib.class"), "Hello from lib/util.jar")
        self.assertEqual(self.result.text("lib.resource"), "Hello from lib/ext/extra.zip")

    def test_library_path(self):
        self.assertEqual(
            self.result.text("java.library.path"),
            f".:{self.inst.install_dir}/lib:{self.inst.env['PATH']}:{self.inst.quicktime_dir}",
        )

    def test_vm_options_in_order(self):
        report = self.result.report
        count = int(report["vm.option.count"])
        options = [self.result.text(f"vm.option.{i}") for i in range(count)]
        # The VM lists every option but the class path, which it keeps only
        # as the java.class.path property (checked above).
        self.assertEqual(
            options,
            [
                "-Djava.library.path=" + self.result.text("java.library.path"),
                "-Djava.security.manager",
                "-Djava.security.policy=file:" + self.inst.policy_file,
                "-XX:ErrorFile=" + self.inst.home + "/Logs/Veltrana.exe_error%p.log",
                "-Xms256m",
                "-Xmx512m",
            ],
        )

    def test_runs_in_home_on_the_chosen_runtime(self):
        self.assertEqual(self.result.text("user.dir"), self.inst.home)
        self.assertEqual(self.result.text("java.home"), JDK_HOME)

    def test_security_manager_with_the_policy_file(self):
        report = self.result.report
        self.assertEqual(report["security.manager"], "on")
        self.assertEqual(report["security.manager.class"], "java.lang.SecurityManager")
        self.assertEqual(self.result.text("java.security.policy"), "file:" + self.inst.policy_file)
        # Granted by the policy file, not by the JDK's default policy, which
        # does not let application code read user.home.
        self.assertEqual(report["permission.all"], "granted")
        self.assertEqual(report["permission.read.user.home"], "granted")

    def test_policy_file_content(self):
        with open(self.inst.policy_file, "rb") as policy:
            content = policy.read()
        quicktime = self.inst.quicktime_dir.replace(" ", "%20")
        self.assertEqual(
            content.decode("utf-8"),
            "//Give this directory security permissions\r\n"
            f'grant codeBase "file:{self.inst.install_dir}/-" {{\r\n'
            "\tpermission java.security.AllPermission;\r\n"
            "};\r\n"
            "\r\n"
            "//Give QuickTime security permissions\r\n"
            f'grant codeBase "file:{quicktime}-" {{\r\n'
            "\tpermission java.security.AllPermission;\r\n"
            "};\r\n",
        )

    def test_private_temp_folder_is_the_users_alone(self):
        info = os.lstat(self.inst.private_temp)
        self.assertTrue(stat.S_ISDIR(info.st_mode))
        self.assertEqual(stat.S_IMODE(info.st_mode), 0o700)
        self.assertEqual(info.st_uid, os.getuid())

    def test_a_successful_launch_logs_nothing(self):
        self.assertIsNone(self.inst.session_log_bytes())
        self.assertNotIn("Veltrana.exe:", self.result.stderr)


class LaunchTest(unittest.TestCase):
    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)

    def test_exception_from_main_is_described_and_exit_code_is_0(self):
        result = self.inst.run("--throw")
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(result.report.get("status"), "throwing")
        description = f'Exception in thread "main" java.lang.IllegalStateException: {THROW_MESSAGE}'
        self.assertEqual(result.stderr.count(description), 1, result.describe())
        self.assertIn("\tat com.kvn.vt.Veltrana.main(", result.stderr)
        self.assertIsNone(self.inst.session_log_bytes())

    def test_no_arguments_and_an_earlier_policy_file_is_replaced(self):
        os.makedirs(self.inst.private_temp, mode=0o700)
        with open(self.inst.policy_file, "w", encoding="utf-8") as stale:
            stale.write("grant { permission java.security.AllPermission; };\n// stale\n")

        result = self.inst.run()
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(result.report["arg.count"], "0")
        with open(self.inst.policy_file, "rb") as policy:
            content = policy.read()
        self.assertNotIn(b"stale", content)
        self.assertTrue(content.startswith(b"//Give this directory security permissions\r\n"))

    def test_trace_says_where_the_runtime_came_from_and_never_waits_on_a_pipe(self):
        trace = self.inst.path("trace.txt")
        self.inst.env["VELTRANA_TRACE"] = trace
        result = self.inst.run()
        self.assertEqual(result.returncode, 0, result.describe())
        with open(trace, encoding="utf-8") as file:
            self.assertIn(f"platform: the machine's Java: {JDK_HOME}, named by JAVA_HOME",
                          file.read())

        # A pipe nobody reads would hold the launch at its opening: the
        # trace stays off instead.
        fifo = self.inst.path("trace.fifo")
        os.mkfifo(fifo)
        self.inst.env["VELTRANA_TRACE"] = fifo
        result = self.inst.run(timeout=30)
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(result.report.get("status"), "done", result.describe())

    def test_install_folder_with_blanks(self):
        # The policy grant and the code's location both name the folder as a
        # URL, where a blank is %20; the grant must still match.
        inst = self.inst
        spaced = inst.move_install_dir("My Apps", "Velt rana")

        result = inst.run("x")
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertTrue(result.text("java.class.path").startswith(spaced + "/Veltrana.jar:"))
        self.assertEqual(result.report["permission.all"], "granted")
        with open(inst.policy_file, "rb") as policy:
            self.assertIn(
                f'grant codeBase "file:{spaced.replace(" ", "%20")}/-"'.encode(), policy.read()
            )

    def test_folder_names_a_url_or_the_policy_syntax_would_misread(self):
        # Written raw, "%" starts an escape, "#" a fragment, "${...}" is
        # expanded, a double quote ends the grant and a backslash escapes:
        # the grant would be refused or never match.
        inst = self.inst
        odd = '50% #1 ${user.home} "q" a\\b'
        folder = inst.move_install_dir(odd, "Veltrana")
        inst.env["TMPDIR"] = os.path.join(inst.root, "t%1 #${x}")
        os.makedirs(inst.env["TMPDIR"])

        result = inst.run()
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(result.report["permission.all"], "granted", result.describe())
        encoded = "50%25%20%231%20%24{user.home}%20%22q%22%20a%5Cb"
        policy_file = os.path.join(inst.env["TMPDIR"], f"veltrana-{os.getuid()}",
                                   "Veltrana.exe.policy")
        with open(policy_file, "rb") as policy:
            self.assertIn(f'"file:{inst.root}/{encoded}/Veltrana/-"'.encode(), policy.read())
        self.assertEqual(result.text("java.security.policy"),
                         "file:" + policy_file.replace("%", "%25").replace(" ", "%20")
                         .replace("#", "%23").replace("$", "%24"))
        self.assertTrue(result.text("java.class.path").startswith(folder + "/Veltrana.jar:"))

    def test_relative_temporary_folder_counts_as_unset(self):
        # "tmp" would be made in the start folder and the option, read after
        # the move to HOME, would name a file below HOME that was never
        # written: /tmp serves instead, named by its absolute path.
        inst = self.inst
        inst.env["TMPDIR"] = "tmp"
        os.makedirs(os.path.join(inst.home, "tmp"))
        result = inst.run()
        self.assertEqual(result.returncode, 0, result.describe())
        policy_file = f"/tmp/veltrana-{os.getuid()}/Veltrana.exe.policy"
        self.assertEqual(result.text("java.security.policy"), "file:" + policy_file)
        self.assertEqual(result.report["permission.all"], "granted", result.describe())
        self.assertTrue(os.path.isfile(policy_file))
        self.assertEqual(os.listdir(os.path.join(inst.home, "tmp")), [])
        self.assertFalse(os.path.exists(inst.path("tmp", f"veltrana-{os.getuid()}")))

    def test_deep_lib_tree_under_a_small_stack_and_few_descriptors(self):
        # No native frame and no open listing per level.
        folder = os.path.join(self.inst.install_dir, "lib")
        self.addCleanup(subprocess.run, ["rm", "-rf", folder + "/d"])  # too deep for rmtree
        for _ in range(1500):
            folder += "/d"
            os.mkdir(folder)
        deep = self.inst.add_archive(folder + "/deep.jar")
        result = self.inst.run(limits=[(resource.RLIMIT_STACK, 256 * 1024),
                                       (resource.RLIMIT_NOFILE, 64)])
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertTrue(deep in result.text("java.class.path").split(":"), "deep.jar missing")

    def test_archive_with_the_list_separator_is_left_out(self):
        # "a:b.jar" would split into "lib/a" and "b.jar", looked for in HOME.
        inst = self.inst
        inst.env["VELTRANA_TRACE"] = "1"
        split = inst.add_archive("lib/a:b.jar")
        os.remove(os.path.join(inst.install_dir, "lib", "ext", "extra.zip"))
        with zipfile.ZipFile(os.path.join(inst.home, "b.jar"), "w") as planted:
            planted.writestr("extra/note.txt", "PLANTED\n")

        result = inst.run()
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(result.report["lib.resource"], "<missing>", result.describe())
        self.assertIn(f'refused: class-path entry "{split}": holds the path-list separator',
                      result.stderr)

if __name__ == "__main__":
    unittest.main()
