"""A fresh, isolated installation of the Linux launcher for one test.

Each Installation lays out, under its own temporary folder:
  apps/Veltrana/       the install folder: a copy of the launcher binary, the
                       sample application's Veltrana.jar and its lib folder
  home/                HOME (the session log and the VM's current folder)
  tmp/                 TMPDIR (the launcher's private folder for the policy file)
  run/                 XDG_RUNTIME_DIR (the single-instance lock)
  Program Files/       ProgramFiles (the QuickTime folder is derived from it)

and runs the launcher there (in a network namespace of its own where one can
be had: the guard's socket is named per namespace) with an environment built
from scratch, so
nothing of the machine's own user leaks in: no DISPLAY (no dialogs), JAVA_HOME
pointing at the JDK the build used, and a registry file only when a test
writes one.

The build passes in, through the environment:
  VELTRANA_LAUNCHER    the launcher binary
  VELTRANA_SAMPLE_APP  the folder holding Veltrana.jar and lib/
  VELTRANA_JDK_HOME    the JDK 17 home
"""

import os
import re
import resource
import shutil
import signal
import subprocess
import tempfile
import zipfile


def _required_path(name):
    value = os.environ.get(name)
    if not value:
        raise RuntimeError(f"{name} is not set: run these tests through ctest")
    if not os.path.exists(value):
        raise RuntimeError(f"{name}={value} does not exist: build the project first")
    return value


def _jdk_major(home):
    with open(os.path.join(home, "release"), encoding="utf-8") as release:
        match = re.search(r'^JAVA_VERSION="(?:1\.)?(\d+)', release.read(), re.MULTILINE)
    return int(match.group(1)) if match else 0


LAUNCHER = _required_path("VELTRANA_LAUNCHER")
SAMPLE_APP = _required_path("VELTRANA_SAMPLE_APP")
JDK_HOME = os.path.realpath(_required_path("VELTRANA_JDK_HOME"))

# The application runs under the security manager; JDK 24 and later refuse
# to start with it, so a test run on such a JDK would only show that.
if not 8 <= _jdk_major(JDK_HOME) <= 23:
    raise RuntimeError(f"{JDK_HOME} is not a JDK that allows the security manager (use JDK 17)")

NSENTER = shutil.which("nsenter")
UNSHARE = shutil.which("unshare")

THROW_MESSAGE = "Veltrana sample application: --throw was given"
DEFAULT_PATH = "/usr/local/bin:/usr/bin:/bin"

# One session-log entry: a line of five number signs with asctime's text
# (which ends in its own line feed), the error text, a line of thirty.
LOG_ENTRY = re.compile(
    rb"\r\n##### (?P<time>[A-Z][a-z]{2} [A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d \d{4})\n"
    rb"\r\n(?P<text>[^\r\n]*)\r\n\r\n#{30}\r\n\r\n"
)


def unquote(value):
    """The text of a report value: "..." with \\\\, \\" and \\uXXXX escapes, or None for null."""
    if value == "null":
        return None
    if len(value) < 2 or value[0] != '"' or value[-1] != '"':
        raise ValueError(f"not a quoted report value: {value!r}")
    body = value[1:-1]
    text = []
    i = 0
    while i < len(body):
        if body[i] != "\\":
            text.append(body[i])
            i += 1
        elif body[i + 1] == "u":
            text.append(chr(int(body[i + 2 : i + 6], 16)))
            i += 6
        else:
            text.append(body[i + 1])
            i += 2
    return "".join(text)


def from_utf16_units(units):
    """The text of a report's "0047 0072 00fc" line of UTF-16 code units."""
    data = bytes.fromhex(units.replace(" ", ""))
    return data.decode("utf-16-be", errors="surrogatepass")


def parse_report(stdout):
    """The sample application's key=value lines (values as printed)."""
    report = {}
    for line in stdout.decode("utf-8").splitlines():
        key, sep, value = line.partition("=")
        if sep:
            report[key] = value
    return report


class Result:
    def __init__(self, returncode, stdout, stderr):
        self.returncode = returncode
        self.stdout = stdout
        self.stderr = stderr.decode("utf-8", errors="replace")
        self.report = parse_report(stdout)

    def text(self, key):
        """A quoted report value as text."""
        return unquote(self.report[key])

    def describe(self):
        return (
            f"exit code {self.returncode}\n--- stdout:\n"
            f"{self.stdout.decode('utf-8', errors='replace')}\n--- stderr:\n{self.stderr}"
        )


class Installation:
    def __init__(self, with_sample_app=True):
        self.root = os.path.realpath(tempfile.mkdtemp(prefix="veltrana-e2e-"))
        self.install_dir = os.path.join(self.root, "apps", "Veltrana")
        self.launcher = os.path.join(self.install_dir, "Veltrana")
        self.home = os.path.join(self.root, "home")
        self.tmp = os.path.join(self.root, "tmp")
        self.runtime_dir = os.path.join(self.root, "run")
        self.program_files = os.path.join(self.root, "Program Files")
        self.registry_file = os.path.join(self.root, "registry.reg")

        if with_sample_app:
            shutil.copytree(SAMPLE_APP, self.install_dir)
        else:
            os.makedirs(self.install_dir)
        # A copy, not a link: the launcher takes its install folder from the
        # real path of its own executable.
        shutil.copy2(LAUNCHER, self.launcher)
        for folder in (self.home, self.tmp, self.program_files):
            os.makedirs(folder)
        os.makedirs(self.runtime_dir, mode=0o700)

        # A namespace that lives as long as the file it is bound to.
        self.network = self.path("network")
        open(self.network, "w").close()
        unshare = [UNSHARE, "--net=" + self.network, "true"]
        if not (NSENTER and UNSHARE) or subprocess.run(unshare).returncode:
            self.network = None

        self.env = {
            "PATH": DEFAULT_PATH,
            "HOME": self.home,
            "TMPDIR": self.tmp,
            "XDG_RUNTIME_DIR": self.runtime_dir,
            "ProgramFiles": self.program_files,
            "JAVA_HOME": JDK_HOME,
            "LANG": "C.UTF-8",
        }

    def cleanup(self):
        if self.network:
            subprocess.run(["umount", self.network], capture_output=True)
        shutil.rmtree(self.root, ignore_errors=True)

    # --- Layout -----------------------------------------------------------

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def move_install_dir(self, *parts):
        """Moves the install folder (launcher included) to root/parts..."""
        target = os.path.join(self.root, *parts)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        os.rename(self.install_dir, target)
        self.install_dir = target
        self.launcher = os.path.join(target, "Veltrana")
        return target

    def write_registry(self, text):
        """Writes the registry stand-in file and points the launcher at it."""
        with open(self.registry_file, "w", encoding="utf-8") as registry:
            registry.write(text)
        self.env["VELTRANA_REGISTRY"] = self.registry_file

    def add_archive(self, relative_path, entries=None):
        """A real zip archive below the install folder."""
        path = os.path.join(self.install_dir, relative_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with zipfile.ZipFile(path, "w") as archive:
            for name, data in (entries or {"placeholder.txt": "placeholder\n"}).items():
                archive.writestr(name, data)
        return path

    def add_file(self, relative_path, text="not an archive\n"):
        path = os.path.join(self.install_dir, relative_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as file:
            file.write(text)
        return path

    @property
    def private_temp(self):
        return os.path.join(self.tmp, f"veltrana-{os.getuid()}")

    @property
    def policy_file(self):
        return os.path.join(self.private_temp, "Veltrana.exe.policy")

    @property
    def quicktime_dir(self):
        return self.program_files + "/QuickTime/QTSystem/"

    @property
    def session_log(self):
        return os.path.join(self.home, "Logs", "Veltrana Session Log.txt")

    def session_log_bytes(self):
        if not os.path.exists(self.session_log):
            return None
        with open(self.session_log, "rb") as log:
            return log.read()

    def session_log_texts(self):
        """The error texts of the session log's entries, in order."""
        data = self.session_log_bytes() or b""
        return [m.group("text").decode("utf-8") for m in LOG_ENTRY.finditer(data)]

    # --- Running ----------------------------------------------------------

    def _argv(self, args):
        # Bytes, so the arguments reach the launcher as UTF-8 whatever the
        # test runner's own locale.
        enter = [NSENTER.encode(), b"--net=" + self.network.encode(), b"--"] if self.network else []
        return enter + [self.launcher.encode()] + [a.encode("utf-8") for a in args]

    def run(self, *args, timeout=60, stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, limits=()):
        """stderr: where standard error goes (captured by default); limits:
        (resource, soft limit) pairs the launcher runs under."""
        def apply_limits():
            for which, value in limits:
                resource.setrlimit(which, (value, resource.getrlimit(which)[1]))
        completed = subprocess.run(
            self._argv(args),
            env=self.env,
            cwd=self.root,
            preexec_fn=apply_limits if limits else None,
            stdin=stdin,
            stdout=subprocess.PIPE,
            stderr=stderr,
            timeout=timeout,
        )
        return Result(completed.returncode, completed.stdout, completed.stderr or b"")

    def start(self, *args):
        """Starts the launcher without waiting; stdout and stderr are pipes."""
        return subprocess.Popen(
            self._argv(args),
            env=self.env,
            cwd=self.root,
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            start_new_session=True,
        )


def read_line_starting(stream, prefix, limit=200):
    """Reads lines from a pipe until one starts with prefix; returns all read."""
    seen = b""
    for _ in range(limit):
        line = stream.readline()
        if not line:
            break
        seen += line
        if line.startswith(prefix):
            return seen
    read = seen.decode(errors="replace")
    raise AssertionError(f"no line starting with {prefix!r}; read:\n{read}")


def stop(process):
    """Ends a launcher started with Installation.start, if still running."""
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGKILL)
    process.communicate()
