"""The shipped file: signed with a throwaway certificate it verifies and
still runs; the release archive; the message box drawn on a real (virtual)
display with the manifest's themed controls in place."""

import os
import re
import shutil
import subprocess
import tempfile
import zipfile

from wine_harness import (WineTestCase, load_config, run_tests, start_virtual_display,
                          stop_wineserver)


def run(*command, timeout=300, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=timeout, **kwargs)


def environment(**variables):
    """This process's environment without any signing certificate, plus variables."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("VELTRANA_SIGN_")}
    return dict(env, **variables)


class Shipping(WineTestCase):
    def test_signed_with_a_throwaway_certificate_verifies_and_runs(self):
        config = load_config()
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder)
        key, cert, pfx, exe = (os.path.join(folder, name)
                               for name in ("key.pem", "cert.pem", "cert.pfx", "Veltrana.exe"))
        for command in (["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                         "/CN=Veltrana test signing", "-keyout", key, "-out", cert],
                        ["pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
                         "-passout", "pass:throwaway"]):
            self.assertEqual(run("openssl", *command).returncode, 0)
        shutil.copyfile(config["launcher"], exe)
        signing = run(config["cmake"], "-DVELTRANA_EXE=" + exe, "-P", config["sign_script"],
                      env=environment(VELTRANA_SIGN_PFX=pfx, VELTRANA_SIGN_PASSWORD="throwaway"))
        self.assertEqual(signing.returncode, 0, signing.stderr)
        verify = run(config["osslsigncode"], "verify", "-CAfile", cert, "-in", exe)
        self.assertEqual(verify.returncode, 0, verify.stdout + verify.stderr)
        # What a rebuild is compared with: the signed file without its signature.
        unsigned = os.path.join(folder, "unsigned.exe")
        removal = run(config["osslsigncode"], "remove-signature", "-in", exe, "-out", unsigned)
        self.assertEqual(removal.returncode, 0, removal.stdout + removal.stderr)
        with open(unsigned, "rb") as f, open(config["launcher"], "rb") as launcher:
            self.assertEqual(f.read(), launcher.read())

        self.install(launcher=exe)
        self.private_runtime()
        self.assertCompleteRun(self.launch())

    def test_release_archive_without_a_certificate(self):
        config = load_config()
        build = run(config["cmake"], "--build", config["build"], "--target", "release",
                    env=environment())
        self.assertEqual(build.returncode, 0, build.stdout + build.stderr)
        self.assertIn("NOTHING WAS SIGNED: VELTRANA_SIGN_PFX is not set", build.stdout)
        top = f"Veltrana-{config['version']}-win32/"
        self.assertEqual(os.path.basename(config["release_zip"]), top[:-1] + ".zip")
        self.assertEqual(os.path.basename(config["symbols_zip"]), top[:-1] + "-symbols.zip")
        with zipfile.ZipFile(config["release_zip"]) as archive, \
                open(config["launcher"], "rb") as launcher:
            self.assertEqual(sorted(n for n in archive.namelist() if n != top),
                             [top + "README.txt", top + "Veltrana.exe"])  # no debug file for users
            self.assertEqual(archive.read(top + "Veltrana.exe"), launcher.read())  # unsigned
            text = archive.read(top + "README.txt").decode("ascii")
        with zipfile.ZipFile(config["symbols_zip"]) as archive, \
                open(config["launcher"] + ".debug", "rb") as debug:
            self.assertEqual(archive.namelist(), [top + "Veltrana.exe.debug"])
            self.assertEqual(archive.read(top + "Veltrana.exe.debug"), debug.read())
        sums = run("sha256sum", "--check", "--strict", config["release_sums"], cwd=config["build"])
        self.assertEqual(sums.stdout.count(": OK\n"), 2, sums.stdout + sums.stderr)
        for needed in ("set VELTRANA_TRACE=1", "Logs\\Veltrana Launch Trace.txt",
                       "VELTRANA_ICON", "VELTRANA_VERSION", "VELTRANA_SIGN_PFX", "\r\n"):
            self.assertIn(needed, text)

    def test_message_box_is_shown_on_a_display_until_dismissed(self):
        display = start_virtual_display(self)
        # A fresh wineserver, so Wine's desktop process opens on this display.
        stop_wineserver()
        self.addCleanup(stop_wineserver)
        self.install()
        launch = self.start(display=display, channels=",+actctx")
        env = {"DISPLAY": display, "PATH": os.environ.get("PATH", "/usr/bin:/bin")}
        found = run("xdotool", "search", "--sync", "--onlyvisible", "--name", r"^Veltrana\.exe$",
                    env=env, timeout=120)
        self.assertEqual(found.returncode, 0, f"no window titled Veltrana.exe: {found.stderr}")
        self.assertTrue(launch.running(), "the launcher ended while its box was showing")
        window = found.stdout.split()[-1]
        for _ in range(10):  # press Return, as a user would, until the box goes
            run("xdotool", "windowactivate", "--sync", window, env=env)
            run("xdotool", "key", "--window", window, "Return", env=env)
            try:
                launch.process.wait(timeout=5)
                break
            except subprocess.TimeoutExpired:
                continue
        result = launch.wait()
        self.assertFatal(result, "Can't locate JRE[Java Runtime Environment]")
        # The loader took the manifest and bound the themed Common Controls.
        with open(launch.trace_path, encoding="latin-1") as f:
            bound = re.search(f"(?m)^{result.pid:04x}:[0-9a-f]+:trace:actctx:parse_dependent_assembly"
                              r'_elem adding name=L"Microsoft\.Windows\.Common-Controls" '
                              r"version=6\.0\.0\.0", f.read())
        self.assertIsNotNone(bound, "the launcher's manifest was not taken")


if __name__ == "__main__":
    run_tests()
