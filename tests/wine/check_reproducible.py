"""Two builds of the release from copies of one source, in folders of
different names, seconds apart, give the same bytes: the executable, its
debug file, both archives and SHA256SUMS. No Wine needed; the compiler runs
in full both times (no ccache)."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from wine_harness import load_config


def copy_source(source, to):
    """The source as a fresh clone with the working tree's changes would
    hold it: the files git knows or would add, without build folders."""
    listing = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                             cwd=source, capture_output=True)
    if listing.returncode != 0:
        shutil.copytree(source, to, ignore=shutil.ignore_patterns("build*", ".git"))
        return
    for name in filter(None, listing.stdout.decode().split("\0")):
        if os.path.isfile(os.path.join(source, name)):
            os.makedirs(os.path.dirname(os.path.join(to, name)), exist_ok=True)
            shutil.copy2(os.path.join(source, name), os.path.join(to, name))


def build_release(cmake, source, folder, epoch):
    env = {k: v for k, v in os.environ.items()
           if not k.startswith(("VELTRANA_SIGN_", "CCACHE_")) and not k.endswith("_LAUNCHER")}
    env.update(CCACHE_DISABLE="1", SOURCE_DATE_EPOCH=epoch)
    for command in ([cmake, "--preset", "win32", "-B", folder],
                    [cmake, "--build", folder, "--target", "release", "--parallel", "2"]):
        done = subprocess.run(command, cwd=source, env=env, capture_output=True, text=True)
        if done.returncode != 0:
            raise AssertionError(f"{' '.join(command)} failed:\n{done.stdout}{done.stderr}")


class Reproducible(unittest.TestCase):
    def test_two_builds_in_other_folders_at_other_times_are_identical(self):
        config = load_config()
        root = tempfile.mkdtemp(prefix="veltrana-rebuild-")
        self.addCleanup(shutil.rmtree, root)
        # The preset's own build folder inside one copy; in the other, a
        # folder of another name and depth outside it.
        builds = []
        for source, folder in (("one", "one/build/win32"), ("second-clone", "elsewhere/out")):
            if builds:
                time.sleep(2)
            copy_source(config["source"], os.path.join(root, source))
            build_release(config["cmake"], os.path.join(root, source), os.path.join(root, folder),
                          config["source_date_epoch"])
            builds.append(os.path.join(root, folder))
        version = config["version"]
        for name in ("Veltrana.exe", "Veltrana.exe.debug", f"Veltrana-{version}-win32.zip",
                     f"Veltrana-{version}-win32-symbols.zip", "SHA256SUMS"):
            with self.subTest(name):
                first, second = (open(os.path.join(b, name), "rb").read() for b in builds)
                self.assertFalse(root.encode() in first + second, f"{name} names its build folder")
                differs = next((i for i, (a, b) in enumerate(zip(first, second)) if a != b), None)
                self.assertEqual((len(first), differs), (len(second), None),
                                 f"{name}: sizes, and the first offset that differs")


if __name__ == "__main__":
    load_config()
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:])
