"""Runs the real Veltrana.exe under Wine, with the stand-in VM, for the tests.

Every test file is started as `python3 test_x.py CONFIG` where CONFIG is the
wine_config.json the build writes (paths of the launcher, the starter, the
stub libraries, the Wine prefix and a work folder). Run directly, this file
prepares the prefix (`wine_harness.py CONFIG`) or stops its wineserver
(`wine_harness.py CONFIG --stop`).

A test's world lives in the prefix under C:\\vt (install folders, runtimes,
the profile and temporary folders, the stub's reports) plus the registry
keys the launcher reads; WineTestCase resets both before each test.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

CONFIG = None

ROOT = "C:\\vt"
PROFILE = ROOT + "\\profile"
TEMP = ROOT + "\\temp"
REPORTS = ROOT + "\\reports"
PROGRAM_FILES = "C:\\Program Files"
SEARCH_PATH = "C:\\windows\\system32;C:\\windows"
JRE = "jre1.6.0_02"
MAKER_KEY = "SOFTWARE\\Orrindale"
VENDOR_KEY = "SOFTWARE\\JavaSoft\\Java Runtime Environment"
QUICKTIME_KEY = "SOFTWARE\\Apple Computer, Inc.\\QuickTime"
LOG_NAME = "Veltrana Session Log.txt"

# The stub VM's exit code after FatalError (see stub_jvm.c).
FATAL_ERROR_EXIT = 57

# Calls whose arguments the relay trace shows.
TRACED_CALLS = ["CreateMutexA", "RegOpenKeyExA", "LoadLibraryA", "LoadLibraryExA", "SetCurrentDirectoryA",
                "MessageBoxA"]

RUN_TIMEOUT = 120

# The Unix locales a test can run Wine under, and the ANSI code page Wine
# gives each: Japanese and Traditional Chinese, both double-byte.
LOCALES = {932: "ja_JP.UTF-8", 950: "zh_TW.UTF-8"}


def load_config():
    global CONFIG
    if CONFIG is None:
        with open(sys.argv[1], encoding="utf-8") as f:
            CONFIG = json.load(f)
    return CONFIG


def locale_folder():
    """Where setup_prefix makes the locales of LOCALES."""
    return os.path.join(os.path.dirname(load_config()["prefix"]), "locales")


def wine_environment(debug="-all", display=None, code_page=None):
    """The environment of every Wine process: our prefix, no display (so a
    message box returns at once) unless one is given, no Mono or Gecko
    installers. Wine takes its ANSI code page from the Unix locale: a
    code_page of LOCALES runs it under that locale."""
    config = load_config()
    env = {k: v for k, v in os.environ.items() if not k.startswith("WINE")}
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    if display is not None:
        env["DISPLAY"] = display
    env.update(WINEPREFIX=config["prefix"], WINEARCH="win32", WINEDEBUG=debug,
               WINEDLLOVERRIDES="mscoree,mshtml=")
    if code_page is not None:
        env.update(LANG=LOCALES[code_page], LC_ALL=LOCALES[code_page], LOCPATH=locale_folder())
    return env


def host_path(windows_path):
    """Where a C: path of the prefix lies on this machine."""
    assert windows_path[:3].upper() == "C:\\", windows_path
    return os.path.join(load_config()["prefix"], "drive_c", *windows_path[3:].split("\\"))


def z_path(host):
    """A host path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(host).replace("/", "\\")


def wine(*args, debug="-all", timeout=RUN_TIMEOUT):
    subprocess.run([load_config()["wine"], *args], env=wine_environment(debug),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True,
                   timeout=timeout)


def stop_wineserver():
    subprocess.run([load_config()["wineserver"], "-k"], env=wine_environment(),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def start_virtual_display(test):
    """Starts Xvfb on a free display number for the test; returns DISPLAY."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                               "-nolisten", "tcp"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    test.addCleanup(server.wait, 10)
    test.addCleanup(server.terminate)
    with os.fdopen(read_end, "rb") as f:
        number = f.readline().strip()  # written once it accepts connections
    test.assertTrue(number.isdigit(), "Xvfb did not start")
    return ":" + number.decode()


def work_file(name):
    folder = load_config()["work"]
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, name)


def reg_text(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class ExpandableText(str):
    """A registry value stored as REG_EXPAND_SZ (regedit's hex(2))."""


def reg_value(value):
    if isinstance(value, ExpandableText):
        return "hex(2):" + ",".join(f"{b:02x}" for b in value.encode("ascii") + b"\0")
    return reg_text(value)


def import_registry(sections):
    """Imports a REGEDIT4 file built from (key, {name: value}) pairs; a key
    written "-KEY" is deleted with everything below it."""
    lines = ["REGEDIT4", ""]
    for key, values in sections:
        lines.append("[" + key + "]")
        for name, value in values.items():
            lines.append(reg_text(name) + "=" + reg_value(value))
        lines.append("")
    path = work_file("registry.reg")
    with open(path, "w", encoding="ascii", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")
    wine("regedit", "/s", z_path(path))


def make_locales():
    """Makes the locales of LOCALES in the build folder (from the
    definitions of Debian's locales package), so that no system-wide
    locale is needed."""
    folder = locale_folder()
    os.makedirs(folder, exist_ok=True)
    for name in LOCALES.values():
        if not os.path.isdir(os.path.join(folder, name)):
            language, charset = name.split(".")
            subprocess.run(["localedef", "-i", language, "-f", charset,
                            os.path.join(folder, name)], check=True,
                           stdout=subprocess.DEVNULL, timeout=RUN_TIMEOUT)


def setup_prefix():
    """Makes the 32-bit prefix once per build folder and (re)applies the
    settings the tests rely on."""
    config = load_config()
    make_locales()
    prefix = config["prefix"]
    ready = os.path.join(prefix, "veltrana-prefix-ready")
    if not os.path.exists(ready):
        stop_wineserver()
        shutil.rmtree(prefix, ignore_errors=True)
        wine("wineboot", "-i", timeout=500)
        subprocess.run([config["wineserver"], "-w"], env=wine_environment(), timeout=500)
    import_registry([
        # Wine would load its own msvcr71 even when given a full path.
        ("HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides", {"msvcr71": "native"}),
        ("HKEY_CURRENT_USER\\Software\\Wine\\Debug", {"RelayInclude": ";".join(TRACED_CALLS)}),
    ])
    with open(ready, "w") as f:
        f.write("ok\n")


# --- Reading what a run left behind ----------------------------------------

RELAY_CALL = re.compile(r"^([0-9a-f]+):[0-9a-f]+:Call [\w.]+\.(\w+)\((.*)\) ret=[0-9a-f]+$")
RELAY_STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')


def relay_calls(trace_lines, pid):
    """The traced calls of one process: (function, [its string arguments],
    the whole argument text)."""
    calls = []
    for line in trace_lines:
        match = RELAY_CALL.match(line)
        if match and int(match.group(1), 16) == pid:
            strings = [re.sub(r"\\(.)", r"\1", s) for s in RELAY_STRING.findall(match.group(3))]
            calls.append((match.group(2), strings, match.group(3)))
    return calls


class Run:
    """What one launch left: exit code, the stub's report, the relay trace."""

    def __init__(self, exit_code, pid, report_lines, trace_lines):
        self.exit_code = exit_code
        self.pid = pid
        self.report = report_lines
        self.calls = relay_calls(trace_lines, pid)

    def values(self, key):
        """The values of the report lines with that key, in order."""
        prefix = key + "="
        return [line[len(prefix):] for line in self.report
                if line == key or line.startswith(prefix)]

    def keys(self):
        return [line.split("=", 1)[0] for line in self.report]

    def options(self):
        return self.values("option")

    def arguments(self):
        """The bytes of main's arguments, in index order."""
        return [bytes.fromhex(v) for v in self.values("arg")]

    def strings_passed_to(self, function):
        return [strings for name, strings, _ in self.calls if name == function]


class Launch:
    """A launch started through the starter, possibly still running."""

    def __init__(self, name, process, trace_path, result_path, report_host_path):
        self.name = name
        self.process = process
        self.trace_path = trace_path
        self.result_path = result_path
        self.report_host_path = report_host_path

    def running(self):
        return self.process.poll() is None

    def report_lines(self):
        if not os.path.exists(self.report_host_path):
            return []
        with open(self.report_host_path, "rb") as f:
            return f.read().decode("latin-1").splitlines()

    def wait_for_report(self, key, timeout=RUN_TIMEOUT):
        """Waits until the stub has reported key (e.g. "main-start")."""
        deadline = time.monotonic() + timeout
        while not any(line.split("=", 1)[0] == key for line in self.report_lines()):
            if not self.running() or time.monotonic() > deadline:
                raise AssertionError(f"{self.name}: no '{key}' in the report")
            time.sleep(0.2)

    def wait(self, timeout=RUN_TIMEOUT):
        try:
            starter_code = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            stop_wineserver()
            raise AssertionError(f"{self.name}: did not end within {timeout} s")
        with open(self.trace_path, encoding="latin-1") as f:
            trace = f.read().splitlines()
        if not os.path.exists(self.result_path):
            problems = [line for line in trace if line.startswith("starter:")]
            raise AssertionError(f"{self.name}: starter ended with {starter_code}: {problems}")
        with open(self.result_path) as f:
            result = dict(line.split("=", 1) for line in f.read().split())
        exit_code = int(result["exit"])
        # The host sees only the low byte of the exit code.
        if starter_code != exit_code & 0xFF:
            raise AssertionError(f"{self.name}: starter ended with {starter_code}")
        return Run(exit_code, int(result["pid"]), self.report_lines(), trace)


def log_entry_pattern(message, fatal):
    """One session-log entry as a text-mode stream writes it: each "\\r\\n"
    reaches the file as CR CR LF, asctime's line feed as CR LF."""
    text = ("Fatal Error Launching: " if fatal else "Error Launching: ") + message
    when = rb"[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}"
    return (rb"\r\r\n##### " + when + rb"\r\n\r\r\n" + re.escape(text.encode("ascii")) +
            rb"\r\r\n\r\r\n" + b"#" * 30 + rb"\r\r\n\r\r\n")


class WineTestCase(unittest.TestCase):
    """A clean world for each test: C:\\vt and the registry keys the
    launcher reads are emptied; the profile and temporary folders exist."""

    maxDiff = None
    runs = 0

    def setUp(self):
        shutil.rmtree(host_path(ROOT), ignore_errors=True)
        shutil.rmtree(host_path(PROGRAM_FILES + "\\Veltrana"), ignore_errors=True)
        for folder in (PROFILE, TEMP, REPORTS):
            os.makedirs(host_path(folder))
        self.set_registry()

    # --- the world ---------------------------------------------------------

    def write(self, windows_path, content=b""):
        path = host_path(windows_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)

    def read(self, windows_path):
        """The file's bytes, or None when it does not exist."""
        path = host_path(windows_path)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def copy(self, config_key, windows_path):
        path = host_path(windows_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copyfile(load_config()[config_key], path)

    def install(self, folder=ROOT + "\\Apps\\Veltrana", lib=("a.jar",), launcher=None):
        """Veltrana.exe (the build's, or the host file launcher) in folder,
        with the given files under its lib folder."""
        if launcher is None:
            self.copy("launcher", folder + "\\Veltrana.exe")
        else:
            with open(launcher, "rb") as f:
                self.write(folder + "\\Veltrana.exe", f.read())
        os.makedirs(host_path(folder + "\\lib"))
        for name in lib:
            self.write(folder + "\\lib\\" + name)
        return folder

    def runtime(self, home, vm="stub_jvm", support="stub_msvcr71"):
        """A runtime home: bin\\client\\jvm.dll and bin\\msvcr71.dll. vm and
        support name a stub library of the build, None for none, or bytes
        for a file with that content."""
        os.makedirs(host_path(home + "\\bin\\client"))
        for path, what in ((home + "\\bin\\client\\jvm.dll", vm),
                           (home + "\\bin\\msvcr71.dll", support)):
            if isinstance(what, bytes):
                self.write(path, what)
            elif what is not None:
                self.copy(what, path)
        return home

    def set_registry(self, maker_java_home=None, vendor=None, quicktime_dir=None):
        """maker_java_home: the maker key's JAVA_HOME; vendor: (CurrentVersion,
        {name: value} of its subkey, or None for no subkey); quicktime_dir:
        QTExtDir. None leaves a key out."""
        sections = [("-HKEY_LOCAL_MACHINE\\" + key, {})
                    for key in (MAKER_KEY, "SOFTWARE\\JavaSoft", QUICKTIME_KEY)]
        if maker_java_home is not None:
            sections.append(("HKEY_LOCAL_MACHINE\\" + MAKER_KEY, {"JAVA_HOME": maker_java_home}))
        if vendor is not None:
            version, subkey_values = vendor
            sections.append(("HKEY_LOCAL_MACHINE\\" + VENDOR_KEY, {"CurrentVersion": version}))
            if subkey_values is not None:
                sections.append(("HKEY_LOCAL_MACHINE\\" + VENDOR_KEY + "\\" + version,
                                 subkey_values))
        if quicktime_dir is not None:
            sections.append(("HKEY_LOCAL_MACHINE\\" + QUICKTIME_KEY, {"QTExtDir": quicktime_dir}))
        import_registry(sections)

    def private_runtime(self, base=ROOT + "\\rt"):
        """A complete private runtime under base, named by the maker key."""
        self.runtime(base + "\\" + JRE)
        self.set_registry(maker_java_home=base)
        return base + "\\" + JRE

    def session_log(self, profile=PROFILE):
        return self.read(profile + "\\Logs\\" + LOG_NAME)

    # --- launching ---------------------------------------------------------

    def start(self, folder=ROOT + "\\Apps\\Veltrana", arguments="", env=None, mode=None,
              wait_ms=None, directory=ROOT, display=None, channels="", code_page=None,
              exe_name="Veltrana.exe"):
        """Starts folder\\exe_name with the command line `"exe" arguments`.
        env holds variables to set (None as a value unsets one) over the
        defaults: the profile, temporary and search paths of the test world.
        display: an X display to show windows on; channels: more Wine debug
        channels for the trace (",+actctx"); code_page: a double-byte ANSI
        code page of LOCALES to run under."""
        WineTestCase.runs += 1
        name = f"run{WineTestCase.runs}"
        report = f"{REPORTS}\\{name}.txt"
        exe = folder + "\\" + exe_name
        variables = {"USERPROFILE": PROFILE, "TEMP": TEMP, "PATH": SEARCH_PATH,
                     "ProgramFiles": PROGRAM_FILES, "VELTRANA_STUB_REPORT": report,
                     "VELTRANA_STUB_MODE": mode,
                     "VELTRANA_STUB_WAIT_MS": None if wait_ms is None else str(wait_ms)}
        variables.update(env or {})
        result_path = work_file(name + ".result")
        trace_path = work_file(name + ".trace")
        for path in (result_path, trace_path):
            if os.path.exists(path):
                os.remove(path)
        command_line = f'"{exe}"' + (" " + arguments if arguments else "")
        lines = ["program " + exe, "cmdline " + command_line, "result " + z_path(result_path)]
        if directory is not None:
            lines.append("directory " + directory)
        for key, value in variables.items():
            lines.append(f"unset {key}" if value is None else f"set {key}={value}")
        instructions = work_file(name + ".instructions")
        with open(instructions, "w", encoding="utf-8", newline="\n") as f:
            f.write("\n".join(lines) + "\n")
        with open(trace_path, "wb") as trace:
            process = subprocess.Popen(
                [load_config()["wine"], load_config()["starter"], z_path(instructions)],
                env=wine_environment("-all,+relay,+pid" + channels, display, code_page),
                stdout=subprocess.DEVNULL,
                stderr=trace)
        launch = Launch(name, process, trace_path, result_path, host_path(report))
        # A launch a failed test leaves running would hold the name for the
        # next test.
        self.addCleanup(lambda: launch.running() and stop_wineserver())
        return launch

    def launch(self, **kwargs):
        """Starts the launcher and waits for it to end."""
        return self.start(**kwargs).wait()

    # --- common checks -------------------------------------------------------

    def assertCompleteRun(self, run):
        """The launch ran main and shut the VM down, exit code 0, with no
        message box and nothing the stub objects to."""
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.values("problem"), [])
        self.assertIn("main-end", run.keys())
        self.assertEqual(run.keys()[-1], "DestroyJavaVM")
        self.assertEqual(run.strings_passed_to("MessageBoxA"), [])

    def assertFatal(self, run, message, earlier_log=b""):
        """Exit code 1, exactly one new session-log entry and the message
        box, both with the fatal text."""
        text = "Fatal Error Launching: " + message
        self.assertEqual(run.exit_code, 1)
        log = self.session_log()
        self.assertIsNotNone(log, "no session log")
        self.assertTrue(log.startswith(earlier_log))
        self.assertRegex(log[len(earlier_log):], b"^" + log_entry_pattern(message, True) + b"$")
        self.assertEqual(run.strings_passed_to("MessageBoxA"), [[text, "Veltrana.exe"]])
        # No owner window, and MB_OK.
        boxes = [raw for name, _, raw in run.calls if name == "MessageBoxA"]
        self.assertRegex(boxes[0], r"^00000000,.*,00000000$")

    def loaded_libraries(self, run):
        return [strings[0] for name, strings, _ in run.calls
                if name in ("LoadLibraryA", "LoadLibraryExA")]

    def opened_keys(self, run):
        return [strings[0] for strings in run.strings_passed_to("RegOpenKeyExA")]


def run_tests():
    """unittest.main for a test file started as `test_x.py CONFIG`."""
    load_config()
    try:
        unittest.main(argv=[sys.argv[0]] + sys.argv[2:])
    finally:
        stop_wineserver()


if __name__ == "__main__":
    load_config()
    if sys.argv[2:] == ["--stop"]:
        stop_wineserver()
    else:
        setup_prefix()
        stop_wineserver()
