"""Shared helpers of the JVM launch end-to-end tests: a launcher packed
with a recording runtime home, one run with the log on, and the run's log
lines and jvm.dll trace side by side."""
import sys
from pathlib import Path

from vtltest import ROOT, only_log, temp_env

sys.path.insert(0, str(ROOT / "testrt"))
from homes import make_home  # noqa: E402

LOG_ON = {"VANTREL_LOG": "yes"}
# Variables the JVM search reads; only VANTREL_JAVA_HOME is set, to the home.
OTHER_SEARCH_VARIABLES = ("JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME")
MESSAGES = {
    1006: "missing {0}",
    1008: "undefined {0}",
    1009: "internal {0}",
    1010: "no launcher class",
    1011: "no launcher main",
}
# Errors on standard error (executable type 4), vantrel family.
BASE_CONFIG = {107: "4", 2001: "v", 122: "com.example.Main"}


class Launch:
    """A launcher beside its runtime home: app_dir holds the executable."""

    def __init__(self, wine, make_launcher, tmp_path, tempbase, config=None, name="server.exe",
                 script=None, version_line='java version "1.8.0_121"', files=None):
        self.wine = wine
        self.tempbase = tempbase
        self.make_launcher = make_launcher
        self.name = name
        # javaw.exe too, so that graphical launchers (key 107 = 1) accept the home.
        self.home = make_home(tmp_path / "jre", version_line=version_line, script=script, javaw=True)
        self.app_dir = tmp_path / "app"
        self.app_dir.mkdir(parents=True, exist_ok=True)
        self.configure(config, files)

    def configure(self, config=None, files=None):
        """Packs the launcher again with this configuration (over the base)."""
        values = dict(BASE_CONFIG)
        values.update(config or {})
        self.exe = self.make_launcher(values, messages=MESSAGES, files=files, name=self.name,
                                      directory=self.app_dir)

    def win(self, relative=""):
        """The Windows form of a path below the application directory."""
        path = self.wine.winpath(self.app_dir)
        return path + ("\\" + relative if relative else "")

    def run(self, *args, winenv=None, env=None, unset=(), timeout=60, stdin=None):
        """Runs the launcher (default "/run") and returns a Run."""
        environment = temp_env(self.wine, self.tempbase)
        environment["VANTREL_JAVA_HOME"] = self.home.winpath()
        environment.update(winenv or {})
        unset = tuple(unset) + tuple(v for v in OTHER_SEARCH_VARIABLES if v not in environment)
        self.home.clear_trace()
        for old in Path(self.tempbase).glob("vtl_nlog_*.log"):
            old.unlink()
        result = self.wine.run(self.exe, *(args or ("/run",)), env={**LOG_ON, **(env or {})},
                               winenv=environment, unset=unset, timeout=timeout, stdin=stdin)
        return Run(result, only_log(self.tempbase), self.home.trace())


class Run:
    def __init__(self, result, log, trace):
        self.rc = result.rc
        self.out = result.out
        self.err = result.err
        self.log = log
        self.lines = log.split("\n")
        self.trace = trace

    def index(self, line, start=0):
        for i in range(start, len(self.lines)):
            if self.lines[i] == line:
                return i
        raise AssertionError(f"line {line!r} not in the log after line {start}:\n{self.log}")

    def has(self, line):
        return line in self.lines

    def starting(self, prefix):
        return [l[len(prefix):] for l in self.lines if l.startswith(prefix)]

    def value(self, prefix):
        """The rest of the last log line that starts with prefix."""
        found = self.starting(prefix)
        assert found, f"no log line starts with {prefix!r}:\n{self.log}"
        return found[-1]

    def options(self):
        """The VM options as jvm.dll received them."""
        return self.trace.options()

    def logged_options(self):
        """The VM options as the log lists them, checked against its count."""
        count = int(self.value("vmoption count "))
        options = []
        for i in range(count):
            options.append(self.value(f"vmoption {i}: "))
        return options

    def option(self, prefix):
        found = [o for o in self.options() if o.startswith(prefix)]
        assert len(found) == 1, f"{prefix!r} in {self.options()}"
        return found[0][len(prefix):]

    def main_args(self):
        return self.trace.main_args()

    def jni(self):
        """The JNI calls from JNI_CreateJavaVM on, as tuples (name, arguments...,
        and "=>" with the result), references and method ids left out."""
        out = []
        started = False
        for line in self.trace:
            if line.name == "JNI_CreateJavaVM":
                started = True
            if not started or line.name in ("main-arg", "main-result", "pending", "stdin-line", "stdin-stop"):
                continue
            call = [line.name] + [a for a in line.args if not is_reference(a)]
            if line.has_result and not is_reference(line.result):
                call += ["=>", line.result]
            out.append(tuple(call))
        return out

    def __repr__(self):
        return f"Run(rc={self.rc}, out={self.out!r}, err={self.err!r})\n{self.log}"


def is_reference(value):
    return isinstance(value, str) and value[:1] in ("@", "#")


def library_path(run):
    """PATH as the launcher left it before creating the VM: the last value
    it logged setting (native libraries, then the runtime's bin folder)."""
    values = [l for l in run.lines if l.startswith("Setting PATH ")]
    assert values, run.log
    last = values[-1]
    return last[len("Setting PATH (native libs) "):] if last.startswith("Setting PATH (native libs) ") \
        else last[len("Setting PATH "):]


def semaphore(run):
    return run.value("semaphore name ").split(", code ")[0]
