"""Which Java runtime the launcher picks, in which order it loads the
runtime's libraries, and how a runtime that cannot be used is reported."""

import os
import shutil

from wine_harness import (JRE, MAKER_KEY, PROFILE, ROOT, VENDOR_KEY, ExpandableText,
                          WineTestCase, host_path, log_entry_pattern, run_tests)

APPS = ROOT + "\\Apps"
VENDOR_HOME = ROOT + "\\Vendor Jre6"
VENDOR_VM = VENDOR_HOME + "\\bin\\client\\jvm.dll"


def vendor_keys(home=VENDOR_HOME, vm=VENDOR_VM, version="1.6"):
    return (version, {"JavaHome": home, "RuntimeLib": vm})


class PrivateRuntime(WineTestCase):
    def setUp(self):
        super().setUp()
        self.install()

    def test_maker_key_names_the_runtime_and_vendor_keys_stay_closed(self):
        home = self.runtime(ROOT + "\\rt\\" + JRE)
        self.runtime(VENDOR_HOME)
        self.set_registry(maker_java_home=ROOT + "\\rt", vendor=vendor_keys())
        run = self.launch()
        self.assertCompleteRun(run)
        # The support library first, then the VM library, both by full path.
        self.assertEqual(self.loaded_libraries(run),
                         [home + "\\bin\\msvcr71.dll", home + "\\bin\\client\\jvm.dll"])
        self.assertEqual(run.values("loaded"),
                         [home + "\\bin\\msvcr71.dll", home + "\\bin\\client\\jvm.dll"])
        self.assertNotIn(VENDOR_KEY, " ".join(self.opened_keys(run)))
        self.assertIn(";" + home + ";", run.options()[0])

    def test_expandable_java_home_is_expanded_before_use(self):
        home = self.runtime(ROOT + "\\rt\\" + JRE)
        self.set_registry(maker_java_home=ExpandableText("%VT_BASE%\\rt"))
        run = self.launch(env={"VT_BASE": ROOT})
        self.assertCompleteRun(run)
        self.assertEqual(self.loaded_libraries(run),
                         [home + "\\bin\\msvcr71.dll", home + "\\bin\\client\\jvm.dll"])

    def test_missing_java_home_falls_back_to_java_beside_the_install_folder(self):
        home = self.runtime(APPS + "\\Java\\" + JRE)
        self.set_registry(maker_java_home=ROOT + "\\nowhere")
        run = self.launch()
        self.assertCompleteRun(run)
        self.assertEqual(self.loaded_libraries(run)[-1], home + "\\bin\\client\\jvm.dll")

    def test_runtime_without_support_library_loads_only_the_vm(self):
        home = self.runtime(ROOT + "\\rt\\" + JRE, support=None)
        self.set_registry(maker_java_home=ROOT + "\\rt")
        run = self.launch()
        self.assertCompleteRun(run)
        self.assertEqual(self.loaded_libraries(run), [home + "\\bin\\client\\jvm.dll"])
        self.assertIsNone(self.session_log())


class VendorRuntime(WineTestCase):
    def setUp(self):
        super().setUp()
        self.install()
        self.runtime(VENDOR_HOME)

    def assertVendorRuntimeUsed(self, run):
        self.assertCompleteRun(run)
        self.assertEqual(self.loaded_libraries(run),
                         [VENDOR_HOME + "\\bin\\msvcr71.dll", VENDOR_VM])
        self.assertEqual(self.opened_keys(run)[-3:-1], [VENDOR_KEY, VENDOR_KEY + "\\1.6"])
        self.assertIn(";" + VENDOR_HOME + ";", run.options()[0])

    def test_without_maker_key_the_vendor_runtime_wins_over_a_java_folder(self):
        self.runtime(APPS + "\\Java\\" + JRE)
        self.set_registry(vendor=vendor_keys())
        run = self.launch()
        self.assertVendorRuntimeUsed(run)
        self.assertEqual(self.opened_keys(run)[0], MAKER_KEY)

    def test_libraries_planted_at_the_drive_root_are_never_loaded(self):
        # An empty JAVA_HOME and a vendor runtime without JavaHome: neither
        # may be taken for the root of the current drive.
        for folder in ("C:\\" + JRE, "C:\\bin"):
            self.addCleanup(shutil.rmtree, host_path(folder), ignore_errors=True)
        self.copy("stub_msvcr71", "C:\\" + JRE + "\\bin\\msvcr71.dll")
        self.copy("stub_jvm", "C:\\" + JRE + "\\bin\\client\\jvm.dll")
        self.copy("stub_msvcr71", "C:\\bin\\msvcr71.dll")
        self.set_registry(maker_java_home="", vendor=("1.6", {"RuntimeLib": VENDOR_VM}))
        run = self.launch()
        self.assertCompleteRun(run)
        self.assertEqual(self.loaded_libraries(run), [VENDOR_VM])
        self.assertEqual(run.values("loaded"), [VENDOR_VM])

    def test_private_folder_without_vm_library_leads_to_the_vendor_runtime(self):
        self.runtime(ROOT + "\\rt\\" + JRE, vm=None)
        self.set_registry(maker_java_home=ROOT + "\\rt", vendor=vendor_keys())
        self.assertVendorRuntimeUsed(self.launch())


class UnusableRuntime(WineTestCase):
    def setUp(self):
        super().setUp()
        self.install()

    def test_fatal_reports(self):
        cases = [
            ("no vendor key", None, "Can't locate JRE[Java Runtime Environment]"),
            ("no version subkey", ("1.6", None), "Can't locate JRE[CurrentVersion]"),
            # The vendor's key itself, which an empty version would name.
            ("empty CurrentVersion", vendor_keys(version=""), "Can't locate JRE[CurrentVersion]"),
            ("missing VM library", vendor_keys(vm=ROOT + "\\missing\\jvm.dll"),
             "Error loading JVM"),
        ]
        for name, vendor, message in cases:
            with self.subTest(name):
                self.setUp()
                self.set_registry(maker_java_home=ROOT + "\\rt", vendor=vendor)
                run = self.launch()
                self.assertFatal(run, message)
                self.assertEqual(run.report, [])

    def test_vm_library_imports_come_from_its_own_folder_never_the_start_folder(self):
        home = self.runtime(ROOT + "\\rt\\" + JRE, vm="stub_jvm_dep")
        self.set_registry(maker_java_home=ROOT + "\\rt")
        genuine, start = home + "\\bin\\client\\vtdep.dll", ROOT + "\\Downloads"
        self.copy("stub_vtdep", genuine)
        self.copy("stub_vtdep", start + "\\vtdep.dll")
        run = self.launch(directory=start)
        self.assertCompleteRun(run)
        self.assertEqual([line for line in run.report if "vtdep" in line], ["loaded=" + genuine])
        # Found only in the start folder, the import is found nowhere.
        os.remove(host_path(genuine))
        run = self.launch(directory=start)
        self.assertFatal(run, "Error loading JVM")
        self.assertEqual([line for line in run.report if "vtdep" in line], [])

    def test_library_without_entry_point_is_no_vm(self):
        self.runtime(VENDOR_HOME, vm="stub_nojni", support=None)
        self.set_registry(vendor=vendor_keys())
        run = self.launch()
        self.assertFatal(run, "Error loading JVM")
        self.assertEqual(run.report, ["loaded=" + VENDOR_VM])

    def test_support_library_that_fails_to_load_is_logged_and_the_launch_goes_on(self):
        home = self.runtime(ROOT + "\\rt\\" + JRE, support=b"not a library")
        self.set_registry(maker_java_home=ROOT + "\\rt")
        run = self.launch()
        self.assertCompleteRun(run)
        self.assertEqual(self.loaded_libraries(run),
                         [home + "\\bin\\msvcr71.dll", home + "\\bin\\client\\jvm.dll"])
        self.assertRegex(self.session_log(),
                         b"^" + log_entry_pattern("Error loading msvcr71.dll", False) + b"$")

    def test_vm_library_for_another_machine_is_explained_in_the_trace(self):
        # The stand-in VM marked as an x86-64 image: the loader refuses it.
        self.runtime(VENDOR_HOME, support=None)
        vm = bytearray(self.read(VENDOR_VM))
        header = int.from_bytes(vm[0x3C:0x40], "little")
        vm[header + 4:header + 6] = (0x8664).to_bytes(2, "little")
        self.write(VENDOR_VM, bytes(vm))
        self.set_registry(vendor=vendor_keys())
        run = self.launch(env={"VELTRANA_TRACE": "1"})
        self.assertFatal(run, "Error loading JVM")
        trace = self.read(PROFILE + "\\Logs\\Veltrana Launch Trace.txt").decode("latin-1")
        self.assertIn("library not loaded: " + VENDOR_VM + ": error 193: ", trace)
        self.assertIn("hint: this runtime is not a 32-bit one", trace)
        self.assertIn("Fatal Error Launching: Error loading JVM", trace)
        # The system's text has no "%1" left in it.
        self.assertNotIn("%1", trace)

        # An empty file is no image for another machine: no hint.
        self.write(VENDOR_VM, b"")
        earlier = self.session_log()
        run = self.launch(env={"VELTRANA_TRACE": ROOT + "\\empty-vm-trace.txt"})
        self.assertFatal(run, "Error loading JVM", earlier_log=earlier)
        trace = self.read(ROOT + "\\empty-vm-trace.txt").decode("latin-1")
        self.assertIn("library not loaded: " + VENDOR_VM + ": error ", trace)
        self.assertNotIn("hint:", trace)


if __name__ == "__main__":
    run_tests()
