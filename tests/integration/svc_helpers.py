"""Helpers of the service end-to-end tests: a keep-alive process for the
whole module (Wine ends service processes once no ordinary process is left
in the prefix), unique service names that are always deleted afterwards,
and svctool.exe, which looks at the SCM independently of the launcher.

How the service process gets its environment: services started by Wine's
services.exe get one environment block that services.exe builds from the
registry the first time it starts a service process (in practice when the
prefix boots), so neither the test's Unix environment nor a later change of
HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment
reaches them; such a registry change does reach every ordinary Wine process
started afterwards, so it would switch the log on for everything else in
the prefix. The tests therefore register the service with envrun.exe in
front of the launcher: envrun sets VANTREL_LOG, TMP and TEMP (so both logs,
the service process's and the child's, land in the test's own temporary
base) and starts the launcher with exactly the command line the SCM would
have used. Wine's service dispatcher finds its control pipe through the
registry, not through the process the SCM started, so the launcher below
envrun is the service process."""
import datetime
import itertools
import os
import re
import subprocess
import time
from pathlib import Path

import pytest

from vtltest import BUILD, PREFIX, log_files, read_log

TOOLS = BUILD / "tests"
SVCTOOL = TOOLS / "svctool.exe"
TESTSVC = TOOLS / "testsvc.exe"
STOPPED, STOP_PENDING, RUNNING = 1, 3, 4
_counter = itertools.count(1)
# The head of a 32-bit Wine process's command line under qemu-i386.
EMULATED = re.compile(r"^\S*/qemu-i386 /usr/lib/wine/wine(?:-preloader)? ")


@pytest.fixture(scope="module")
def keepalive(wine):
    proc = wine.popen(TOOLS / "keepalive.exe", "3600", stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                      stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    yield proc
    proc.kill()
    proc.wait(timeout=30)


class Services:
    """Unique service names for one test; every one is stopped and deleted
    at the end, whatever the test did."""

    def __init__(self, wine):
        self.wine = wine
        self.names = []

    def name(self, middle=""):
        name = f"vtl{middle}{os.getpid()}x{next(_counter)}"
        self.names.append(name)
        return name

    def tool(self, *args, timeout=60):
        return self.wine.run(SVCTOOL, *args, timeout=timeout)

    def query(self, name):
        r = self.tool("query", name)
        assert r.rc == 0, r
        return {k: int(v) for k, v in re.findall(r"(\w+)=(\d+)", r.out)}

    def config(self, name):
        r = self.tool("qc", name)
        assert r.rc == 0, r
        return dict(line.split("=", 1) for line in r.out.splitlines() if "=" in line)

    def description(self, name):
        r = self.tool("qdesc", name)
        assert r.rc == 0, r
        return r.out.rstrip("\n")[len("desc="):]

    def dependencies(self, name):
        """DependOnService from the registry: None when absent, else the entries."""
        r = self.tool("deps", name)
        assert r.rc == 0, r
        if r.out.strip() == "none":
            return None
        return [line[4:] for line in r.out.splitlines() if line.startswith("dep=")]

    def wait_state(self, name, state, seconds=30):
        r = self.tool("waitstate", name, str(state), str(int(seconds * 1000)), timeout=seconds + 30)
        assert r.rc == 0, (r, self.query(name))

    def set_path(self, name, command):
        r = self.tool("setpath", name, command)
        assert r.rc == 0, r

    def create(self, name, command):
        r = self.tool("create", name, command)
        assert r.rc == 0, r

    def start(self, name, *arguments):
        r = self.tool("start", name, *arguments)
        assert r.rc == 0, r

    def cleanup(self):
        for name in self.names:
            self.tool("delete", name, timeout=120)


@pytest.fixture
def services(wine, keepalive):
    s = Services(wine)
    yield s
    s.cleanup()


def stoppable_service(steps=2, step_ms=200, wait_hint_ms=3000):
    """The command of testsvc.exe: on a stop it reports stop-pending for
    `steps` steps of step_ms, advancing the check point, then stopped."""
    return f'"{winpath(TESTSVC)}" {steps} {step_ms} {wait_hint_ms}'


def winpath(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def logged_command(exe, tempbase, own_tail="", variables=None, unset=()):
    """The service command: envrun sets the variables, then runs the
    launcher with its quoted path and own_tail, as the SCM would. Wine's
    event log messages are switched on for it (see event_log_entries)."""
    parts = [f'"{winpath(TOOLS / "envrun.exe")}"']
    for variable in unset:
        parts += ["-u", variable]
    values = {"VANTREL_LOG": "yes", "TMP": winpath(tempbase), "TEMP": winpath(tempbase),
              "WINEDEBUG": "-all,err+eventlog"}
    values.update(variables or {})
    parts += [f'"{k}={v}"' for k, v in values.items()]
    parts += ["--raw", "--", f'"{winpath(exe)}"{own_tail}']
    return " ".join(parts)


def service_processes(folder):
    """Live processes whose command line names anything below folder.

    Wine runs every Windows process as one Unix process and writes the
    Windows command line over that process's own, so /proc shows the
    service's envrun wrapper, the service process, the service child and
    any java.exe the child ran, each with the test's folder in its command
    line (the Windows form, or the Unix form for programs started from
    here). A process that Wine has ended but nobody has reaped stays
    behind as a zombie (state Z, empty command line): it is gone, not left
    running. The Unix view is used rather than a Windows one because it
    cannot miss a process that Wine no longer accounts for, and Wine 8's
    tasklist.exe lists nothing. Under the 32-bit emulator the process's
    own command line is qemu's, and shows the Unix arguments of the Wine
    loader (the Windows command line, split) after the emulator's and the
    loader's paths, which are left out."""
    windows = winpath(folder).lower() + "\\"
    unix = str(Path(folder).resolve()) + "/"
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            raw = Path("/proc", entry, "cmdline").read_bytes()
            status = Path("/proc", entry, "stat").read_text()
        except OSError:
            continue  # ended meanwhile
        state = status.rsplit(")", 1)[-1].split()[0]
        text = raw.replace(b"\0", b" ").decode("utf-8", "replace").strip()
        text = EMULATED.sub("", text)
        if state != "Z" and (windows in text.lower() or unix in text):
            found.append(f"{entry}: {text}")
    return found


def wait_for(predicate, seconds=30, what="condition"):
    deadline = time.time() + seconds
    while time.time() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")


class ServiceLogs:
    """The two logs of a service run in one temporary base: the service
    process's (it runs the dispatcher) and the child's (its command line
    ends with the restart marker)."""

    def __init__(self, base):
        self.base = Path(base)

    def _texts(self):
        texts = []
        for path in log_files(self.base):
            try:
                texts.append(read_log(path))
            except (AssertionError, UnicodeDecodeError):
                continue  # still being written
        return texts

    def service(self):
        for text in self._texts():
            if "calling StartServiceCtrlDispatcher" in text.split("\n"):
                return text.split("\n")
        return []

    def child(self):
        for text in self._texts():
            lines = text.split("\n")
            if any(l.startswith("command line2 ") and l.endswith(" __vtl_restart") for l in lines):
                return lines
        return []

    def wait_service_line(self, line, seconds=30):
        return wait_for(lambda: line in self.service(), seconds, f"service log line {line!r}")

    def wait_child_line(self, line, seconds=30):
        return wait_for(lambda: line in self.child(), seconds, f"child log line {line!r}")


def in_order(lines, expected):
    """True when the expected lines occur in lines in this order."""
    position = 0
    for line in lines:
        if position < len(expected) and line == expected[position]:
            position += 1
    return position == len(expected)


SERVICES_STDERR = PREFIX / "services-stderr.log"
LOG_LINE = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) (\[service\]|\[app\]) (.*)$")


class LogLine:
    def __init__(self, stamp, tag, text):
        self.time = datetime.datetime.strptime(stamp, "%Y-%m-%d %H:%M:%S.%f")
        self.tag = tag
        self.text = text

    def __repr__(self):
        return f"{self.time.time()} {self.tag} {self.text}"


def service_log(path, final=True):
    """The lines of a service log (time stamp, tag, text); each must have
    the form the service writes, CR LF ended. While the service runs
    (final false) a line it is writing at this moment is left out."""
    data = Path(path).read_bytes() if Path(path).exists() else b""
    if not final:
        data = data[:data.rfind(b"\r\n") + 2]
    assert not data or data.endswith(b"\r\n"), f"{path} ends within a line"
    lines = []
    for raw in data.split(b"\r\n")[:-1]:
        match = LOG_LINE.match(raw.decode("latin-1"))
        assert match, f"not a service log line: {raw!r}"
        lines.append(LogLine(*match.groups()))
    return lines


def own_lines(lines):
    return [line.text for line in lines if line.tag == "[service]"]


def event_log_entries(since=0):
    """The error entries of the Application event log that service
    processes reported (Wine's event log is a stub that writes each one
    to the process's standard error, which scripts/wine-env.sh sends to
    this file), after byte offset since."""
    if not SERVICES_STDERR.exists():
        raise AssertionError(f"{SERVICES_STDERR} is missing: the prefix's services were started without it; "
                             "restart them with: source scripts/wine-env.sh && wine_stop && wine_start")
    text = SERVICES_STDERR.read_bytes()[since:].decode("utf-8", "replace")
    return [m.group(1).encode("latin-1", "backslashreplace").decode("unicode_escape")
            for m in re.finditer(r'err:eventlog:ReportEventW L"(.*)"$', text, re.M)]


def event_log_offset():
    return SERVICES_STDERR.stat().st_size if SERVICES_STDERR.exists() else 0
