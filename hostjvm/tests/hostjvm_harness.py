"""Runs the stand-in runtime's programs under the Wine of the width under
test (tests/vtlwidth.py): the JNI driver that loads jvm.dll as the launcher
does, and the home's java.exe.

The test modules import the hostjvm fixture from here. There is no
conftest.py on purpose: other suites run in the same pytest session import
names from "their" conftest module, which a second conftest.py would
shadow."""
import os
import subprocess
import sys
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests"))
from vtlwidth import BUILD, PREFIX, WIDTH, WINE, emulator_fault, start_wine, winpath  # noqa: E402,F401

HOSTJVM = BUILD / "hostjvm"
HOME = HOSTJVM / "home"
DRIVER = HOSTJVM / "tests" / "jnidriver.exe"
TESTAPP = HOSTJVM / "tests" / "testapp.jar"


def wine_env(extra=None):
    env = dict(os.environ)
    env["WINEPREFIX"] = str(PREFIX)
    env["WINEDEBUG"] = "-all"
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    if extra:
        env.update(extra)
    return env


def start_wineserver():
    start_wine()


def normalise(data):
    return data.decode("utf-8", errors="replace").replace("\r\n", "\n")


class Run:
    def __init__(self, rc, out, err, seconds):
        self.rc = rc
        self.out = out
        self.err = err
        self.seconds = seconds
        self.lines = out.splitlines()

    def __repr__(self):
        return f"Run(rc={self.rc}, {self.seconds:.2f}s, out={self.out!r}, err={self.err!r})"

    def index(self, line):
        """Position of the first stdout line equal to line; fails with the whole run."""
        assert line in self.lines, f"{line!r} missing from {self!r}"
        return self.lines.index(line)


def driver_command(*commands, options=(), classpath=True):
    cmd = WINE + [str(DRIVER), winpath(HOME / "bin" / "server" / "jvm.dll")]
    if classpath:
        cmd += ["opt", "-Djava.class.path=" + winpath(TESTAPP)]
    for option in options:
        cmd += ["opt", option]
    return cmd + [str(c) for c in commands]


def run_driver(*commands, options=(), stdin=b"", timeout=90, env=None):
    """Runs the driver with the test classes on the class path and the
    given VM options; stdin is what a parent writes into its pipe."""
    for _ in range(3):
        started = time.monotonic()
        proc = subprocess.run(driver_command(*commands, options=options), input=stdin,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=wine_env(env), timeout=timeout)
        run = Run(proc.returncode, normalise(proc.stdout), normalise(proc.stderr), time.monotonic() - started)
        if not emulator_fault(run.rc, run.err):
            return run
    return run


def popen_driver(*commands, options=(), **kwargs):
    return subprocess.Popen(driver_command(*commands, options=options), env=wine_env(), **kwargs)


def run_java_exe(*args, timeout=90):
    proc = subprocess.run(WINE + [str(HOME / "bin" / "java.exe"), *args], stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=wine_env(), timeout=timeout)
    return Run(proc.returncode, normalise(proc.stdout), normalise(proc.stderr), 0)


def host_processes(marker):
    """Process ids of host java processes whose command line holds marker."""
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes()
        except OSError:
            continue
        if marker.encode() in cmdline and b"com.vantrel.hostjvm.BridgeServer" in cmdline:
            found.append(int(entry.name))
    return found


def wait_until(predicate, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.1)
    return predicate()


@pytest.fixture(scope="session")
def hostjvm():
    """This module, once the stand-in runtime is known to be built and a
    wineserver runs."""
    missing = [p for p in (HOME / "bin" / "java.exe", HOME / "bin" / "server" / "jvm.dll",
                           HOME / "bin" / "server" / "vtlhostjvm.jar", HOME / "bin" / "server" / "vtl-hostjava",
                           DRIVER, TESTAPP) if not p.exists()]
    if missing:
        pytest.fail(f"stand-in runtime not built (missing {missing}); build the {WIDTH} Windows tree first")
    start_wineserver()
    return sys.modules[__name__]
