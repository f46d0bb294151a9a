"""Two builds of the release from copies of the source (as git lists it) in
folders of other names, seconds apart and without ccache, give the same
bytes. No Wine needed."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from wine_harness import load_config


class Reproducible(unittest.TestCase):
    def test_two_builds_in_other_folders_at_other_times_are_identical(self):
        config = load_config()
        root = tempfile.mkdtemp(prefix="veltrana-rebuild-")
        self.addCleanup(shutil.rmtree, root)
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("VELTRANA_SIGN_", "CCACHE_")) and not k.endswith("_LAUNCHER")}
        env.update(CCACHE_DISABLE="1", SOURCE_DATE_EPOCH=config["source_date_epoch"])
        listing = subprocess.run(["git", "ls-files", "-z", "--cached", "--others",
                                  "--exclude-standard"], cwd=config["source"], capture_output=True,
                                 check=True).stdout
        files = [n for n in listing.decode().split("\0")[:-1]
                 if os.path.isfile(os.path.join(config["source"], n))]
        # The preset's build folder in one copy; another name and depth outside the other.
        builds = [os.path.join(root, "one/build/win32"), os.path.join(root, "elsewhere/out")]
        for source, build in zip(("one", "second-clone"), builds):
            time.sleep(2)
            for name in files:
                os.makedirs(os.path.dirname(os.path.join(root, source, name)), exist_ok=True)
                shutil.copy2(os.path.join(config["source"], name), os.path.join(root, source, name))
            for command in (["--preset", "win32", "-B", build],
                            ["--build", build, "--target", "release", "--parallel", "2"]):
                done = subprocess.run([config["cmake"]] + command, cwd=os.path.join(root, source),
                                      env=env, capture_output=True, text=True)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        version = config["version"]
        for name in ("Veltrana.exe", "Veltrana.exe.debug", f"Veltrana-{version}-win32.zip",
                     f"Veltrana-{version}-win32-symbols.zip", "SHA256SUMS"):
            with self.subTest(name):
                first, second = (open(os.path.join(b, name), "rb").read() for b in builds)
                differs = next((i for i, (a, b) in enumerate(zip(first, second)) if a != b), None)
                self.assertEqual((len(first), differs), (len(second), None), "size, first change")


if __name__ == "__main__":
    load_config()
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:])
