"""Fixtures for the end-to-end tests (helpers are in vtltest.py)."""
import os
import subprocess
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
import vtlblock  # noqa: E402
from vtltest import BUILD, PREFIX, WIDTH, Wine  # noqa: E402
from vtlwidth import start_wine  # noqa: E402


def desktop_processes():
    """Unix ids of the prefix's live desktop processes (explorer.exe
    /desktop). Found through /proc: the 32-bit Wine's taskkill.exe does not
    find explorer.exe by name."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            cmdline = Path("/proc", entry, "cmdline").read_bytes()
            environ = Path("/proc", entry, "environ").read_bytes().split(b"\0")
            state = Path("/proc", entry, "stat").read_text().rsplit(")", 1)[-1].split()[0]
        except OSError:
            continue
        if (b"explorer.exe\0/desktop" in cmdline or b"explorer.exe /desktop" in cmdline) and state != "Z" \
                and b"WINEPREFIX=" + bytes(PREFIX) in environ:
            found.append(int(entry))
    return found


def end_desktop():
    """Ends the prefix's desktop process. It is tied to the display it was
    started on (none, when the prefix's start started it); the next program
    that needs a desktop starts it again, on its own display."""
    import signal
    import time
    for pid in desktop_processes():
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    deadline = time.time() + 10
    while desktop_processes() and time.time() < deadline:
        time.sleep(0.1)


@pytest.fixture(scope="session")
def xdisplay():
    """One Xvfb display for the whole session."""
    import time
    display = ":%d" % (100 + os.getpid() % 800)
    proc = subprocess.Popen(["Xvfb", display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    yield display
    end_desktop()
    proc.terminate()
    proc.wait(timeout=10)

@pytest.fixture(scope="session")
def wine(xdisplay):
    if not (BUILD / "vtlstub.exe").exists():
        pytest.fail(f"no {WIDTH} launcher stub in {BUILD}; run scripts/build.sh first")
    start_wine()
    # A desktop that the prefix's start or an earlier session left has no
    # display or one that is gone: message boxes would never appear on it.
    end_desktop()
    return Wine(PREFIX, xdisplay)

@pytest.fixture
def make_launcher(tmp_path):
    """make_launcher(config={key: value}, messages=..., sections=..., files=...,
    name="app.exe", directory=None, block=None) -> path of a packed launcher."""

    def make(config=None, messages=None, sections=None, files=None, name="app.exe", directory=None,
             block=None, stub=None):
        target_dir = Path(directory) if directory else tmp_path / "app"
        target_dir.mkdir(parents=True, exist_ok=True)
        out = target_dir / name
        if block is None:
            block = vtlblock.build_block(config, messages, sections, files)
        vtlblock.pack(stub or (BUILD / "vtlstub.exe"), out, block)
        return out

    return make

@pytest.fixture
def tempbase(tmp_path):
    """A fresh temporary base for one test; pass it as TMP/TEMP with winenv."""
    base = tmp_path / "tempbase"
    base.mkdir()
    return base


def pytest_configure(config):
    config.addinivalue_line("markers", "slow: takes a minute or more (kept in the suite; deselect with -m 'not slow')")


def pytest_terminal_summary(terminalreporter):
    """A summary line for the hostile-input matrix."""
    passed = [r for r in terminalreporter.stats.get("passed", []) if "test_hostile.py" in r.nodeid]
    failed = [r for r in terminalreporter.stats.get("failed", []) if "test_hostile.py" in r.nodeid]
    if passed or failed:
        terminalreporter.write_line(f"hostile-input matrix: {len(passed) + len(failed)} cases, "
                                    f"{len(passed)} ended cleanly, {len(failed)} did not")
