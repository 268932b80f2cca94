"""Real Java applications launched through the host-JVM bridge: the
launcher's options, class path and String[] reach a real VM, the runtime
archive starts the application, and the exit code follows what Java does;
and a real server (H2) packed with vtlpack, run as a Windows service and in
the foreground."""
import os
import re
import shutil
import socket
import subprocess
import sys
import time
from pathlib import Path

import pytest

from svc_helpers import (ServiceLogs, event_log_entries, event_log_offset, keepalive, logged_command,  # noqa: F401
                         service_log, service_processes, services, winpath)
from vtltest import BUILD, BUILDNATIVE, IS_32, ROOT, Result, normalise, only_log, temp_env
from jvm_support import registry  # noqa: F401

sys.path.insert(0, str(ROOT / "runtime" / "tests"))
from vtlruntime_support import check_rolled_lines  # noqa: E402

HOSTJVM_HOME = BUILD / "hostjvm" / "home"
RUNTIME_JAR = BUILDNATIVE / "runtime" / "vtlruntime.jar"
HELPER = BUILD / "runtime" / "vtlinst" / "vtlinst.dll"

PROBE = r"""
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

public class Probe {
    static void writeLines(int threads, int perThread, int length) throws InterruptedException {
        StringBuilder pad = new StringBuilder();
        while (pad.length() < length - 10) {
            pad.append('x');
        }
        String padding = pad.toString();
        Thread[] workers = new Thread[threads];
        for (int t = 0; t < threads; t++) {
            int first = t;
            workers[t] = new Thread(() -> {
                for (int i = 0; i < perThread; i++) {
                    int number = i * threads + first;
                    (number % 2 == 0 ? System.out : System.err).println(String.format("%09d-%s", number, padding));
                }
            });
            workers[t].start();
        }
        for (Thread worker : workers) {
            worker.join();
        }
    }

    // The first-run step (with the marker file present) fails.
    public static boolean firstRun() {
        throw new IllegalStateException("first-run failure");
    }

    public static void main(String[] args) throws Exception {
        if (args.length > 0 && args[0].equals("version")) {
            System.out.println("java.version=" + System.getProperty("java.version"));
            return;
        }
        if (args.length > 0 && args[0].equals("lines")) {
            // lines, the fixed argument, THREADS, PER_THREAD, LENGTH: numbered
            // lines of one length from several threads, even numbers to
            // System.out and odd ones to System.err.
            int n = args.length;
            writeLines(Integer.parseInt(args[n - 3]), Integer.parseInt(args[n - 2]), Integer.parseInt(args[n - 1]));
            return;
        }
        System.out.println("args=" + String.join("|", args));
        System.out.println("probe.value=" + System.getProperty("probe.value"));
        System.out.println("from.file=" + System.getProperty("from.file"));
        System.out.println("isVantrel=" + System.getProperty("morlin.isVantrel"));
        System.out.println("noRedir=" + System.getProperty("vantrel.noRedir"));
        System.out.println("serviceName=" + System.getProperty("vantrel.serviceName"));
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
    return make_launcher({**PROBE_CONFIG, **(config or {})}, messages={1009: "internal {0}"}, name="probe.exe",
                         directory=app)


def run(wine, exe, tempbase, *args, timeout=90, open_input=False):
    """One run with the log on. open_input keeps the launcher's standard
    input open until it has ended (a service child takes the end of its
    input for a stop request)."""
    env = temp_env(wine, tempbase)
    env["VANTREL_JAVA_HOME"] = wine.winpath(HOSTJVM_HOME)
    for old in tempbase.glob("vtl_nlog_*.log"):
        old.unlink()
    unset = ["JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME"]
    if not open_input:
        r = wine.run(exe, *args, env={"VANTREL_LOG": "yes"}, winenv=env, unset=unset, timeout=timeout)
        return r, only_log(tempbase).split("\n")
    read_end, write_end = os.pipe()
    try:
        proc = wine.popen(exe, *args, env={"VANTREL_LOG": "yes"}, winenv=env, unset=unset, stdin=read_end,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            out, err = proc.communicate(timeout=timeout)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait(timeout=30)
    finally:
        os.close(read_end)
        os.close(write_end)
    r = Result(proc.returncode, normalise(out), normalise(err))
    return r, only_log(tempbase, r).split("\n")


def test_real_application(wine, probe_launcher, tempbase):
    r, log = run(wine, probe_launcher, tempbase, "/run", "plain", "two words")
    assert r.rc == 0, (r, log)
    assert r.out.splitlines() == ["args=plain|fixed|two words", "probe.value=a b", "from.file=yes",
                                  "isVantrel=true", "noRedir=true", "serviceName=null"], (r, log)
    assert "launch done" in log

    # As the service child (what the service process starts): the service
    # name comes first in the String[], and the runtime hands it to the
    # application as a property, not as an argument.
    r, log = run(wine, probe_launcher, tempbase, "Probe Svc", "p1", "__vtl_restart", open_input=True)
    assert r.rc == 0, (r, log)
    assert "param 5: Probe Svc" in log and "param 6: fixed" in log
    assert r.out.splitlines() == ["args=fixed|p1", "probe.value=a b", "from.file=yes", "isVantrel=true",
                                  "noRedir=null", "serviceName=Probe Svc"], (r, log)

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


H2_JAR = Path("/usr/share/java/h2.jar")
VTLPACK = BUILDNATIVE / "pack" / "vtlpack"
# Every wait is bounded: generous for a loaded 2-core machine.
SERVE_SECONDS = 60
END_SECONDS = 30

# The H2 database server as a user packs it. The stand-in VM is this
# machine's Linux JDK, so the database folder is given in its Unix form (on
# Windows it would be a folder such as C:\data\h2). h2.bindAddress keeps the
# server on the loopback interface. The service's output goes to files in
# the working directory (the executable's folder): a service has no console.
H2_PROJECT = """
[application]
main_class = "org.h2.tools.Server"
executable_type = "service"
service_name = "{name}"
working_directory = "."
vm_options = ["-Dh2.bindAddress=127.0.0.1", "-Xmx64m"]
arguments = ["-tcp", "-tcpPort", "{port}", "-ifNotExists", "-baseDir", "{db}"]

[jvm]
min_version = "1.8"
search = [ {{ type = "bundled", path = 'jre' }} ]

[[classpath]]
type = "archive"
path = 'lib\\h2.jar'
mandatory = true

[redirect]
stdout = "$h2-out.log"
stderr = "$h2-err.log"

[build]
arch = "x86_64"
"""


def free_port(preferred=9123 + IS_32):
    """The preferred loopback port when nobody uses it, else one the system
    picks. The widths prefer different ports: their runs go side by side."""
    for port in (preferred, 0):
        with socket.socket() as s:
            try:
                s.bind(("127.0.0.1", port))
            except OSError:
                continue
            return s.getsockname()[1]
    raise AssertionError("no free loopback port")


def port_open(port):
    with socket.socket() as s:
        s.settimeout(2)
        return s.connect_ex(("127.0.0.1", port)) == 0


def h2_sql(port, sql):
    """Runs SQL through H2's own client on the host JDK; returns its output."""
    r = subprocess.run(["java", "-cp", str(H2_JAR), "org.h2.tools.Shell", "-url",
                        f"jdbc:h2:tcp://127.0.0.1:{port}/vtl", "-user", "sa", "-password", "", "-sql", sql],
                       capture_output=True, text=True, timeout=SERVE_SECONDS)
    assert r.returncode == 0 and "Exception" not in r.stdout + r.stderr, (sql, r.stdout, r.stderr)
    return r.stdout


def rows(output):
    """The rows of a Shell result table, its header first, blanks around
    the cells removed."""
    return [tuple(cell.strip() for cell in line.split("|")) for line in output.splitlines()
            if line and not line.startswith("(")]


class H2App:
    """The H2 server packed with vtlpack into H2Server.exe, beside its
    jar, the launcher runtime and a copy of the stand-in runtime home."""

    def __init__(self, tmp_path, name, port):
        for needed in (H2_JAR, VTLPACK, HOSTJVM_HOME / "bin" / "server" / "jvm.dll", RUNTIME_JAR, HELPER):
            if not needed.exists():
                pytest.fail(f"{needed} is missing; run scripts/setup.sh and build the native and x86_64 trees")
        self.folder = tmp_path / "h2app"
        (self.folder / "lib").mkdir(parents=True)
        (self.folder / ".vantrel").mkdir()
        shutil.copyfile(H2_JAR, self.folder / "lib" / "h2.jar")
        shutil.copyfile(RUNTIME_JAR, self.folder / ".vantrel" / "vtlruntime.jar")
        shutil.copyfile(HELPER, self.folder / ".vantrel" / "vtlinst.dll")
        shutil.copytree(HOSTJVM_HOME, self.folder / "jre")
        self.db = tmp_path / "h2db"
        self.port = port
        project = tmp_path / "h2.toml"
        project.write_text(H2_PROJECT.format(name=name, port=port, db=self.db))
        self.exe = self.folder / "H2Server.exe"
        subprocess.run([str(VTLPACK), "build", str(project), "-o", str(self.exe), "--stub",
                        str(BUILD / "vtlstub.exe")], check=True, capture_output=True, timeout=60)

    def output(self):
        texts = []
        for name in ("h2-out.log", "h2-err.log"):
            path = self.folder / name
            texts.append(f"--- {name} ---\n" + (path.read_text(errors="replace") if path.exists() else "(none)"))
        return "\n".join(texts)

    def wait_serving(self, alive, describe):
        """Until the server accepts connections; fails at once when alive()
        says the launcher has ended."""
        deadline = time.monotonic() + SERVE_SECONDS
        while not port_open(self.port):
            if not alive():
                raise AssertionError("the server ended before it served\n" + describe())
            if time.monotonic() > deadline:
                raise AssertionError(f"no server on port {self.port} within {SERVE_SECONDS} s\n" + describe())
            time.sleep(0.2)

    def wait_gone(self, describe):
        """Until the port is closed and no process of the application is left."""
        deadline = time.monotonic() + END_SECONDS
        while port_open(self.port) or service_processes(self.folder):
            if time.monotonic() > deadline:
                raise AssertionError(f"still open or running after {END_SECONDS} s: port open "
                                     f"{port_open(self.port)}, {service_processes(self.folder)}\n" + describe())
            time.sleep(0.2)


def test_real_server_as_a_service_and_in_the_foreground(wine, services, tmp_path):
    """H2 as a service: it starts with exactly its own arguments (the
    service name does not reach main), serves SQL over loopback, and keeps
    its data across a graceful stop; after each stop its port is closed and
    no process of it is left.

    Then the same executable with /run, as a user tries it first in a
    console: H2 prints "TCP server running at tcp://...:PORT (only local
    connections)" and serves until it is ended. On Windows, Ctrl+C (or
    closing the console) ends the VM the way Java ends on Ctrl+C: shutdown
    hooks run, H2 closes its databases, and the exit code is 130; ending
    the process by force (Task Manager, taskkill /f) runs no hooks, and H2
    keeps every committed row, recovering its file at the next open.
    Console events cannot reach the stand-in VM under Wine, so this test
    ends the process."""
    name = services.name("h2")
    app = H2App(tmp_path, name, free_port())
    base = tmp_path / "servicetemp"
    base.mkdir()
    logs = ServiceLogs(base)

    def service_state():
        return (app.output() + "\n--- service log ---\n" + "\n".join(logs.service())
                + "\n--- child log ---\n" + "\n".join(logs.child()))

    def service_alive():
        return "exiting" not in logs.service()

    def start():
        for path in list(base.glob("vtl_nlog_*.log")) + [app.folder / "h2-out.log", app.folder / "h2-err.log"]:
            path.unlink(missing_ok=True)
        r = wine.run(app.exe, "/start")
        assert (r.rc, r.out) == (0, f"Starting service '{name}'.\n"), r
        app.wait_serving(service_alive, service_state)
        assert service_processes(app.folder), "the process scan does not see the running service"

    def stop():
        r = wine.run(app.exe, "/stop", timeout=120)
        assert (r.rc, r.out) == (0, f"Stopping service '{name}'.\nService stopped\n"), (r, service_state())
        app.wait_gone(service_state)

    r = wine.run(app.exe, "/install")
    assert (r.rc, r.out) == (0, f"Installed service '{name}'.\n"), r
    # The same command line the SCM would use, behind envrun so that both
    # logs land in base.
    services.set_path(name, logged_command(app.exe, base))
    try:
        assert service_processes(app.folder) == []
        start()
        child = logs.child()
        assert f"param 5: {name}" in child and "param 6: -tcp" in child, "\n".join(child)
        assert h2_sql(app.port, "CREATE TABLE notes(id INT PRIMARY KEY, text VARCHAR(40)); "
                      "INSERT INTO notes VALUES (1, 'kept'), (2, 'across a stop')")
        assert "TCP server running at tcp://" in (app.folder / "h2-out.log").read_text(), service_state()
        stop()
        start()
        assert rows(h2_sql(app.port, "SELECT id, text FROM notes ORDER BY id")) == [
            ("ID", "TEXT"), ("1", "kept"), ("2", "across a stop")]
        stop()
    finally:
        if port_open(app.port):
            wine.run(app.exe, "/stop", timeout=120)
        r = wine.run(app.exe, "/uninstall", timeout=120)
    assert (r.rc, r.out) == (0, f"Service is already stopped.\nUninstalled service '{name}'.\n"), r

    proc = wine.popen(app.exe, "/run", stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                      cwd=app.folder)
    try:
        app.wait_serving(lambda: proc.poll() is None, lambda: f"/run ended with exit code {proc.poll()}")
        counted = rows(h2_sql(app.port, "SELECT COUNT(*) FROM notes"))
    finally:
        proc.kill()
        out, err = (normalise(data) for data in proc.communicate(timeout=END_SECONDS))
        print(f"--- /run output ---\n{out}\n--- /run errors ---\n{err}")  # shown when the test fails
    assert counted == [("COUNT(*)",), ("2",)]
    assert any(line.startswith("TCP server running at tcp://") and f":{app.port} (only local connections)" in line
               for line in out.splitlines())
    app.wait_gone(lambda: "")


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


# --- Class-data sharing: the launcher keeps an archive (Java 13-24) or an
# ahead-of-time cache (Java 25 on) per runtime and configuration, in the
# user's local application data, and hands it to the VM from the second
# start on. The VM says where each class came from (-Xlog:class+load).

SHARED = re.compile(r"\bProbe source: shared objects file")


def host_java(feature):
    """A host JDK of this feature version under /usr/lib/jvm, or None."""
    for release in sorted(Path("/usr/lib/jvm").glob("*/release")):
        text = release.read_text(errors="replace")
        found = re.search(r'^JAVA_VERSION="(\d+)', text, re.M)
        java = release.parent / "bin" / "java"
        if found and int(found.group(1)) == feature and java.exists():
            return java
    return None


class SharingApp:
    """The probe as a jar (archives record jars, not class folders), packed
    with class_data_sharing = "auto", a cache folder of its own, and the
    host JDK of the given feature version behind the stand-in runtime."""

    def __init__(self, wine, make_launcher, tmp_path, tempbase, java=None, name="shared.exe", config=None):
        self.wine = wine
        self.tempbase = tempbase
        self.java = java
        self.app = tmp_path / "sharing"
        classes = tmp_path / "sharing-classes"
        classes.mkdir(parents=True)
        source = tmp_path / "Probe.java"
        source.write_text(PROBE)
        subprocess.run(["javac", "--release", "8", "-d", str(classes), str(source)], check=True)
        (self.app / "lib").mkdir(parents=True)
        self.jar = self.app / "lib" / "probe.jar"
        subprocess.run(["jar", "cf", str(self.jar), "-C", str(classes), "."], check=True)
        (self.app / ".vantrel").mkdir()
        shutil.copyfile(RUNTIME_JAR, self.app / ".vantrel" / "vtlruntime.jar")
        shutil.copyfile(HELPER, self.app / ".vantrel" / "vtlinst.dll")
        # A home of its own: the version cache knows a runtime by its
        # java.exe, and the host JDK behind this one may differ.
        self.home = tmp_path / "jdk"
        shutil.copytree(HOSTJVM_HOME, self.home, symlinks=True)
        self.cache = tmp_path / "LocalAppData"
        self.cache.mkdir()
        values = {107: "4", 2001: "v", 10003: ".", 122: "Probe", 121: "A1lib\\probe.jar", 124: "fixed",
                  123: "-Xmx64m -Xlog:class+load=info", 190: "1"}
        for key, value in (config or {}).items():
            if value is None:
                values.pop(key)
            else:
                values[key] = value
        self.exe = make_launcher(values, messages={1009: "internal {0}"}, name=name, directory=self.app)

    def folder(self):
        """The application's folder in the cache (the one below Vantrel\\cds)."""
        folders = list((self.cache / "Vantrel" / "cds").iterdir())
        assert len(folders) == 1, folders
        return folders[0]

    def files(self, pattern="*"):
        return sorted(p.name for p in self.folder().glob(pattern))

    def command(self, *args):
        env = temp_env(self.wine, self.tempbase)
        env["VANTREL_JAVA_HOME"] = self.wine.winpath(self.home)
        env["LOCALAPPDATA"] = self.wine.winpath(self.cache)
        unix = {"VANTREL_LOG": "yes"}
        if self.java:
            unix["VTL_HOST_JAVA"] = str(self.java)
        return env, unix

    def run(self, *args):
        env, unix = self.command()
        for old in self.tempbase.glob("vtl_nlog_*.log"):
            old.unlink()
        r = self.wine.run(self.exe, "/run", *args, env=unix, winenv=env,
                          unset=["JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME"], timeout=180)
        log = only_log(self.tempbase, r).split("\n")
        return r, [l for l in log if l.startswith("class data sharing: ")], log

    def application_output(self, r):
        return [l for l in r.out.splitlines() if not l.startswith("[")]


def assert_plain_run(r, log):
    assert r.rc == 0, (r, log)
    assert [l for l in r.out.splitlines() if l.startswith("args=")] == ["args=plain|fixed"], (r, log)


@pytest.mark.parametrize("feature", [17, 25])
def test_class_data_sharing_second_start_maps_the_archive(wine, make_launcher, tmp_path, tempbase, feature):
    java = host_java(feature)
    if java is None:
        pytest.skip(f"no Java {feature} runtime under /usr/lib/jvm (its 'release' file names the version)")
    app = SharingApp(wine, make_launcher, tmp_path, tempbase, java=java)
    extension = ".aot" if feature >= 25 else ".jsa"

    # First start: the VM writes the archive at exit, under a name of its own.
    r, lines, log = app.run("plain")
    assert_plain_run(r, log)
    # (Java 25 writes the cache in a second VM, whose own class loading
    # shows up in the output too.)
    assert feature >= 25 or not SHARED.search(r.out), r.out
    writing = [l for l in lines if l.startswith("class data sharing: the VM writes ")]
    assert len(writing) == 1, lines
    scratch = writing[0].split("\\")[-1].split(" ")[0]
    assert re.fullmatch(rf"java{feature}-[0-9a-f]{{12}}\.\d+\.tmp", scratch), scratch
    assert app.files("*.tmp") == [scratch], app.files()
    if feature >= 25:
        # Writing the cache, the VM reports each step on standard output:
        # none of that reaches the application's output.
        assert [l.split("=")[0] for l in app.application_output(r)] == [
            "args", "probe.value", "from.file", "isVantrel", "noRedir", "serviceName"], r.out

    # Second start: the finished file is moved into place and mapped.
    r, lines, log = app.run("plain")
    assert_plain_run(r, log)
    stem = scratch.split(".")[0]
    archives = app.files("*" + extension)
    assert len(archives) == 1 and archives[0].startswith(stem + "."), app.files()
    size = (app.folder() / archives[0]).stat().st_size
    assert archives[0] == f"{stem}.{size}{extension}"
    assert any(l.startswith(f"class data sharing: moved {scratch} into place as ") for l in lines), lines
    assert f"class data sharing: using {wine.winpath(app.folder() / archives[0])}" in lines
    assert SHARED.search(r.out), (r.out, lines)
    assert app.files("*.tmp") == []

    # The application's jar changes: a new file, the old one is kept beside
    # it (the newest few configurations stay).
    time.sleep(1.1)
    app.jar.write_bytes(app.jar.read_bytes())
    r, lines, log = app.run("plain")
    assert_plain_run(r, log)
    new = [l for l in lines if l.startswith("class data sharing: the VM writes ")]
    assert len(new) == 1 and stem not in new[0], lines
    assert archives[0] in app.files()


def test_class_data_sharing_never_costs_the_application_its_start(wine, make_launcher, tmp_path, tempbase):
    """A cut archive, a folder nobody may write, two first starts at once:
    each start runs the application; sharing is off for it if need be."""
    app = SharingApp(wine, make_launcher, tmp_path, tempbase)
    r, lines, log = app.run("plain")
    assert_plain_run(r, log)
    r, lines, log = app.run("plain")
    assert SHARED.search(r.out), lines
    archive = [name for name in app.files() if name.endswith(".jsa")][0]

    # Cut: a VM handed this file would crash. The size its name records
    # tells; the file goes and the start writes a new one.
    path = app.folder() / archive
    path.chmod(0o644)
    path.write_bytes(path.read_bytes()[:5000])
    r, lines, log = app.run("plain")
    assert_plain_run(r, log)
    assert f"class data sharing: {archive} is damaged or cut" in lines
    assert f"class data sharing: removed {archive}" in lines
    assert any(l.startswith("class data sharing: the VM writes ") for l in lines), lines
    assert not SHARED.search(r.out)

    # Two first starts at once (a new configuration): one writes, the other
    # runs without sharing, and both run the application.
    time.sleep(1.1)
    app.jar.write_bytes(app.jar.read_bytes())
    env, unix = app.command()
    for old in tempbase.glob("vtl_nlog_*.log"):
        old.unlink()
    procs = [wine.popen(app.exe, "/run", "plain", env=unix, winenv=env, stdout=subprocess.PIPE,
                        stderr=subprocess.PIPE) for _ in range(2)]
    outs = [p.communicate(timeout=180) for p in procs]
    assert [p.returncode for p in procs] == [0, 0], outs
    for out, _ in outs:
        assert "args=plain|fixed" in normalise(out).splitlines()
    logs = "\n".join(Path(p).read_text(encoding="utf-8-sig") for p in tempbase.glob("vtl_nlog_*.log"))
    assert logs.count("class data sharing: the VM writes ") == 1, logs
    assert logs.count("class data sharing: another start is writing the archive; none this time") == 1, logs

    # A cache folder nobody may write (immutable even for root): the
    # application runs, without sharing.
    folder = app.folder()
    for p in folder.iterdir():
        p.chmod(0o644)
        p.unlink()
    subprocess.run(["chattr", "+i", str(folder)], check=True)
    try:
        r, lines, log = app.run("plain")
    finally:
        subprocess.run(["chattr", "-i", str(folder)], check=True)
    assert_plain_run(r, log)
    assert not SHARED.search(r.out)
    assert any(l.startswith("class data sharing: cannot write in ") for l in lines), lines
    assert list(folder.iterdir()) == []


def test_class_data_sharing_stays_out_of_the_way(wine, make_launcher, tmp_path, tempbase):
    """Off by default; an option of the application's own decides; a
    runtime too old for it gets nothing."""
    app = SharingApp(wine, make_launcher, tmp_path, tempbase, config={190: None})
    r, lines, log = app.run("plain")
    assert_plain_run(r, log)
    assert lines == [] and not (app.cache / "Vantrel").exists()
    assert not any("SharedArchive" in l or "AOTCache" in l for l in log if l.startswith("vmoption "))

    own = SharingApp(wine, make_launcher, tmp_path / "own", tempbase,
                     config={123: "-Xmx64m -Xshare:off -Xlog:class+load=info"})
    r, lines, log = own.run("plain")
    assert_plain_run(r, log)
    assert lines == ["class data sharing: left to the option -Xshare:off"], lines


def test_real_vm_rolls_a_shared_redirection_file_without_losing_or_splitting_a_line(wine, make_launcher, tmp_path,
                                                                                   tempbase):
    """Four threads write numbered lines to System.out and System.err, both
    redirected into one file that rolls at 1 MB: 3.6 MB in all, so the
    file rolls three times; every number is there once, no line is split,
    no file holds more than 1 MB and one line."""
    exe = build_probe(make_launcher, tmp_path, config={146: ".", 102: "1", 103: "$both.log", 104: "1",
                                                       105: "$both.log", 183: str(1 << 20), 184: "8"})
    threads, per_thread, length = 4, 9000, 100
    r, log = run(wine, exe, tempbase, "/run-redirect", "lines", str(threads), str(per_thread), str(length),
                 timeout=300)
    assert (r.rc, r.out, r.err) == (0, "", ""), (r, log)
    assert any(l.endswith(": -Dvantrel.redirect.maxSize=1048576") for l in log), log
    numbers, files = check_rolled_lines(exe.parent / "both.log", 1 << 20, 8, length)
    assert files >= 4
    assert numbers == set(range(threads * per_thread))


def test_real_vm_restarted_by_the_service_then_given_up(wine, make_launcher, services, tmp_path):
    """The application calls System.exit(3): the service starts it again
    after 1 and 2 s, then gives up; the SCM sees the code."""
    name = services.name("jvm")
    exe = build_probe(make_launcher, tmp_path, config={101: name, 124: "exit 3", 171: "on-failure", 172: "1",
                                                       175: "2"})
    base = tmp_path / "servicetemp"
    base.mkdir()
    r = wine.run(exe, "/install")
    assert r.rc == 0, r
    services.set_path(name, logged_command(exe, base, variables={"VANTREL_JAVA_HOME": winpath(HOSTJVM_HOME)},
                                           unset=("JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME")))
    events = event_log_offset()
    services.start(name)
    services.wait_state(name, 1, 300)
    status = services.query(name)
    assert (status["exit"], status["specific"]) == (1066, 3), status
    lines = service_log(exe.parent / "probe.service.log")
    app = [line.text for line in lines if line.tag == "[app]"]
    assert app.count("args=exit|3") == 3, app
    own = [line.text for line in lines if line.tag == "[service]"]
    assert [line for line in own if line.startswith("the application ended")] == [
        "the application ended with exit code 3; restart 1 of 2 in 1 s",
        "the application ended with exit code 3; restart 2 of 2 in 2 s",
        f"the application ended with exit code 3; giving up after 2 restarts; the service stops and reports the "
        f"failure (its last output: {app[-1]})"], own
    assert event_log_entries(events) == [own[-2]]
    assert service_processes(exe.parent) == []

    # A VM that cannot start: its own reason is in the service log, where
    # it used to be thrown away.
    exe.parent.joinpath("probe.service.log").unlink()
    exe = make_launcher({**PROBE_CONFIG, 101: name, 123: "-Xmx99999999g"}, name="probe.exe", directory=exe.parent)
    events = event_log_offset()
    services.start(name)
    services.wait_state(name, 1, 300)
    status = services.query(name)
    assert (status["exit"], status["specific"]) == (1066, 1), status
    lines = service_log(exe.parent / "probe.service.log")
    app = [line.text for line in lines if line.tag == "[app]"]
    assert app[0] == "Error occurred during initialization of VM", app
    assert app[1].startswith("Could not reserve enough space for ") and app[1].endswith("object heap"), app
    assert event_log_entries(events) == [
        f"the application ended with exit code 1; the service stops and reports the failure (its last output: "
        f"{app[-1]})"]
