"""The security policy file in %TEMP% and the option that names it."""

import errno
import os
import subprocess

from wine_harness import (PROFILE, PROGRAM_FILES, ROOT, TEMP, WineTestCase, host_path,
                          load_config, log_entry_pattern, run_tests)

INSTALL = PROGRAM_FILES + "\\Veltrana"


def policy(install_grant, quicktime_grant):
    return ("//Give this directory security permissions\r\n"
            f'grant codeBase "file:/{install_grant}-" {{\r\n'
            "\tpermission java.security.AllPermission;\r\n"
            "};\r\n"
            "\r\n"
            "//Give QuickTime security permissions\r\n"
            f'grant codeBase "file:/{quicktime_grant}-" {{\r\n'
            "\tpermission java.security.AllPermission;\r\n"
            "};\r\n").encode("ascii")


class PolicyFile(WineTestCase):
    def setUp(self):
        super().setUp()
        self.install(INSTALL)
        self.private_runtime()

    def test_install_folder_with_blanks(self):
        run = self.launch(folder=INSTALL)
        self.assertCompleteRun(run)
        self.assertEqual(self.read(TEMP + "\\Veltrana.exe.policy"),
                         policy("C:/Program%20Files/Veltrana/",
                                "C:/Program%20Files/QuickTime/QTSystem/"))
        self.assertEqual(run.options()[3],
                         "-Djava.security.policy=file:/C:/vt/temp/Veltrana.exe.policy")

    def test_earlier_file_is_replaced_and_quicktime_key_is_granted(self):
        self.write(TEMP + "\\Veltrana.exe.policy", b"an earlier, longer policy file\r\n" * 20)
        self.set_registry(maker_java_home=ROOT + "\\rt", quicktime_dir="D:\\QT  Ext\\QTSystem\\")
        run = self.launch(folder=INSTALL)
        self.assertCompleteRun(run)
        self.assertEqual(self.read(TEMP + "\\Veltrana.exe.policy"),
                         policy("C:/Program%20Files/Veltrana/", "D:/QT%20%20Ext/QTSystem/"))

    def test_folders_named_outside_the_code_page_reach_the_vm_by_names_that_exist(self):
        # Chinese under the Western code page: the launcher must not hand on
        # '?' in place of the characters it cannot carry.
        install = ROOT + "\\Apps\\\u5e94\u7528\\Veltrana"
        temp = ROOT + "\\\u4e34\u65f6"
        self.install(install)
        self.write(install + "\\Veltrana.jar")
        self.write(temp + "\\other.tmp")
        run = self.launch(folder=install, env={"TEMP": temp})
        self.assertCompleteRun(run)
        self.assertEqual(run.values("acp"), ["1252"])
        class_path = run.options()[0]
        self.assertNotIn("?", class_path)
        self.assertEqual(run.values("missing"), [PROGRAM_FILES + "\\QuickTime\\QTSystem\\QTJava.zip"])
        folder = class_path[len("-Djava.class.path="):].split(";")[0][:-len("\\Veltrana.jar")]
        self.assertIn(folder + "\\lib\\a.jar;", class_path)
        grant = 'grant codeBase "file:/' + folder.replace("\\", "/") + '/-"'
        self.assertIn(grant.encode("ascii"), self.read(temp + "\\Veltrana.exe.policy"))
        self.assertNotIn("?", run.options()[3])

    def test_temporary_folder_with_blanks_in_the_option(self):
        temp = ROOT + "\\Local Settings\\Temp"
        self.write(temp + "\\other.tmp")
        run = self.launch(folder=INSTALL, env={"TEMP": temp})
        self.assertCompleteRun(run)
        self.assertIsNotNone(self.read(temp + "\\Veltrana.exe.policy"))
        self.assertEqual(
            run.options()[3],
            "-Djava.security.policy=file:/C:/vt/Local%20Settings/Temp/Veltrana.exe.policy")

    def test_unusable_temp_falls_back_to_the_system_temporary_folder(self):
        # GetTempPath: TMP first, then TEMP, then the profile folder. When
        # no folder takes the file, the session log says where it failed.
        systemp, nowhere = ROOT + "\\systemp", ROOT + "\\nowhere"
        self.write(systemp + "\\other.tmp")
        self.write(ROOT + "\\a-file")
        cases = [("unset", {"TEMP": None, "TMP": systemp}, systemp),
                 ("unset, and no TMP", {"TEMP": None, "TMP": None}, PROFILE),
                 ("a file", {"TEMP": ROOT + "\\a-file", "TMP": systemp}, systemp),
                 # Relative: written in the start folder, named at the root.
                 ("relative", {"TEMP": "tmprel", "TMP": systemp}, systemp),
                 ("drive-relative", {"TEMP": "C:tmprel", "TMP": systemp}, systemp),
                 ("rooted", {"TEMP": "\\vt\\temp", "TMP": systemp}, systemp),
                 ("nowhere", {"TEMP": None, "TMP": nowhere}, None)]
        for name, env, folder in cases:
            with self.subTest(name):
                run = self.launch(folder=INSTALL, env=env)
                self.assertCompleteRun(run)
                if folder is None:
                    self.assertRegex(self.session_log(), b"^" + log_entry_pattern(
                        "Can't write security policy file in " + nowhere, False) + b"$")
                    continue
                self.assertEqual(self.read(folder + "\\Veltrana.exe.policy"),
                                 policy("C:/Program%20Files/Veltrana/",
                                        "C:/Program%20Files/QuickTime/QTSystem/"))
                self.assertEqual(run.options()[3], "-Djava.security.policy=file:/" +
                                 folder.replace("\\", "/") + "/Veltrana.exe.policy")
                self.assertIsNone(self.session_log())

    def test_folders_on_a_share_are_named_as_shares(self):
        # Wine reaches \\server\share through dosdevices/unc.
        unc = os.path.join(load_config()["prefix"], "dosdevices", "unc", "vtserver")
        os.makedirs(unc, exist_ok=True)
        share = os.path.join(unc, "share")
        os.symlink(host_path(ROOT + "\\shared"), share)
        self.addCleanup(os.remove, share)
        self.write(ROOT + "\\shared\\temp\\other.tmp")
        self.set_registry(maker_java_home=ROOT + "\\rt", quicktime_dir="\\\\vtserver\\share\\QT\\")
        run = self.launch(folder=INSTALL, env={"TEMP": "\\\\vtserver\\share\\temp"})
        self.assertCompleteRun(run)
        self.assertEqual(run.options()[3], "-Djava.security.policy=file:////vtserver/share/temp/"
                         "Veltrana.exe.policy")
        self.assertEqual(self.read(ROOT + "\\shared\\temp\\Veltrana.exe.policy"),
                         policy("C:/Program%20Files/Veltrana/", "///vtserver/share/QT/"))

    def test_temp_on_a_full_disk_is_not_claimed(self):
        # A real full file system as TEMP: the file cannot be written out,
        # so it is not claimed and the next folder takes it.
        full, systemp = ROOT + "\\full", ROOT + "\\systemp"
        self.write(systemp + "\\other.tmp")
        mount_point = host_path(full)
        os.makedirs(mount_point, exist_ok=True)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16k", "tmpfs", mount_point],
                                 capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("no small file system can be mounted here: " +
                          mounted.stderr.decode(errors="replace").strip())
        self.addCleanup(subprocess.run, ["umount", "-l", mount_point])
        try:
            with open(os.path.join(mount_point, "filler"), "wb") as filler:
                while True:
                    filler.write(b"\0" * 4096)
                    filler.flush()
        except OSError as error:
            self.assertEqual(error.errno, errno.ENOSPC)
        run = self.launch(folder=INSTALL, env={"TEMP": full, "TMP": systemp})
        self.assertCompleteRun(run)
        self.assertFalse(os.path.exists(os.path.join(mount_point, "Veltrana.exe.policy")))
        self.assertEqual(self.read(systemp + "\\Veltrana.exe.policy"),
                         policy("C:/Program%20Files/Veltrana/",
                                "C:/Program%20Files/QuickTime/QTSystem/"))
        self.assertEqual(run.options()[3], "-Djava.security.policy=file:/C:/vt/systemp/"
                         "Veltrana.exe.policy")


if __name__ == "__main__":
    run_tests()
