"""Fixtures for the test runtime's self-tests: they run its programs under
wine64, and load its jvm.dll from the test driver."""
import os
import subprocess
import sys
from pathlib import Path

import pytest

TESTRT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(TESTRT))
import homes  # noqa: E402

ROOT = TESTRT.parent
WINE64 = "/usr/lib/wine/wine64"
PREFIX = Path(os.environ.get("WINEPREFIX", ROOT / "build" / "wineprefix"))


class Run:
    def __init__(self, rc, out, err, seconds):
        self.rc, self.out, self.err, self.seconds = rc, out, err, seconds

    def __repr__(self):
        return f"Run(rc={self.rc}, out={self.out!r}, err={self.err!r})"


def normalise(data):
    return data.decode("utf-8", errors="replace").replace("\r\n", "\n")


@pytest.fixture(scope="session")
def build64():
    tree = homes.build_dir("win64")
    if not (tree / "testrt" / "jvm.dll").exists():
        pytest.fail(f"no test runtime in {tree}; build the x86_64 tree first (VTL_BUILD_WIN64)")
    return tree


@pytest.fixture(scope="session")
def build32():
    tree = homes.build_dir("win32")
    if not (tree / "testrt" / "jvm.dll").exists():
        pytest.skip(f"no i686 test runtime in {tree} (VTL_BUILD_WIN32)")
    return tree


@pytest.fixture(scope="session")
def wine(build64):
    """run(program, *args, env={}, stdin=b"") -> Run, in the shared prefix."""
    subprocess.run(["bash", "-c", f"source '{ROOT}/scripts/wine-env.sh' && wine_start"],
                   env={**os.environ, "WINEPREFIX": str(PREFIX)}, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    import time

    def run(program, *args, env=None, stdin=b"", timeout=60, cwd=None):
        full = dict(os.environ)
        full.update({"WINEPREFIX": str(PREFIX), "WINEDEBUG": "-all"})
        full.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
        for name in ("VTL_TESTRT_TRACE", "VTL_TESTRT_SCRIPT"):
            full.pop(name, None)
        full.update(env or {})
        started = time.monotonic()
        proc = subprocess.run([WINE64, str(program)] + [str(a) for a in args], input=stdin,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=full, timeout=timeout, cwd=cwd)
        return Run(proc.returncode, normalise(proc.stdout), normalise(proc.stderr), time.monotonic() - started)

    return run


@pytest.fixture
def driver(wine, build64):
    """driver(jvm_dll, scenario, *args, env=..., stdin=...) -> Run of testrt_driver.exe."""

    def run(jvm_dll, scenario, *args, **kwargs):
        return wine(build64 / "testrt" / "testrt_driver.exe", homes.winpath(jvm_dll), scenario, *args, **kwargs)

    return run


@pytest.fixture
def home(tmp_path, build64):
    return homes.make_home(tmp_path / "jre")
