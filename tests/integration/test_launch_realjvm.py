"""A real Java application launched through the host-JVM bridge: the
launcher's options, class path and String[] reach a real VM, the runtime
archive starts the application, and the exit code follows what Java does."""
import shutil
import subprocess

import pytest

from vtltest import BUILD64, BUILDNATIVE, only_log, temp_env

HOSTJVM_HOME = BUILD64 / "hostjvm" / "home"
RUNTIME_JAR = BUILDNATIVE / "runtime" / "vtlruntime.jar"
HELPER = BUILD64 / "runtime" / "vtlinst" / "vtlinst.dll"

PROBE = r"""
public class Probe {
    public static void main(String[] args) throws Exception {
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
                          123: '"-Dprobe.value=a b" -Xmx64m', 124: "fixed"},
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
