"""Launches that cannot go on: the message on standard error, the session log, exit code 1."""

import os
import resource
import subprocess
import unittest
import zipfile

from launcher_env import JDK_HOME, LOG_ENTRY, Installation


def vendor_key(runtime_lib, java_home=None):
    """The Java vendor's keys for version 1.6, naming runtime_lib."""
    home = f'"JavaHome"="{java_home}"\r\n' if java_home else ""
    return ("REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment]\r\n"
            '"CurrentVersion"="1.6"\r\n\r\n'
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.6]\r\n"
            f'{home}"RuntimeLib"="{runtime_lib}"\r\n')


class FatalErrorTest(unittest.TestCase):
    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)

    def assert_fatal(self, result, message):
        """The one fatal report: stderr line, session-log entry, exit code 1."""
        text = "Fatal Error Launching: " + message
        self.assertEqual(result.returncode, 1, result.describe())
        self.assertIn("Veltrana.exe: " + text + "\n", result.stderr)
        self.assertEqual(self.inst.session_log_texts(), [text])
        self.assertNotIn(b"report=begin", result.stdout)

    def remove_every_runtime(self):
        """No JAVA_HOME, no java on PATH, no registry file."""
        empty_bin = self.inst.path("empty-bin")
        os.makedirs(empty_bin)
        self.inst.env["PATH"] = empty_bin
        del self.inst.env["JAVA_HOME"]
        self.inst.env.pop("VELTRANA_REGISTRY", None)

    def test_main_class_missing_from_the_archive(self):
        with zipfile.ZipFile(os.path.join(self.inst.install_dir, "Veltrana.jar"), "w") as jar:
            jar.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n\r\n")
            jar.writestr("com/kvn/vt/ReadMe.txt", "no classes here\n")
        self.assert_fatal(self.inst.run("hello"), "Failed to find main class")

    def test_no_java_runtime_at_all(self):
        self.remove_every_runtime()
        self.assert_fatal(self.inst.run(), "Can't locate JRE[Java Runtime Environment]")

    def test_trace_into_a_pipe_whose_reader_has_gone(self):
        # The launcher's own writes fail instead of raising SIGPIPE: a fatal
        # report still ends with exit 1 and its log entry, and a working
        # launch still runs the application.
        self.inst.env["VELTRANA_TRACE"] = "1"
        for fatal in (False, True):
            with self.subTest(fatal=fatal):
                if fatal:
                    self.remove_every_runtime()
                reader, writer = os.pipe()
                os.close(reader)
                try:
                    result = self.inst.run(stderr=writer)
                finally:
                    os.close(writer)
                if fatal:
                    self.assertEqual(result.returncode, 1)
                    self.assertEqual(self.inst.session_log_texts(), [
                        "Fatal Error Launching: Can't locate JRE[Java Runtime Environment]"])
                else:
                    self.assertEqual(result.returncode, 0)
                    self.assertIn(b"report=begin", result.stdout)

    def test_vendor_key_naming_a_missing_version(self):
        self.remove_every_runtime()
        self.inst.write_registry(
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\JavaSoft\\Java Runtime Environment]\r\n"
            '"CurrentVersion"="1.6"\r\n'
        )
        self.assert_fatal(self.inst.run(), "Can't locate JRE[CurrentVersion]")

    def test_vm_library_that_does_not_load(self):
        not_a_library = self.inst.path("rt", "lib", "server", "libjvm.so")
        os.makedirs(os.path.dirname(not_a_library))
        with open(not_a_library, "w", encoding="utf-8") as file:
            file.write("not a shared library\n")
        self.inst.write_registry(vendor_key(not_a_library, self.inst.path("rt")))
        trace = self.inst.path("trace.txt")
        self.inst.env["VELTRANA_TRACE"] = trace
        self.assert_fatal(self.inst.run(), "Error loading JVM")
        # The loader's own words, with no Windows error number.
        with open(trace, encoding="utf-8") as file:
            text = file.read()
        self.assertIn(f"library not loaded: {not_a_library}: {not_a_library}: ", text)
        self.assertNotIn("error 126", text)
        self.assertIn("platform: the Java vendor's key comes from the registry file", text)

    def test_vm_library_that_is_a_pipe_is_refused_at_once(self):
        # The loader would wait for a writer that never comes.
        pipe = self.inst.path("rt", "lib", "server", "libjvm.so")
        os.makedirs(os.path.dirname(pipe))
        os.mkfifo(pipe)
        self.inst.env["JAVA_HOME"] = self.inst.path("rt")
        self.assert_fatal(self.inst.run(timeout=20), "Error loading JVM")
        os.remove(self.inst.session_log)
        self.remove_every_runtime()
        self.inst.write_registry(vendor_key(pipe))
        self.assert_fatal(self.inst.run(timeout=20), "Error loading JVM")

    def test_session_log_is_appended_to(self):
        self.remove_every_runtime()
        os.makedirs(os.path.dirname(self.inst.session_log))
        earlier = b"earlier content\r\n"
        with open(self.inst.session_log, "wb") as log:
            log.write(earlier)

        first = self.inst.run()
        second = self.inst.run()
        self.assertEqual((first.returncode, second.returncode), (1, 1))

        data = self.inst.session_log_bytes()
        self.assertTrue(data.startswith(earlier))
        # Nothing but whole entries after what was there before.
        rest = data[len(earlier) :]
        entries = list(LOG_ENTRY.finditer(rest))
        self.assertEqual(len(entries), 2)
        self.assertEqual(b"".join(m.group(0) for m in entries), rest)

    def test_vm_ending_the_process_while_it_is_created(self):
        # No room for the heap, or the security manager refused as JDK 24
        # and later do (_JAVA_OPTIONS come last, so this throwing manager
        # replaces the default one): a refused creation either way.
        classes = self.inst.path("refuser")
        os.makedirs(classes)
        source = os.path.join(classes, "Refuser.java")
        with open(source, "w", encoding="utf-8") as file:
            file.write("public class Refuser extends SecurityManager { public Refuser() {"
                       ' throw new UnsupportedOperationException("The Security Manager is'
                       ' not supported"); } }\n')
        subprocess.run([os.path.join(JDK_HOME, "bin", "javac"), "-nowarn", "-d", classes, source],
                       check=True, capture_output=True)
        trace = self.inst.path("trace.txt")
        refuser = {"VELTRANA_TRACE": trace, "_JAVA_OPTIONS": (
            "-Djava.security.manager=Refuser -Xbootclasspath/a:" + classes)}
        cases = [("no room for the heap", {}, [(resource.RLIMIT_AS, 500 * 1024 * 1024)],
                  "Could not reserve enough space for 524288KB object heap"),
                 ("security manager refused", refuser, [], "The Security Manager is not supported")]
        for name, env, limits, reason in cases:
            with self.subTest(name):
                self.inst.env.update(env)
                if os.path.exists(self.inst.session_log):
                    os.remove(self.inst.session_log)
                result = self.inst.run(limits=limits)
                self.assert_fatal(result, "Can't create Java VM ")
                self.assertIn(reason, result.stdout.decode() + result.stderr)
        with open(trace, encoding="utf-8") as file:
            text = file.read()
        self.assertIn("JNI_CreateJavaVM called", text)
        self.assertIn("VM: Error occurred during initialization of VM", text)
        self.assertIn("The Security Manager is not supported", text)
        self.assertIn("the VM aborts and ends the process", text)
        self.assertNotIn("JNI_CreateJavaVM returned", text)

if __name__ == "__main__":
    unittest.main()
