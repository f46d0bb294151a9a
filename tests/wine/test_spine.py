"""The whole launch: a good layout runs to the end; a fatal failure is
logged, shown and ends the process with code 1."""

from wine_harness import PROFILE, ROOT, WineTestCase, log_entry_pattern, run_tests

NO_RUNTIME = "Can't locate JRE[Java Runtime Environment]"


class Spine(WineTestCase):
    def test_good_layout_runs_to_the_end_silently(self):
        self.install()
        self.private_runtime()
        run = self.launch()
        self.assertCompleteRun(run)
        self.assertEqual(run.keys()[:4], ["loaded", "loaded", "create", "option"])
        self.assertEqual(run.strings_passed_to("CreateMutexA"), [["Veltrana.jar"]])
        self.assertIsNone(self.session_log())

    def test_executable_path_that_fills_the_first_request(self):
        # 259 characters: the whole classic buffer. The path is still taken
        # whole, and no error box is shown for it.
        base = ROOT + "\\" + "L" * 120 + "\\"
        folder = base + "M" * (259 - len(base) - len("\\Veltrana.exe"))
        self.install(folder)
        self.private_runtime()
        run = self.launch(folder=folder)
        self.assertCompleteRun(run)
        self.assertTrue(run.options()[0].startswith(f"-Djava.class.path={folder}\\Veltrana.jar;"))

    def test_missing_runtime_is_logged_shown_and_ends_with_1(self):
        self.install()
        run = self.launch()
        self.assertFatal(run, NO_RUNTIME)
        self.assertEqual(run.report, [])

    def test_entries_are_appended_to_an_existing_log(self):
        self.install()
        earlier = b"earlier entry\r\n"
        self.write(PROFILE + "\\Logs\\Veltrana Session Log.txt", earlier)
        self.assertFatal(self.launch(), NO_RUNTIME, earlier_log=earlier)
        first = self.session_log()
        self.assertFatal(self.launch(), NO_RUNTIME, earlier_log=first)

    def test_log_goes_to_the_profile_of_the_run(self):
        self.install()
        profile = PROFILE + " two"
        self.write(profile + "\\desktop.ini")
        run = self.launch(env={"USERPROFILE": profile})
        self.assertEqual(run.exit_code, 1)
        self.assertIsNone(self.session_log())
        self.assertRegex(self.session_log(profile), b"^" + log_entry_pattern(NO_RUNTIME, True))


if __name__ == "__main__":
    run_tests()
