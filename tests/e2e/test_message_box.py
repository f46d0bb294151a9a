"""The fatal-error message box on Linux: a real zenity dialog on a virtual X display.

Needs Xvfb, zenity and xdotool (./scripts/install-deps installs them); a
missing one fails the test rather than skipping it.
"""

import os
import shutil
import subprocess
import time
import unittest

from launcher_env import Installation, stop

CAPTION = "Veltrana.exe"
MESSAGE = "Fatal Error Launching: Can't locate JRE[Java Runtime Environment]"


def start_virtual_display(test):
    """Starts Xvfb on a free display number; returns the DISPLAY value."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
        pass_fds=(write_end,),
        stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL,
    )
    os.close(write_end)

    def shut_down():
        server.terminate()
        server.wait(timeout=10)

    test.addCleanup(shut_down)
    # Xvfb writes the display number once it accepts connections.
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    test.assertTrue(number.strip().isdigit(), "Xvfb did not start")
    return ":" + number.decode().strip()


class MessageBoxTest(unittest.TestCase):
    def setUp(self):
        for tool in ("Xvfb", "zenity", "xdotool"):
            self.assertIsNotNone(shutil.which(tool), f"{tool} missing: run ./scripts/install-deps")
        self.inst = Installation()
        self.addCleanup(self.inst.cleanup)
        self.display = start_virtual_display(self)

    def xdotool(self, *args, timeout=20):
        return subprocess.run(
            ["xdotool", *args],
            env={"DISPLAY": self.display, "PATH": os.environ.get("PATH", "/usr/bin:/bin")},
            capture_output=True,
            text=True,
            timeout=timeout,
        )

    def test_fatal_error_waits_for_the_dialog_to_be_dismissed(self):
        inst = self.inst
        # No runtime anywhere; zenity stays reachable on PATH.
        del inst.env["JAVA_HOME"]
        no_java = inst.path("bin")
        os.makedirs(no_java)
        os.symlink(shutil.which("zenity"), os.path.join(no_java, "zenity"))
        inst.env["PATH"] = no_java
        inst.env["DISPLAY"] = self.display

        launcher = inst.start()
        self.addCleanup(stop, launcher)

        found = self.xdotool("search", "--sync", "--onlyvisible", "--name", f"^{CAPTION}$")
        self.assertEqual(found.returncode, 0, f"no dialog titled {CAPTION}: {found.stderr}")
        window = found.stdout.split()[-1]
        self.assertEqual(self.xdotool("getwindowname", window).stdout.strip(), CAPTION)

        # The dialog is up and the launcher waits for it.
        time.sleep(0.5)
        self.assertIsNone(launcher.poll(), "the launcher ended while its dialog was showing")
        self.assertEqual(inst.session_log_texts(), [MESSAGE])  # logged before the box is shown

        # Press Return, as a user would, to dismiss it.
        for _ in range(5):
            self.xdotool("windowfocus", "--sync", window)
            self.xdotool("key", "Return")
            try:
                launcher.wait(timeout=3)
                break
            except subprocess.TimeoutExpired:
                continue
        out, err = launcher.communicate(timeout=10)
        self.assertEqual(launcher.returncode, 1)
        self.assertIn(f"{CAPTION}: {MESSAGE}\n", err.decode(errors="replace"))
        self.assertEqual(out, b"")


if __name__ == "__main__":
    unittest.main()
