"""The launcher on a real Java VM (Avian for 32-bit Windows) under Wine."""

import hashlib
import os
import shutil
import subprocess
import sys

from wine_harness import JRE, ROOT, WineTestCase, host_path, load_config, run_tests, work_file

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))


def avian_folder():
    """The VM's folder beside the source tree, its files checked; None when absent."""
    folder = os.path.join(load_config()["source"], "..", "shared", "avian-win32")
    if not os.path.isdir(folder):
        return None
    with open(os.path.join(folder, "SHA256SUMS")) as f:
        for line in f:
            digest, name = line.split()
            with open(os.path.join(folder, name), "rb") as g:
                if hashlib.sha256(g.read()).hexdigest() != digest:
                    sys.exit(f"{name} does not match SHA256SUMS")
    return folder


def build_archive(folder, source, name):
    classes = work_file("realvm-classes-" + name)
    shutil.rmtree(classes, ignore_errors=True)
    subprocess.run(["javac", "-source", "8", "-target", "8", "-nowarn", "-bootclasspath",
                    os.path.join(folder, "classpath.jar"), "-d", classes,
                    os.path.join(HERE, "realvm", *source.split("/"))],
                   check=True, stderr=subprocess.DEVNULL)
    jar = work_file("realvm-" + name)
    subprocess.run(["jar", "cf", jar, "-C", classes, "."], check=True)
    return jar


def said(run_output, key):
    return [line[len(key) + 1:] for line in run_output.splitlines()
            if line == key or line.startswith(key + " ")]


class RealVm(WineTestCase):
    def setUp(self):
        super().setUp()
        folder = self.install(lib=())
        shutil.copyfile(JAR, host_path(folder + "\\Veltrana.jar"))
        os.makedirs(host_path(folder + "\\lib\\a\\b\\c"))
        shutil.copyfile(DEEP, host_path(folder + "\\lib\\a\\b\\c\\deep.jar"))
        home = ROOT + "\\rt\\" + JRE
        self.runtime(home, vm=None, support=None)
        shutil.copyfile(os.path.join(AVIAN, "jvm.dll"), host_path(home + "\\bin\\client\\jvm.dll"))
        self.set_registry(maker_java_home=ROOT + "\\rt")

    def test_exception_from_main_is_named_and_exit_codes_hold(self):
        run = self.launch(arguments="throw", env={"VELTRANA_TRACE": ROOT + "\\trace.txt"})
        self.assertEqual(run.exit_code, 0)
        trace = self.read(ROOT + "\\trace.txt").decode("latin-1")
        self.assertIn("args 1", trace)  # the program's output lands in the trace
        self.assertIn("pending exception java.lang.IllegalStateException", trace)
        self.assertIn("IllegalStateException: boom", trace)
        self.assertIn("exit code 0", trace)
        self.assertEqual(self.launch(arguments="exit3").exit_code, 3)
        self.assertEqual(self.launch().exit_code, 0)

    def test_arguments_class_path_and_heap_limit(self):
        arguments = 'plain "two words" "" "q\\"uote" a\\\\b "c\\\\\\"d" Grüße 日本 😀'
        expected = ["plain", "two words", "", 'q"uote', "a\\\\b", 'c\\"d', "Grüße", "日本", "😀"]
        run = self.launch(arguments=arguments, env={"VELTRANA_TRACE": ROOT + "\\trace.txt"})
        self.assertEqual(run.exit_code, 0)
        out = self.read(ROOT + "\\trace.txt").decode("latin-1")
        units = [" ".join(f"{int.from_bytes(a.encode('utf-16-be')[i:i + 2], 'big'):x}"
                          for i in range(0, len(a.encode("utf-16-be")), 2)) for a in expected]
        self.assertEqual([u.strip() for u in said(out, "arg")] + said(out, "args"),
                         units + [str(len(expected))])
        self.assertEqual(said(out, "max"), [str(512 * 1024 * 1024)])
        option = [l for l in out.splitlines() if "VM option 1: -Djava.class.path=" in l][0]
        self.assertEqual(said(out, "cp"), [option.split("-Djava.class.path=", 1)[1]])
        for stage in range(1, 11):
            self.assertIn(f"stage {stage} ended", out)

    def test_class_from_deep_lib_archive_runs_on_either_runtime(self):
        # The maker's key's private runtime; the vendor's, with no private one.
        home = ROOT + "\\rt\\" + JRE
        layouts = [("private", None, "the private runtime in the folder the maker's key names"),
                   ("vendor", {"JavaHome": home, "RuntimeLib": home + "\\bin\\client\\jvm.dll"},
                    "the Java vendor's key")]
        for name, vendor, chosen in layouts:
            with self.subTest(name):
                if vendor is not None:
                    self.set_registry(vendor=("1.6", vendor))
                trace_file = ROOT + "\\trace-" + name + ".txt"
                self.assertEqual(self.launch(arguments="lib", env={"VELTRANA_TRACE": trace_file})
                                 .exit_code, 0)
                trace = self.read(trace_file).decode("latin-1")
                self.assertIn("runtime chosen: " + chosen, trace)
                self.assertIn("deep class ran", trace)


if __name__ == "__main__":
    load_config()
    AVIAN = avian_folder()
    if AVIAN is None:
        print("SKIP: no ../shared/avian-win32 beside the source tree; the real-VM tests need it")
        sys.exit(SKIP)
    JAR = build_archive(AVIAN, "com/kvn/vt/Veltrana.java", "Veltrana.jar")
    DEEP = build_archive(AVIAN, "deep/Deep.java", "deep.jar")
    run_tests()
