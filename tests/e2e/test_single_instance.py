"""Only one launch at a time: a second one within 30 seconds gives up silently."""

import os
import subprocess
import time
import unittest

from launcher_env import Installation, read_line_starting, stop

GUARD_SECONDS = 30


def snapshot(folder):
    """Every file below folder with its size and modification time."""
    files = {}
    for parent, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(parent, name)
            info = os.lstat(path)
            files[path] = (info.st_size, info.st_mtime_ns)
    return files


class SingleInstanceTest(unittest.TestCase):
    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)

    def start_first(self, wait_seconds):
        first = self.inst.start(f"--wait={wait_seconds}")
        self.addCleanup(stop, first)
        # Once main runs, the first launch is long past its guard.
        read_line_starting(first.stdout, b"status=waiting")
        return first

    def test_second_launch_while_the_first_runs_is_refused(self):
        first = self.start_first(wait_seconds=6)
        before = snapshot(self.inst.root)

        second = self.inst.run("second", timeout=20)
        self.assertEqual(second.returncode, 1, second.describe())
        self.assertEqual(second.stdout, b"")
        self.assertEqual(second.stderr, "")
        self.assertEqual(snapshot(self.inst.root), before)  # no log, no policy file
        self.assertIsNone(first.poll(), "the first launch should still be running")

        out, err = first.communicate(timeout=60)
        self.assertEqual(first.returncode, 0, err.decode(errors="replace"))
        self.assertIn(b"status=done", out)

        # The name goes with the process that held it.
        third = self.inst.run("third")
        self.assertEqual(third.returncode, 0, third.describe())

    def test_closed_output_and_error_never_lead_into_the_launchers_files(self):
        # With descriptors 1 and 2 closed, the guard or the policy file would
        # be opened on one of them and take what the VM and the application
        # print.
        def close_output_and_error():
            os.close(1)
            os.close(2)

        completed = subprocess.run(self.inst._argv([]), env=self.inst.env, cwd=self.inst.root,
                                   stdin=subprocess.DEVNULL, preexec_fn=close_output_and_error,
                                   timeout=60)
        self.assertEqual(completed.returncode, 0)
        written = snapshot(self.inst.home) | snapshot(self.inst.tmp) | snapshot(
            self.inst.runtime_dir)
        self.assertIn(self.inst.policy_file, written)
        for path in written:
            with open(path, "rb") as file:
                self.assertNotIn(b"report=", file.read(), path)

    def test_guard_falls_back_to_the_temp_folder_when_the_runtime_folder_cannot_hold_it(self):
        # Something else in the lock file's place: the guard must still hold.
        os.makedirs(os.path.join(self.inst.env["XDG_RUNTIME_DIR"], "Veltrana.jar.lock"))
        first = self.start_first(wait_seconds=6)

        second = self.inst.run("second", timeout=20)
        self.assertEqual(second.returncode, 1, second.describe())
        self.assertEqual(second.stderr, "")
        out, err = first.communicate(timeout=60)
        self.assertEqual(first.returncode, 0, err.decode(errors="replace"))

    def test_guard_held_by_a_failed_launch_ends_with_it(self):
        # A fatal error ends the process within its 30 seconds; the next
        # launch must not be refused because of it.
        empty_bin = self.inst.path("empty-bin")
        os.makedirs(empty_bin)
        runtime = self.inst.env.pop("JAVA_HOME")
        path = self.inst.env["PATH"]
        self.inst.env["PATH"] = empty_bin
        self.assertEqual(self.inst.run().returncode, 1)

        self.inst.env["JAVA_HOME"] = runtime
        self.inst.env["PATH"] = path
        result = self.inst.run()
        self.assertEqual(result.returncode, 0, result.describe())


class GuardReleaseTest(unittest.TestCase):
    """Takes over 30 seconds: carries the CTest label "slow"."""

    def setUp(self):
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)

    def test_guard_is_released_after_30_seconds_while_the_first_still_runs(self):
        first = self.inst.start(f"--wait={GUARD_SECONDS + 15}")
        self.addCleanup(stop, first)
        started = time.monotonic()
        read_line_starting(first.stdout, b"status=waiting")

        time.sleep(max(0.0, GUARD_SECONDS + 3 - (time.monotonic() - started)))
        self.assertIsNone(first.poll(), "the first launch should still be running")
        second = self.inst.run("after the guard")
        self.assertEqual(second.returncode, 0, second.describe())
        self.assertEqual(second.text("arg.0"), "after the guard")


if __name__ == "__main__":
    unittest.main()
