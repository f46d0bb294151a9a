"""The guard gives the name up after 30 seconds, while the first launch is
still running. Takes about 50 seconds."""

import time

from test_guard import GuardTestCase
from wine_harness import run_tests

GUARD_SECONDS = 30


class GuardRelease(GuardTestCase):
    def test_launch_after_the_guard_time_proceeds(self):
        # The name was taken before main started; the margin after the
        # guard time leaves the second launch time to finish while the
        # first is still in main.
        first = self.start(wait_ms=45000)
        first.wait_for_report("main-start")
        time.sleep(GUARD_SECONDS + 1)
        second = self.launch()
        self.assertTrue(first.running(), "the first launch ended before the second one")
        self.assertCompleteRun(second)
        self.assertCompleteRun(first.wait())


if __name__ == "__main__":
    run_tests()
