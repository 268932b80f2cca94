"""A real Java application launched through the host-JVM bridge: the
launcher's options, class path and String[] reach a real VM, the runtime
archive starts the application, and the exit code follows what Java does."""
import re
import shutil
import subprocess

import pytest

from jvm_support import registry  # noqa: F401
from vtltest import BUILD64, BUILDNATIVE, only_log, temp_env

HOSTJVM_HOME = BUILD64 / "hostjvm" / "home"
RUNTIME_JAR = BUILDNATIVE / "runtime" / "vtlruntime.jar"
HELPER = BUILD64 / "runtime" / "vtlinst" / "vtlinst.dll"

PROBE = r"""
public class Probe {
    public static void main(String[] args) throws Exception {
        if (args.length > 0 && args[0].equals("version")) {
            System.out.println("java.version=" + System.getProperty("java.version"));
            return;
        }
        System.out.println("args=" + String.join("|", args));
        System.out.println("probe.value=" + System.getProperty("probe.value"));
        System.out.println("from.file=" + System.getProperty("from.file"));
        System.out.println("isVantrel=" + System.getProperty("morlin.isVantrel"));
        System.out.println("noRedir=" + System.getProperty("vantrel.noRedir"));
        String mode = args.length > 0 ? args[0] : "";
        if (mode.equals("exit")) {
            System.exit(Integer.parseInt(args[args.length - 1]));
        }
        if (mode.equals("throw")) {
            throw new IllegalStateException("probe failure");
        }
        if (mode.equals("thread")) {
            Thread worker = new Thread(() -> {
                try {
                    Thread.sleep(1500);
                } catch (InterruptedException e) {
                    return;
                }
                System.out.println("worker done");
            });
            worker.start();
            System.out.println("main done");
        }
    }
}
"""


@pytest.fixture
def probe_launcher(wine, make_launcher, tmp_path):
    return build_probe(make_launcher, tmp_path)


def build_probe(make_launcher, tmp_path, config=None):
    for needed in (HOSTJVM_HOME / "bin" / "server" / "jvm.dll", RUNTIME_JAR):
        if not needed.exists():
            pytest.fail(f"{needed} is missing; build the native and x86_64 trees first")
    app = tmp_path / "app"
    classes = app / "classes"
    classes.mkdir(parents=True)
    source = tmp_path / "Probe.java"
    source.write_text(PROBE)
    subprocess.run(["javac", "--release", "8", "-d", str(classes), str(source)], check=True)
    runtime = app / ".vantrel"
    runtime.mkdir()
    shutil.copyfile(RUNTIME_JAR, runtime / "vtlruntime.jar")
    shutil.copyfile(HELPER, runtime / "vtlinst.dll")
    (app / "probe.vmoptions").write_bytes(b"# from the option file\r\n-Dfrom.file=yes\r\n")
    return make_launcher({107: "4", 2001: "v", 10003: ".", 122: "Probe", 121: "D1classes",
                          123: '"-Dprobe.value=a b" -Xmx64m', 124: "fixed", **(config or {})},
                         messages={1009: "internal {0}"}, name="probe.exe", directory=app)


def run(wine, exe, tempbase, *args, timeout=90):
    env = temp_env(wine, tempbase)
    env["VANTREL_JAVA_HOME"] = wine.winpath(HOSTJVM_HOME)
    for old in tempbase.glob("vtl_nlog_*.log"):
        old.unlink()
    r = wine.run(exe, *args, env={"VANTREL_LOG": "yes"}, winenv=env,
                 unset=["JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME"], timeout=timeout)
    return r, only_log(tempbase).split("\n")


def test_real_application(wine, probe_launcher, tempbase):
    r, log = run(wine, probe_launcher, tempbase, "/run", "plain", "two words")
    assert r.rc == 0, (r, log)
    assert r.out.splitlines() == ["args=plain|fixed|two words", "probe.value=a b", "from.file=yes",
                                  "isVantrel=true", "noRedir=true"], (r, log)
    assert "launch done" in log

    # A non-daemon thread keeps the process alive after main returned.
    r, log = run(wine, probe_launcher, tempbase, "/run-redirect", "thread")
    assert r.rc == 0, (r, log)
    lines = r.out.splitlines()
    assert lines[-2:] == ["main done", "worker done"], r
    assert "noRedir=null" in lines
    assert log.index("dest JVM") < log.index("launch done")

    r, log = run(wine, probe_launcher, tempbase, "/run", "exit", "7")
    assert r.rc == 7, (r, log)
    assert "main returned" not in log

    r, log = run(wine, probe_launcher, tempbase, "/run", "throw")
    assert r.rc == 1, (r, log)
    assert "java.lang.IllegalStateException: probe failure" in r.err
    assert "\tat Probe.main(" in r.err
    assert "ERROR: java.lang.IllegalStateException: probe failure" in log
    assert "ERROR: could not call main" in log


def test_real_runtime_found_through_its_temurin_registration(wine, make_launcher, tmp_path, tempbase, registry):
    """A machine with only a Temurin MSI install and JAVA_TOOL_OPTIONS set:
    the real VM's "Picked up" line comes before its version line, the
    runtime is found through the MSI key and the application runs on it."""
    home = tmp_path / "Eclipse Adoptium" / "jdk-17-hotspot"
    shutil.copytree(HOSTJVM_HOME, home, symlinks=True)
    exe = build_probe(make_launcher, tmp_path, {128: "Y"})
    java = (wine.winpath(home) + "\\bin\\java.exe").lower()
    registry.own("HKCU\\SOFTWARE\\brevane\\morlin\\jvms\\" + java.replace("\\", "/"))
    registry.seed({"HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.15.6\\hotspot\\MSI":
                   {"Path": wine.winpath(home) + "\\", "JavaHome": 1, "Main": 1}})
    env = temp_env(wine, tempbase)
    env["JAVA_TOOL_OPTIONS"] = "-Dprobe.managed=yes"
    r = wine.run(exe, "/run", "version", env={"VANTREL_LOG": "yes"}, winenv=env,
                 unset=["JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME", "VANTREL_JAVA_HOME"], timeout=90)
    log = only_log(tempbase).split("\n")
    assert r.rc == 0, (r, log)
    version = next(l for l in log if l.startswith("got version from execution "))[len("got version from execution "):]
    assert re.fullmatch(r"\d+(\.\d+)*", version), version
    assert f"found registered {java} {version}" in log
    assert r.out.splitlines() == [f"java.version={version}"], (r, log)
    assert "Picked up JAVA_TOOL_OPTIONS: -Dprobe.managed=yes" in r.err
