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
