"""Helpers of the end-to-end tests: they drive the packed launcher of the
width under test (tests/vtlwidth.py: x86_64 under wine64, or i686 under the
32-bit Wine) and read its exit code, its output and its diagnostic log.
The fixtures are in conftest.py; tests import these helpers by this
module's own name, which no other test folder uses."""
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
import vtlblock  # noqa: E402
# BUILD is the tree under test, FOREIGN_BUILD the other width's (absolute
# paths, so tests that run programs from another directory still find them).
from vtlwidth import (BITS, BUILD, BUILD32, BUILD64, FOREIGN_BUILD, IS_32, OBJDUMP, PREFIX, ROOT,  # noqa: E402,F401
                      WIDTH, WINE, WINE64, emulator_fault, winpath)

BUILDNATIVE = Path(os.environ.get("VTL_BUILD_NATIVE", ROOT / "build" / "native"))


class Result:
    def __init__(self, rc, out, err):
        self.rc = rc
        self.out = out
        self.err = err

    def __repr__(self):
        return f"Result(rc={self.rc}, out={self.out!r}, err={self.err!r})"


def normalise(data):
    return data.decode("utf-8", errors="replace").replace("\r\n", "\n")


class Wine:
    """Runs Windows programs in the test prefix, on the session's X display
    so that message boxes appear (and block) as they would on a desktop."""

    def __init__(self, prefix, display=None):
        self.prefix = prefix
        self.display = display
        self.envrun = BUILD / "tests" / "envrun.exe"

    def env(self, extra=None):
        env = dict(os.environ)
        env["WINEPREFIX"] = str(self.prefix)
        env["WINEDEBUG"] = "-all"
        env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
        env.pop("VANTREL_LOG", None)
        env.pop("MORLIN_LOG", None)
        env.pop("DISPLAY", None)
        if self.display:
            env["DISPLAY"] = self.display
        if extra:
            env.update({k: v for k, v in extra.items() if v is not None})
            for k, v in extra.items():
                if v is None:
                    env.pop(k, None)
        return env

    def command(self, program, args=(), winenv=None, unset=(), raw_tail=None):
        cmd = list(WINE)
        if winenv or unset or raw_tail is not None:
            cmd.append(str(self.envrun))
            for name in unset:
                cmd += ["-u", name]
            for k, v in (winenv or {}).items():
                cmd.append(f"{k}={v}")
            if raw_tail is not None:
                cmd += ["--raw", "--", raw_tail]
                return cmd
            cmd.append("--")
        cmd.append(str(program))
        cmd += [str(a) for a in args]
        return cmd

    def run(self, program, *args, env=None, winenv=None, unset=(), stdin=None, timeout=60, cwd=None,
            raw_tail=None, retry_reset=None, once=False):
        """env: Unix environment additions (reach the program unless Wine
        overrides them); winenv: Windows-side variables set through envrun
        (needed for TMP, TEMP, PATH, USERPROFILE, ...). A run that the
        32-bit emulator's known fault ended (and only that) is run again,
        after retry_reset() when given (it removes what the run left);
        once: never, for a run whose work cannot be done twice (the caller
        then reads what the run printed before the fault)."""
        cmd = self.command(program, args, winenv, unset, raw_tail)
        for attempt in range(1 if once else 3):
            if attempt and retry_reset:
                retry_reset()
            proc = subprocess.run(cmd, input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  env=self.env(env), timeout=timeout, cwd=cwd)
            result = Result(proc.returncode, normalise(proc.stdout), normalise(proc.stderr))
            if not emulator_fault(result.rc, result.err):
                break
        return result

    def popen(self, program, *args, env=None, winenv=None, unset=(), **kwargs):
        cmd = self.command(program, args, winenv, unset)
        return subprocess.Popen(cmd, env=self.env(env), **kwargs)

    @staticmethod
    def winpath(path):
        return winpath(path)

    def reg(self, *args):
        return self.run("reg.exe", *args, timeout=60)


def temp_env(wine, base):
    return {"TMP": wine.winpath(base), "TEMP": wine.winpath(base)}


def read_log(path):
    """The text of a diagnostic log file, checked for its byte-order mark
    and CR LF line ends, with the line ends normalised."""
    data = Path(path).read_bytes()
    assert data.startswith(b"\xef\xbb\xbf"), "log lacks its UTF-8 byte-order mark"
    text = data[3:].decode("utf-8")
    assert "\n" not in text.replace("\r\n", ""), "log has a bare line feed"
    return text.replace("\r\n", "\n")


def log_files(base):
    return sorted(Path(base).glob("vtl_nlog_*.log"), key=lambda p: int(re.findall(r"\d+", p.name)[-1]))


def only_log(base, run=None):
    """The one log file in base; run (a Result) is shown when it is missing."""
    files = log_files(base)
    assert len(files) == 1, f"expected one log file, found {files}" + (f"; the run: {run!r}" if run else "")
    return read_log(files[0])


def read_message_box(wine, exe, *args, env=None, winenv=None, unset=(), timeout=60):
    """Runs exe, reads the message box it shows ("caption|text") and closes
    it. Returns (box text or None, the launcher's exit code)."""
    proc = wine.popen(exe, *args, env=env, winenv=winenv, unset=unset, stdout=subprocess.PIPE,
                      stderr=subprocess.PIPE)
    # Not run again after the emulator's fault: the box is closed by then,
    # and the line printed before the fault is the reading.
    reader = wine.run(BUILD / "tests" / "boxreader.exe", "30000", timeout=timeout, once=True)
    out, err = proc.communicate(timeout=timeout)
    read = reader.rc == 0 or (emulator_fault(reader.rc, reader.err) and "|" in reader.out)
    box = reader.out.rstrip("\n") if read else None
    return box, proc.returncode
