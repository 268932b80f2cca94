"""Shared helpers of the JVM discovery end-to-end tests: runtime homes from
the recording test runtime, a launcher run with the log on, and registry
seeding that cleans up after itself."""
import sys
import uuid
from pathlib import Path

import pytest

from vtltest import ROOT, Result, only_log, read_message_box, temp_env

sys.path.insert(0, str(ROOT / "testrt"))
from homes import make_home  # noqa: E402,F401

LOG_ON = {"VANTREL_LOG": "yes"}
# Variables the search reads; a test sets the ones it needs.
SEARCH_VARIABLES = ("JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME", "VANTREL_JAVA_HOME")
# Errors on standard error, not in a message box.
CONSOLE = {107: "4"}
MESSAGES = {
    1005: "start failed",
    1016: "no jvm {0}",
    1017: "env32 {0}",
    1018: "env64 {0}",
    1019: "dir32 {0}",
    1020: "dir64 {0}",
    1009: "internal {0}",
}


class Run:
    def __init__(self, result, log):
        self.rc = result.rc
        self.out = result.out
        self.err = result.err
        self.log = log
        self.lines = log.split("\n")

    def index(self, line, start=0):
        """Index of the first line equal to line at or after start."""
        for i in range(start, len(self.lines)):
            if self.lines[i] == line:
                return i
        raise AssertionError(f"line {line!r} not in log after {start}:\n{self.log}")

    def count(self, line):
        return self.lines.count(line)

    def starting(self, prefix):
        return [l for l in self.lines if l.startswith(prefix)]

    def checked(self):
        """The executables checkJavaExe was asked about, in order (lower case)."""
        return [l[len("checkJavaExe ("):].split(", [out]")[0].lower() for l in self.starting("checkJavaExe (")]

    def __repr__(self):
        return f"Run(rc={self.rc}, out={self.out!r}, err={self.err!r})\n{self.log}"


def run_launcher(wine, exe, tempbase, winenv=None, unset=(), args=("/run",), timeout=120):
    """Runs the launcher in the foreground with the log on, the search
    variables unset unless given, and returns the run with its log."""
    env, unset = _launch_environment(wine, tempbase, winenv, unset)
    result = wine.run(exe, *args, env=LOG_ON, winenv=env, unset=unset, timeout=timeout)
    return Run(result, only_log(tempbase, result))


def run_launcher_with_box(wine, exe, tempbase, winenv=None, unset=(), args=("/run",), timeout=120):
    """Like run_launcher for a launch that ends in a message box (GUI
    executable types): the box is read ("caption|text") and closed on the
    session's desktop. Returns (run, box text or None)."""
    env, unset = _launch_environment(wine, tempbase, winenv, unset)
    box, rc = read_message_box(wine, exe, *args, env=LOG_ON, winenv=env, unset=unset, timeout=timeout)
    return Run(Result(rc, "", ""), only_log(tempbase)), box


def _launch_environment(wine, tempbase, winenv, unset):
    env = temp_env(wine, tempbase)
    env.update(winenv or {})
    return env, tuple(unset) + tuple(v for v in SEARCH_VARIABLES if v not in env)


def exe_path(home, name="java.exe"):
    """The lower-cased Windows path of a home's executable, as checkJavaExe
    rewrites it."""
    return (home.winpath() + "\\bin\\" + name).lower()


def _reg_text(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


class Registry:
    """Seeds the Wine registry with reg.exe and removes what it made. Many
    keys go in with one "reg import" to keep the tests quick."""

    def __init__(self, wine, workdir):
        self.wine = wine
        self.workdir = Path(workdir)
        self.trees = []
        self.count = 0

    def _import(self, lines, view):
        self.count += 1
        path = self.workdir / f"seed{self.count}.reg"
        path.write_text("REGEDIT4\r\n\r\n" + "\r\n".join(lines) + "\r\n", encoding="ascii")
        args = ["import", self.wine.winpath(path)] + ([f"/reg:{view}"] if view else [])
        r = self.wine.reg(*args)
        assert r.rc == 0, r

    def seed(self, keys, view=None):
        """keys: {key: {value name ("" for the default): string data, or an
        int for a REG_DWORD}}; the keys are removed again afterwards."""
        lines = []
        for key, values in keys.items():
            lines.append(f"[{_long_hive(key)}]")
            for name, data in (values or {}).items():
                text = f"dword:{data:08x}" if isinstance(data, int) else _reg_text(data)
                lines.append(("@" if name == "" else _reg_text(name)) + "=" + text)
            lines.append("")
            self.trees.append((key, view))
        self._import(lines, view)

    def own(self, key, view=None):
        """Removes this key tree afterwards as well."""
        self.trees.append((key, view))

    def remove(self, keys, view=None):
        self._import([f"[-{_long_hive(k)}]" for k in keys], view)

    def delete(self, key, view=None):
        args = ["delete", key, "/f"] + ([f"/reg:{view}"] if view else [])
        self.wine.reg(*args)

    def cleanup(self):
        for view in {v for _, v in self.trees}:
            self.remove([k for k, v in reversed(self.trees) if v == view], view)


def _long_hive(key):
    for short, long in (("HKCU\\", "HKEY_CURRENT_USER\\"), ("HKLM\\", "HKEY_LOCAL_MACHINE\\")):
        if key.startswith(short):
            return long + key[len(short):]
    return key


@pytest.fixture
def registry(wine, tmp_path):
    reg = Registry(wine, tmp_path)
    yield reg
    reg.cleanup()


def unique_id(prefix="vtltest"):
    return f"{prefix}-{uuid.uuid4().hex[:12]}"
