"""Fixtures for the test runtime's self-tests: they run its programs under
the Wine of the width under test (tests/vtlwidth.py), and load its jvm.dll
from the test driver."""
import os
import subprocess
import sys
from pathlib import Path

import pytest

TESTRT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(TESTRT))
import homes  # noqa: E402

sys.path.insert(0, str(TESTRT.parent / "tests"))

from vtlwidth import BUILD, FOREIGN_BUILD, PREFIX, WIDTH, WINE, emulator_fault, start_wine  # noqa: E402


class Run:
    def __init__(self, rc, out, err, seconds):
        self.rc, self.out, self.err, self.seconds = rc, out, err, seconds

    def __repr__(self):
        return f"Run(rc={self.rc}, out={self.out!r}, err={self.err!r})"


def normalise(data):
    return data.decode("utf-8", errors="replace").replace("\r\n", "\n")


@pytest.fixture(scope="session")
def build():
    """The tree of the width under test."""
    if not (BUILD / "testrt" / "jvm.dll").exists():
        pytest.fail(f"no test runtime in {BUILD}; build the {WIDTH} tree first")
    return BUILD


@pytest.fixture(scope="session")
def foreign_build():
    """The tree of the other width, whose jvm.dll plays the wrong width."""
    if not (FOREIGN_BUILD / "testrt" / "jvm.dll").exists():
        pytest.skip(f"no test runtime of the other width in {FOREIGN_BUILD}")
    return FOREIGN_BUILD


@pytest.fixture(scope="session")
def wine(build):
    """run(program, *args, env={}, stdin=b"") -> Run, in the shared prefix."""
    start_wine()
    import time

    def run(program, *args, env=None, stdin=b"", timeout=60, cwd=None):
        full = dict(os.environ)
        full.update({"WINEPREFIX": str(PREFIX), "WINEDEBUG": "-all"})
        full.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
        for name in ("VTL_TESTRT_TRACE", "VTL_TESTRT_SCRIPT"):
            full.pop(name, None)
        full.update(env or {})
        for _ in range(3):
            started = time.monotonic()
            proc = subprocess.run(WINE + [str(program)] + [str(a) for a in args], input=stdin,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=full, timeout=timeout, cwd=cwd)
            run = Run(proc.returncode, normalise(proc.stdout), normalise(proc.stderr), time.monotonic() - started)
            if not emulator_fault(run.rc, run.err):
                return run
        return run

    return run


@pytest.fixture
def driver(wine, build):
    """driver(jvm_dll, scenario, *args, env=..., stdin=...) -> Run of testrt_driver.exe."""

    def run(jvm_dll, scenario, *args, **kwargs):
        return wine(build / "testrt" / "testrt_driver.exe", homes.winpath(jvm_dll), scenario, *args, **kwargs)

    return run


@pytest.fixture
def home(tmp_path, build):
    return homes.make_home(tmp_path / "jre")
