"""Java runtime homes made of the recording test runtime, for tests.

    import sys; sys.path.insert(0, str(ROOT / "testrt"))
    from homes import make_home, read_trace

    home = make_home(tmp_path / "jre", version_line='java version "1.8.0_121"')
    home.write_script(main="throw", main_exception="java.lang.IllegalStateException: boom")
    ... run the launcher with home.winpath() as its runtime ...
    assert home.java_runs() == [...]            # one command line per -version run
    trace = home.trace()                        # the jvm.dll trace, parsed
    assert trace.main_args() == ["false", "com.example.Main", ...]

The binaries come from the CMake tree of the width under test
(tests/vtlwidth.py: VTL_TEST_WIDTH, VTL_BUILD_WIN64, VTL_BUILD_WIN32): its
java.exe, jvm.dll, jvm_noexport.dll and unpack200.exe below testrt/, and the
other width's jvm.dll for a runtime of the wrong width. The formats of the
settings files and of the trace are described in testrt/README.md.
"""
import json
import os
import re
import shutil
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests"))
import vtlwidth  # noqa: E402

PACK_HEADER = b"testrt-pack\n"
# native: the working jvm.dll of the width under test; foreign: the other
# width's (error 193 when loaded); x86_64 and i686 name a width outright.
VARIANTS = ("native", "foreign", "x86_64", "i686", "noexport", "nojvm")


def build_dir(width, given=None):
    """The CMake tree for "win64" or "win32"."""
    if given:
        return Path(given).resolve()
    return vtlwidth.BUILD64 if width == "win64" else vtlwidth.BUILD32


def winpath(path):
    """The Wine (Z: drive) form of a Unix path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def _setting_lines(settings):
    lines = []
    for key, value in settings.items():
        if isinstance(value, bool):
            value = "true" if value else "false"
        elif isinstance(value, (list, tuple)):
            value = " ".join(value)
        text = str(value).replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")
        lines.append(f"{key} = {text}")
    return "\n".join(lines) + "\n"


class Home:
    """A runtime home on disk. root is the home directory; java_bins are the
    folders that hold a java.exe (bin, and jre/bin for a JDK)."""

    def __init__(self, root, java_bins, runtime_bin):
        self.root = Path(root)
        self.java_bins = [Path(b) for b in java_bins]
        self.runtime_bin = Path(runtime_bin)  # the bin folder whose VM-type folders hold jvm.dll

    # -- paths --------------------------------------------------------------
    def winpath(self, relative=""):
        return winpath(self.root / relative)

    @property
    def java_exe(self):
        """The java.exe a launcher finds first (jre\\bin for a JDK)."""
        return self.runtime_bin / "java.exe"

    @property
    def script_path(self):
        return self.root / "testrt-jvm.ini"

    @property
    def trace_path(self):
        """Where jvm.dll writes its trace unless VTL_TESTRT_TRACE says otherwise."""
        return self.root / "testrt-trace.log"

    def jvm_dlls(self):
        return sorted(self.root.rglob("jvm.dll"))

    # -- java.exe -----------------------------------------------------------
    def set_java(self, version_line='java version "1.8.0_121"', exit_code=0, delay_ms=0, stdout_text="",
                 line_end="\r\n"):
        """Rewrites testrt-java.ini beside every java.exe. The run records of
        all of them go to <home>/java-runs.log."""
        for folder in self.java_bins:
            depth = len(folder.relative_to(self.root).parts)
            record = "\\".join([".."] * depth + ["java-runs.log"])
            (folder / "testrt-java.ini").write_text(_setting_lines({
                "version_line": version_line, "exit_code": exit_code, "delay_ms": delay_ms,
                "stdout_text": stdout_text, "record": record, "line_end": line_end}))

    def touch_java(self, seconds=2):
        """Moves the last-write time of every java.exe forward, so a cached
        version no longer matches."""
        for folder in self.java_bins:
            for exe in folder.glob("java*.exe"):
                stat = exe.stat()
                os.utime(exe, (stat.st_atime + seconds, stat.st_mtime + seconds))

    def java_runs(self):
        """Command lines of the java.exe runs so far, oldest first."""
        record = self.root / "java-runs.log"
        return record.read_text(encoding="utf-8").splitlines() if record.exists() else []

    # -- jvm.dll ------------------------------------------------------------
    def write_script(self, text=None, **settings):
        """Writes testrt-jvm.ini: either the given text or key = value lines
        from the keyword arguments (lists become blank-separated)."""
        self.script_path.write_text(text if text is not None else _setting_lines(settings), encoding="utf-8")

    def trace(self, path=None):
        return read_trace(path or self.trace_path)

    def clear_trace(self):
        if self.trace_path.exists():
            self.trace_path.unlink()

    # -- unpack200.exe ------------------------------------------------------
    def add_pack(self, relative, jar_bytes=b"PK\x03\x04testrt jar"):
        """Writes a test pack file (e.g. "lib/rt.jar.pack") holding jar_bytes."""
        pack = self.root / relative
        pack.parent.mkdir(parents=True, exist_ok=True)
        pack.write_bytes(PACK_HEADER + jar_bytes)
        return pack

    def set_unpack200(self, exit_code=0, delay_ms=0):
        """Makes bin/unpack200.exe fail (exit_code: half a jar, pack kept) or hang."""
        (self.root / "bin" / "testrt-unpack200.ini").write_text(
            _setting_lines({"exit_code": exit_code, "delay_ms": delay_ms}))

    def unpack_runs(self):
        record = self.root / "unpack200-runs.log"
        return record.read_text(encoding="utf-8").splitlines() if record.exists() else []


def make_home(directory, version_line='java version "1.8.0_121"', exit_code=0, delay_ms=0,
              vm_types=("server",), variant="native", javaw=False, tools_jar=None, unpack200=False,
              jdk=False, jdk_bin_java=True, script=None, build=None):
    """Creates a runtime home in directory and returns its Home.

    version_line, exit_code, delay_ms: what java.exe prints and does.
    vm_types: the VM-type folders below the runtime's bin that get a jvm.dll
        (e.g. ("server",), ("client", "server"), () for none).
    variant: "native" (the working jvm.dll of the width under test),
        "foreign" (the other width's jvm.dll: error 193 when loaded),
        "x86_64" or "i686" (that width's jvm.dll), "noexport" (a jvm.dll
        without JNI_CreateJavaVM), "nojvm" (no jvm.dll at all).
    javaw: also javaw.exe beside each java.exe. tools_jar: lib/tools.jar
        (default: present for a JDK). unpack200: bin/unpack200.exe.
    jdk: JDK layout: the runtime (java.exe and the VM folders) under jre/bin,
        and, with jdk_bin_java, a java.exe in bin as well.
    script: settings for testrt-jvm.ini (a dict, or the file's text); an
        empty script is written when none is given, so the trace always lands
        in <home>/testrt-trace.log.
    build: the tree the programs come from (default: the width under test).
    """
    if variant not in VARIANTS:
        raise ValueError(f"variant must be one of {VARIANTS}")
    tree = Path(build).resolve() if build else vtlwidth.BUILD
    programs = tree / "testrt"
    root = Path(directory)
    root.mkdir(parents=True, exist_ok=True)
    runtime_bin = root / "jre" / "bin" if jdk else root / "bin"
    java_bins = [runtime_bin] + ([root / "bin"] if jdk and jdk_bin_java else [])
    for folder in java_bins:
        folder.mkdir(parents=True, exist_ok=True)
        _copy(programs / "java.exe", folder / "java.exe")
        if javaw:
            _copy(programs / "java.exe", folder / "javaw.exe")
    if variant != "nojvm":
        source = {"native": programs / "jvm.dll", "noexport": programs / "jvm_noexport.dll",
                  "foreign": vtlwidth.FOREIGN_BUILD / "testrt" / "jvm.dll",
                  "x86_64": vtlwidth.BUILD64 / "testrt" / "jvm.dll",
                  "i686": vtlwidth.BUILD32 / "testrt" / "jvm.dll"}[variant]
        for vm_type in vm_types:
            (runtime_bin / vm_type).mkdir(parents=True, exist_ok=True)
            _copy(source, runtime_bin / vm_type / "jvm.dll")
    if tools_jar if tools_jar is not None else jdk:
        (root / "lib").mkdir(exist_ok=True)
        (root / "lib" / "tools.jar").write_bytes(b"PK\x05\x06" + bytes(18))
    if unpack200:
        (root / "bin").mkdir(exist_ok=True)
        _copy(programs / "unpack200.exe", root / "bin" / "unpack200.exe")
    home = Home(root, java_bins, runtime_bin)
    home.set_java(version_line, exit_code, delay_ms)
    if isinstance(script, str):
        home.write_script(script)
    else:
        home.write_script(**(script or {}))
    return home


def _copy(source, target):
    if not Path(source).exists():
        raise FileNotFoundError(f"{source} is missing; build the Windows trees first")
    shutil.copyfile(source, target)
    now = time.time()
    os.utime(target, (now, now))


# -- the jvm.dll trace ------------------------------------------------------

_TOKEN = re.compile(r'"(?:[^"\\]|\\.)*"|\S+')


def _value(token):
    if token.startswith('"'):
        return json.loads(token)
    if token in ("true", "false"):
        return token == "true"
    if token == "null":
        return None
    if re.fullmatch(r"-?\d+", token):
        return int(token)
    return token  # @n (a reference), #n (a method id), 0x... (a version), words


class TraceLine:
    """One trace line: name, args (decoded values) and result (None when
    the line has no "=>"; has_result tells a null result from none)."""

    def __init__(self, text):
        self.text = text
        tokens = _TOKEN.findall(text)
        self.name = tokens[0] if tokens else ""
        rest = tokens[1:]
        self.has_result = "=>" in rest
        if self.has_result:
            at = rest.index("=>")
            self.args = [_value(t) for t in rest[:at]]
            self.result = _value(rest[at + 1]) if at + 1 < len(rest) else None
        else:
            self.args = [_value(t) for t in rest]
            self.result = None

    def __repr__(self):
        return f"TraceLine({self.text!r})"


class Trace(list):
    """The parsed lines of a trace file, in order."""

    def names(self):
        return [line.name for line in self]

    def calls(self, name):
        return [line for line in self if line.name == name]

    def first(self, name):
        found = self.calls(name)
        return found[0] if found else None

    def options(self):
        return [line.args[1] for line in self.calls("option")]

    def main_args(self):
        return [line.args[1] for line in self.calls("main-arg")]

    def warnings(self):
        return [line.args[0] for line in self.calls("warning")]

    def startup_us(self):
        line = self.first("startup-us")
        return line.args[0] if line else None

    def static_calls(self):
        """(class, method, arguments) of every CallStatic*Method, in order."""
        return [(line.args[0], line.args[1], line.args[3:]) for line in self
                if line.name in ("CallStaticVoidMethod", "CallStaticBooleanMethod")]

    def processes(self):
        """The trace split at its "process" lines, one Trace per process."""
        parts = []
        for line in self:
            if line.name == "process" or not parts:
                parts.append(Trace())
            parts[-1].append(line)
        return parts


def read_trace(path):
    path = Path(path)
    if not path.exists():
        return Trace()
    return Trace(TraceLine(t) for t in path.read_text(encoding="ascii").splitlines() if t)


def _main():
    import argparse
    parser = argparse.ArgumentParser(description="Create a test Java runtime home.")
    parser.add_argument("directory")
    parser.add_argument("--version-line", default='java version "1.8.0_121"')
    parser.add_argument("--exit-code", type=int, default=0)
    parser.add_argument("--delay-ms", type=int, default=0)
    parser.add_argument("--vm-types", default="server", help="comma-separated, empty for none")
    parser.add_argument("--variant", choices=VARIANTS, default="native")
    parser.add_argument("--javaw", action="store_true")
    parser.add_argument("--unpack200", action="store_true")
    parser.add_argument("--jdk", action="store_true")
    args = parser.parse_args()
    home = make_home(args.directory, args.version_line, args.exit_code, args.delay_ms,
                     tuple(t for t in args.vm_types.split(",") if t), args.variant, args.javaw,
                     unpack200=args.unpack200, jdk=args.jdk)
    print(home.winpath())


if __name__ == "__main__":
    _main()
