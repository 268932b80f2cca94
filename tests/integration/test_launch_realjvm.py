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
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

public class Probe {
    // The first-run step (with the marker file present) fails.
    public static boolean firstRun() {
        throw new IllegalStateException("first-run failure");
    }

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
        if (mode.equals("hook")) {
            // hook, the fixed argument, the file the shutdown hook writes,
            // the folder that a link in the temporary directory leads to.
            Path written = Paths.get(args[args.length - 2]);
            Runtime.getRuntime().addShutdownHook(new Thread(() -> {
                try {
                    Files.write(written, "hook ran".getBytes(StandardCharsets.UTF_8));
                } catch (java.io.IOException e) {
                    throw new RuntimeException(e);
                }
            }));
            Thread worker = new Thread(() -> {
                try {
                    Thread.sleep(1000);
                } catch (InterruptedException e) {
                    return;
                }
                System.out.println("worker done");
            });
            worker.start();
            // Java sees Unix paths; the temporary directory is on drive Z:.
            String temp = System.getProperty("morlin.tempDir");
            Files.createSymbolicLink(Paths.get(temp.substring(2).replace('\\', '/'), "link"),
                                     Paths.get(args[args.length - 1]));
            throw new IllegalStateException("probe failure after the hook");
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

# The first-run class is named always; it is called only while the marker
# file exists.
PROBE_CONFIG = {107: "4", 2001: "v", 10003: ".", 122: "Probe", 121: "D1classes",
                123: '"-Dprobe.value=a b" -Xmx64m -Dvantrel.firstRunClass=Probe', 124: "fixed"}


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
    return make_launcher(PROBE_CONFIG, messages={1009: "internal {0}"}, name="probe.exe", directory=app)


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


def test_java_side_failures_end_with_1_after_the_vm_shut_down(wine, make_launcher, probe_launcher, tempbase,
                                                              tmp_path):
    """main throws after registering a shutdown hook and starting a
    non-daemon thread, and after planting a link in the temporary directory
    to a folder of someone else's files. The VM ends as the JDK's launcher
    lets it end (the thread finishes, the hook writes its file), the exit code
    is 1, and the clean-up of the failed launch removes the extracted file
    but never goes into the link."""
    app = probe_launcher.parent
    exe = make_launcher({**PROBE_CONFIG, 2002: "1", 2003: "data.txt"}, messages={1009: "internal {0}"},
                        files=[b"extracted"], name="probe.exe", directory=app)
    theirs = tmp_path / "theirs"
    (theirs / "deeper").mkdir(parents=True)
    (theirs / "keep.txt").write_text("keep")
    (theirs / "deeper" / "keep2.txt").write_text("keep")
    written = tmp_path / "hook.txt"
    r, log = run(wine, exe, tempbase, "/run", "hook", str(written), str(theirs))
    assert r.rc == 1, (r, log)
    assert "java.lang.IllegalStateException: probe failure after the hook" in r.err
    assert "ERROR: could not call main" in log
    assert log.index("ERROR: could not call main") < log.index("dest JVM")
    assert "launch done" not in log
    assert r.out.splitlines()[-1] == "worker done", r
    assert written.read_text() == "hook ran"
    # The link's target keeps its files; what the launcher made is gone.
    assert (theirs / "keep.txt").read_text() == "keep"
    assert (theirs / "deeper" / "keep2.txt").read_text() == "keep"
    temp = [l for l in log if l.startswith("Temp dir3: ")][0][len("Temp dir3: "):]
    assert f"not descending into link {temp}\\link" in log, log
    assert not any(l.startswith("emptying " + temp + "\\link") for l in log)
    folder = tempbase / temp.split("\\")[-1]
    assert not (folder / "data.txt").exists()
    # Windows removes the link itself. Wine 8 takes a directory link for the
    # folder it leads to and will not remove it while that holds files
    # (ERROR_DIR_NOT_EMPTY), so there the link, and with it the folder, stay.
    left = list(folder.iterdir()) if folder.exists() else []
    assert all(p.is_symlink() for p in left), left

    # A first-run step that throws: the application never runs, exit code 1.
    marker = app / ".vantrel" / "firstrun"
    marker.write_bytes(b"")
    try:
        r, log = run(wine, probe_launcher, tempbase, "/run", "plain")
    finally:
        marker.unlink()
    assert r.rc == 1, (r, log)
    assert "java.lang.IllegalStateException: first-run failure" in r.err
    assert "args=" not in r.out
    assert "checkFirstRun stopped further execution" in log
    assert log.index("checkFirstRun stopped further execution") < log.index("dest JVM")
    assert "calling main" not in log and "launch done" not in log
