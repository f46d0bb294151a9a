"""The shipped file: signed with a throwaway certificate it verifies and
still runs; the release archive; the message box drawn on a real (virtual)
display with the manifest's themed controls in place."""

import os
import shutil
import subprocess
import tempfile
import zipfile

from wine_harness import WineTestCase, load_config, run_tests, stop_wineserver

NO_RUNTIME = "Can't locate JRE[Java Runtime Environment]"


def run(*command, timeout=300, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=timeout, **kwargs)


def environment_without_certificate():
    return {k: v for k, v in os.environ.items() if not k.startswith("VELTRANA_SIGN_")}


class Shipping(WineTestCase):
    def setUp(self):
        super().setUp()
        self.folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.folder)

    def path(self, name):
        return os.path.join(self.folder, name)

    def test_signed_with_a_throwaway_certificate_verifies_and_runs(self):
        subj = "/CN=Veltrana test signing/O=Orrindale"
        for command in (["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                         "-subj", subj, "-keyout", self.path("key.pem"), "-out",
                         self.path("cert.pem")],
                        ["pkcs12", "-export", "-inkey", self.path("key.pem"), "-in",
                         self.path("cert.pem"), "-out", self.path("cert.pfx"),
                         "-passout", "pass:throwaway"]):
            self.assertEqual(run("openssl", *command).returncode, 0)
        exe = self.path("Veltrana.exe")
        shutil.copyfile(load_config()["launcher"], exe)
        env = dict(environment_without_certificate(), VELTRANA_SIGN_PFX=self.path("cert.pfx"),
                   VELTRANA_SIGN_PASSWORD="throwaway")
        signing = run(load_config()["cmake"], "-DVELTRANA_EXE=" + exe,
                      "-DOSSLSIGNCODE=" + load_config()["osslsigncode"],
                      "-P", load_config()["sign_script"], env=env)
        self.assertEqual(signing.returncode, 0, signing.stderr)
        verify = run(load_config()["osslsigncode"], "verify", "-CAfile", self.path("cert.pem"),
                     "-in", exe)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
        self.assertIn("Signature verification: ok", verify.stdout)

        self.install(launcher=exe)
        self.private_runtime()
        self.assertCompleteRun(self.launch())

    def test_release_archive_without_a_certificate(self):
        config = load_config()
        build = run(config["cmake"], "--build", config["build"], "--target", "release",
                    env=environment_without_certificate())
        self.assertEqual(build.returncode, 0, build.stdout + build.stderr)
        self.assertIn("NOTHING WAS SIGNED: VELTRANA_SIGN_PFX is not set", build.stdout)
        top = f"Veltrana-{config['version']}-win32/"
        self.assertEqual(os.path.basename(config["release_zip"]), top[:-1] + ".zip")
        with zipfile.ZipFile(config["release_zip"]) as archive:
            self.assertEqual(sorted(n for n in archive.namelist() if not n.endswith("/")),
                             [top + "README.txt", top + "Veltrana.exe", top + "Veltrana.exe.debug"])
            with open(config["launcher"], "rb") as f:
                self.assertEqual(archive.read(top + "Veltrana.exe"), f.read())
            text = archive.read(top + "README.txt").decode("ascii")
        for needed in ("set VELTRANA_TRACE=1", "Logs\\Veltrana Launch Trace.txt",
                       "VELTRANA_ICON", "VELTRANA_VERSION", "VELTRANA_SIGN_PFX", "\r\n"):
            self.assertIn(needed, text)

    def test_message_box_is_shown_on_a_display_until_dismissed(self):
        display = self.virtual_display()
        # A fresh wineserver, so Wine's desktop process opens on this display.
        stop_wineserver()
        self.addCleanup(stop_wineserver)
        self.install()
        launch = self.start(display=display)
        xdotool = ["xdotool"]
        env = {"DISPLAY": display, "PATH": os.environ.get("PATH", "/usr/bin:/bin")}
        found = run(*xdotool, "search", "--sync", "--onlyvisible", "--name", "^Veltrana.exe$",
                    env=env, timeout=120)
        self.assertEqual(found.returncode, 0, f"no window titled Veltrana.exe: {found.stderr}")
        self.assertTrue(launch.running(), "the launcher ended while its box was showing")
        window = found.stdout.split()[-1]
        for _ in range(10):
            run(*xdotool, "windowactivate", "--sync", window, env=env)
            run(*xdotool, "key", "--window", window, "Return", env=env)
            try:
                launch.process.wait(timeout=5)
                break
            except subprocess.TimeoutExpired:
                continue
        self.assertFatal(launch.wait(), NO_RUNTIME)

    def virtual_display(self):
        """Starts Xvfb on a free display number; returns the DISPLAY value."""
        read_end, write_end = os.pipe()
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                   "1024x768x24", "-nolisten", "tcp"], pass_fds=(write_end,),
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        self.addCleanup(server.wait, 10)
        self.addCleanup(server.terminate)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        self.assertTrue(number.strip().isdigit(), "Xvfb did not start")
        return ":" + number.decode().strip()


if __name__ == "__main__":
    run_tests()
