"""Helpers shared by the Java-side runtime tests (a module of its own, since
every test folder of the project has a conftest.py)."""
import os
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD_NATIVE = Path(os.environ.get("VTL_BUILD_NATIVE", ROOT / "build" / "native")).resolve()
APPS = Path(__file__).resolve().parent / "apps"
VANTREL_LAUNCHER = "com.vantrel.runtime.launcher.WinLauncher"
MORLIN_LAUNCHER = "com.morlin.runtime.WinLauncher"


class Run:
    def __init__(self, rc, out="", err=""):
        self.rc = rc
        self.out = out
        self.err = err

    def __repr__(self):
        return f"Run(rc={self.rc}, out={self.out!r}, err={self.err!r})"


def java_command(jar, apps, launcher_class, elements, props=None):
    # Quick start-up options: these runs are short.
    cmd = ["java", "-XX:TieredStopAtLevel=1", "-XX:+UseSerialGC", "-cp", f"{jar}{os.pathsep}{apps}"]
    for key, value in (props or {}).items():
        cmd.append(f"-D{key}={value}")
    return cmd + [launcher_class] + list(elements)


def java_env():
    env = dict(os.environ)
    env["LC_ALL"] = "C.UTF-8"
    env.pop("JAVA_TOOL_OPTIONS", None)
    env.pop("_JAVA_OPTIONS", None)
    return env


def rolled_files(current):
    """The file and its rolled predecessors that exist, newest first:
    app.log, app.1.log, app.2.log, ..."""
    current = Path(current)
    files = [current] if current.exists() else []
    index = 1
    while True:
        rolled = current.with_name(f"{current.stem}.{index}{current.suffix}")
        if not rolled.exists():
            return files
        files.append(rolled)
        index += 1


def check_rolled_lines(current, max_size, keep, line_length):
    """Reads the numbered lines of LinesApp (or the Probe's "lines" mode)
    from a rolled redirection file: every line whole, no number twice, no
    file above the maximum by more than one line, at most keep old files
    and none beyond them. Returns (the numbers found, the number of files)."""
    files = rolled_files(current)
    folder_names = {p.name for p in Path(current).parent.iterdir()}
    beyond = Path(current).with_name(f"{Path(current).stem}.{keep + 1}{Path(current).suffix}")
    assert beyond.name not in folder_names, f"{beyond.name} is kept beyond keep={keep}"
    assert len(files) - 1 <= keep, [f.name for f in files]
    numbers = []
    for path in files:
        data = path.read_bytes()
        assert len(data) <= max_size + line_length + 2, f"{path.name} holds {len(data)} bytes"
        assert not data or data.endswith(b"\n"), f"{path.name} ends within a line"
        for line in data.decode("ascii").splitlines():
            assert len(line) == line_length and line[9] == "-" and line[:9].isdigit() and \
                set(line[10:]) == {"x"}, f"split or broken line {line!r} in {path.name}"
            numbers.append(int(line[:9]))
    assert len(numbers) == len(set(numbers)), "a line appears twice"
    return set(numbers), len(files)
