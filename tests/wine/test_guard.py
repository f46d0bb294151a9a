"""The single-instance guard: a launch while an earlier one holds the name
ends at once, silently."""

from wine_harness import ROOT, TEMP, WineTestCase, run_tests

POLICY = TEMP + "\\Veltrana.exe.policy"


class GuardTestCase(WineTestCase):
    def setUp(self):
        super().setUp()
        self.install()
        self.private_runtime()

    def assertRefused(self, second):
        """Exit code 1 with nothing written and nothing shown."""
        self.assertEqual(second.exit_code, 1)
        self.assertEqual(second.report, [])
        self.assertEqual(second.strings_passed_to("CreateMutexA"), [["Veltrana.jar"]])
        self.assertEqual(second.strings_passed_to("MessageBoxA"), [])
        self.assertEqual(second.strings_passed_to("LoadLibraryA"), [])
        self.assertIsNone(self.session_log())


class Guard(GuardTestCase):
    def test_second_launch_during_the_first_is_refused(self):
        first = self.start(wait_ms=12000)
        first.wait_for_report("main-start")
        # A rewrite of the policy file by the second launch would show.
        self.write(POLICY, b"left by the test")
        second = self.launch()
        self.assertTrue(first.running(), "the first launch ended before the second one")
        self.assertRefused(second)
        self.assertEqual(self.read(POLICY), b"left by the test")
        self.assertCompleteRun(first.wait())

    def test_fatal_launch_gives_the_name_up_with_its_process(self):
        self.set_registry()
        self.assertEqual(self.launch().exit_code, 1)
        self.set_registry(maker_java_home=ROOT + "\\rt")
        self.assertCompleteRun(self.launch())


if __name__ == "__main__":
    run_tests()
