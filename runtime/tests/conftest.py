"""Fixtures for the Java-side runtime tests: they run vtlruntime.jar on the
host JDK with small applications compiled once per session."""
import os
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BUILD_NATIVE = Path(os.environ.get("VTL_BUILD_NATIVE", ROOT / "build" / "native")).resolve()
APPS = Path(__file__).resolve().parent / "apps"
VANTREL_LAUNCHER = "com.vantrel.runtime.launcher.WinLauncher"
MORLIN_LAUNCHER = "com.morlin.runtime.WinLauncher"


@pytest.fixture(scope="session")
def runtime_jar():
    jar = BUILD_NATIVE / "runtime" / "vtlruntime.jar"
    if not jar.exists():
        pytest.fail(f"{jar} is missing; build the native tree first (VTL_BUILD_NATIVE)")
    return jar


@pytest.fixture(scope="session")
def apps(runtime_jar, tmp_path_factory):
    out = tmp_path_factory.mktemp("apps")
    sources = sorted(str(p) for p in APPS.glob("*.java"))
    subprocess.run(["javac", "--release", "8", "-Xlint:-options", "-cp", str(runtime_jar), "-d", str(out)]
                   + sources, check=True)
    return out


class Run:
    def __init__(self, proc_or_rc, out="", err=""):
        self.rc = proc_or_rc
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


@pytest.fixture
def launch(runtime_jar, apps, tmp_path):
    """launch(main_class, *app_args, err="", out="", gui="false", flag="false",
    props={}, launcher=VANTREL_LAUNCHER, stdin=b"", cwd=tmp_path) -> Run"""

    def run(main_class, *app_args, err="", out="", gui="false", flag="false", props=None,
            launcher=VANTREL_LAUNCHER, stdin=b"", cwd=None, timeout=30):
        elements = [gui, main_class, str(err), str(out), flag] + list(app_args)
        proc = subprocess.run(java_command(runtime_jar, apps, launcher, elements, props), input=stdin,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=cwd or tmp_path,
                              env=java_env(), timeout=timeout)
        return Run(proc.returncode, proc.stdout.decode("utf-8"), proc.stderr.decode("utf-8"))

    return run


@pytest.fixture
def start(runtime_jar, apps, tmp_path):
    """start(main_class, *app_args, props={}) -> Popen with pipes on all three streams."""
    started = []

    def popen(main_class, *app_args, props=None, launcher=VANTREL_LAUNCHER):
        elements = ["false", main_class, "", "", "false"] + list(app_args)
        proc = subprocess.Popen(java_command(runtime_jar, apps, launcher, elements, props),
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                cwd=tmp_path, env=java_env())
        started.append(proc)
        return proc

    yield popen
    for proc in started:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
