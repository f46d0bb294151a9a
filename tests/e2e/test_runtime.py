"""Which Java runtime the launcher starts: private runtime first, then the vendor's."""

import os
import shutil
import unittest

from launcher_env import JDK_HOME, Installation

PRIVATE_FOLDER = "jre1.6.0_02"


def mirror_runtime(home):
    """A runtime at home that the JVM takes for its own.

    Folders are real and files are links to the JDK's, except the VM library,
    which is copied: the JVM finds its home from the library's real path, so
    with a linked library it would report the JDK's folder instead.
    """
    for folder, subfolders, files in os.walk(JDK_HOME):
        target = os.path.join(home, os.path.relpath(folder, JDK_HOME))
        os.makedirs(target, exist_ok=True)
        for name in files + [d for d in subfolders if os.path.islink(os.path.join(folder, d))]:
            os.symlink(os.path.join(folder, name), os.path.join(target, name))
    library = os.path.join(home, "lib", "server", "libjvm.so")
    os.unlink(library)
    shutil.copy2(os.path.join(JDK_HOME, "lib", "server", "libjvm.so"), library)


def maker_key(java_home):
    return (
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orrindale]\r\n"
        f'"JAVA_HOME"="{java_home}"\r\n'
    )


class RuntimeChoiceTest(unittest.TestCase):
    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)

    def without_machine_runtime(self):
        """Only what the registry file names can be used."""
        empty_bin = self.inst.path("empty-bin")
        os.makedirs(empty_bin)
        self.inst.env["PATH"] = empty_bin
        del self.inst.env["JAVA_HOME"]

    def runtime_entry(self, result):
        """The class path's third entry: the chosen runtime's home."""
        return result.text("java.class.path").split(":")[2]

    def test_private_runtime_in_the_folder_the_maker_key_names(self):
        self.without_machine_runtime()
        private_home = self.inst.path("runtimes", PRIVATE_FOLDER)
        mirror_runtime(private_home)
        self.inst.write_registry(maker_key(self.inst.path("runtimes")))

        result = self.inst.run("private")
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(self.runtime_entry(result), private_home)
        self.assertEqual(result.text("java.home"), private_home)

    def test_private_runtime_in_a_java_folder_beside_the_install_folder(self):
        # The maker key's folder does not exist, so "Java" beside the install
        # folder is tried. A link to the whole JDK is enough here.
        self.without_machine_runtime()
        beside = os.path.join(os.path.dirname(self.inst.install_dir), "Java")
        os.makedirs(beside)
        os.symlink(JDK_HOME, os.path.join(beside, PRIVATE_FOLDER))
        self.inst.write_registry(maker_key(self.inst.path("no-such-folder")))

        result = self.inst.run("beside")
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(self.runtime_entry(result), os.path.join(beside, PRIVATE_FOLDER))

    def test_private_runtime_someone_else_could_change_counts_as_absent(self):
        # Beside the install folder, in a folder open to all (sticky, as
        # /tmp): the runtime serves only while no one else owns or may write
        # a folder on the way to its VM library.
        apps = os.path.dirname(self.inst.install_dir)
        beside, private_home = os.path.join(apps, "Java"), os.path.join(apps, "Java", PRIVATE_FOLDER)
        os.chmod(apps, 0o1777)
        os.makedirs(beside)
        os.symlink(JDK_HOME, private_home)
        self.inst.write_registry(maker_key(self.inst.path("no-such-folder")))
        self.inst.env["VELTRANA_TRACE"] = "1"
        for owner, mode, why in [(65534, 0o755, "belongs to user 65534"),
                                 (os.getuid(), 0o777, "may be written by others"),
                                 (os.getuid(), 0o755, None)]:
            with self.subTest(why):
                os.chown(beside, owner, owner)
                os.chmod(beside, mode)
                result = self.inst.run()
                self.assertEqual(result.returncode, 0, result.describe())
                self.assertEqual(self.runtime_entry(result), JDK_HOME if why else private_home)
                if why:
                    self.assertIn(f"platform: not trusted: {beside} {why}", result.stderr)
                    self.assertIn("/libjvm.so\": others could change it", result.stderr)

    def test_private_folder_without_vm_library_falls_back_to_the_vendor_runtime(self):
        os.makedirs(self.inst.path("runtimes", PRIVATE_FOLDER, "lib"))
        self.inst.write_registry(maker_key(self.inst.path("runtimes")))

        result = self.inst.run()
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(self.runtime_entry(result), JDK_HOME)

    def test_vendor_runtime_named_in_the_registry_file(self):
        self.without_machine_runtime()
        self.inst.write_registry(
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment]\r\n"
            '"CurrentVersion"="17"\r\n\r\n'
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\17]\r\n"
            f'"JavaHome"="{JDK_HOME}"\r\n'
            f'"RuntimeLib"="{JDK_HOME}/lib/server/libjvm.so"\r\n'
        )
        result = self.inst.run()
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(self.runtime_entry(result), JDK_HOME)

    def test_java_on_path_when_java_home_is_unset(self):
        bin_folder = self.inst.path("bin")
        os.makedirs(bin_folder)
        os.symlink(os.path.join(JDK_HOME, "bin", "java"), os.path.join(bin_folder, "java"))
        self.inst.env["PATH"] = bin_folder
        del self.inst.env["JAVA_HOME"]

        result = self.inst.run()
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(self.runtime_entry(result), JDK_HOME)

    def test_relative_java_home_or_path_entry_counts_as_unset(self):
        # A runtime planted in the folder the launcher is started from is
        # never taken: not through a relative JAVA_HOME, nor through an
        # empty PATH entry; the java on the absolute PATH folder serves.
        os.makedirs(self.inst.path("jdk", "bin"))
        os.symlink(os.path.join(JDK_HOME, "bin", "java"), self.inst.path("java"))
        bin_folder = self.inst.path("bin")
        os.makedirs(bin_folder)
        os.symlink(os.path.join(JDK_HOME, "bin", "java"), os.path.join(bin_folder, "java"))
        self.inst.env["JAVA_HOME"] = "jdk"
        self.inst.env["PATH"] = ":" + bin_folder
        result = self.inst.run()
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(self.runtime_entry(result), JDK_HOME)

    def test_quicktime_folder_from_the_registry_file(self):
        quicktime = self.inst.path("QT", "QTSystem") + "/"
        self.inst.write_registry(
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Apple Computer, Inc.\\QuickTime]\r\n"
            f'"QTExtDir"="{quicktime}"\r\n'
        )
        result = self.inst.run()
        self.assertEqual(result.returncode, 0, result.describe())
        self.assertEqual(result.text("java.class.path").split(":")[1], quicktime + "QTJava.zip")
        self.assertTrue(result.text("java.library.path").endswith(":" + quicktime))
        with open(self.inst.policy_file, "rb") as policy:
            self.assertIn(f'grant codeBase "file:{quicktime}-"'.encode(), policy.read())


if __name__ == "__main__":
    unittest.main()
