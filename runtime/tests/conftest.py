"""Fixtures for the Java-side runtime tests: they run vtlruntime.jar on the
host JDK with small applications compiled once per session."""
import subprocess
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
from vtlruntime_support import (APPS, BUILD_NATIVE, VANTREL_LAUNCHER, Run, java_command,  # noqa: E402
                                java_env)


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
