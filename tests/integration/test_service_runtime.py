"""The service runtime under Wine's SCM: the service process starts the
launcher again as its child, which runs the application on the recording
test runtime; a stop request becomes the line "0" on the child's standard
input. The logs of both processes and the runtime's trace are the oracle
(see svc_helpers.py for how the log reaches a service process)."""
import re
import subprocess
import sys
import time

from svc_helpers import (RUNNING, STOP_PENDING, STOPPED, ServiceLogs, in_order, keepalive,  # noqa: F401
                         logged_command, service_processes, services, winpath)
from vtltest import ROOT

sys.path.insert(0, str(ROOT / "testrt"))
from homes import make_home  # noqa: E402

# Errors on standard error (executable type 4, which also makes "install"
# an automatic start), vantrel family.
BASE_CONFIG = {107: "4", 2001: "v", 122: "com.example.Main"}
# The JVM search reads these too; only VANTREL_JAVA_HOME is set.
OTHER_SEARCH_VARIABLES = ("JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME")
PRIORITY_KEY = r"HKLM\SOFTWARE\brevane\morlin\priority"


class ServiceApp:
    """A launcher installed as a service over a recording runtime home,
    registered behind envrun so that its log lands in `base`."""

    def __init__(self, wine, make_launcher, services, tmp_path, script, name=None, directory=None,
                 own_tail="", quoted=True, config=None):
        self.wine = wine
        self.services = services
        self.home = make_home(tmp_path / "jre", script=script)
        self.name = name or services.name()
        self.exe = make_launcher({**BASE_CONFIG, 101: self.name, **(config or {})}, directory=directory)
        self.base = tmp_path / "servicetemp"
        self.base.mkdir(exist_ok=True)
        self.logs = ServiceLogs(self.base)
        r = wine.run(self.exe, "/install")
        assert (r.rc, r.out) == (0, f"Installed service '{self.name}'.\n"), r.err
        command = logged_command(self.exe, self.base, own_tail, {"VANTREL_JAVA_HOME": self.home.winpath()},
                                 unset=OTHER_SEARCH_VARIABLES)
        if not quoted:
            command = command.replace(f'"{winpath(self.exe)}"', winpath(self.exe))
        services.set_path(self.name, command)

    def command(self, word):
        return self.wine.run(self.exe, word)

    def wait_main(self):
        """Until the child has called the application's main."""
        self.logs.wait_child_line("calling main")

    def wait_exit(self):
        """Until the service process is about to end."""
        self.logs.wait_service_line("exiting")

    def clear_logs(self):
        for path in self.base.glob("vtl_nlog_*.log"):
            path.unlink()


def test_stop_request_reaches_the_application_and_stops_the_service(wine, make_launcher, services, tmp_path):
    app = ServiceApp(wine, make_launcher, services, tmp_path,
                     script={"main": "wait-stop", "stop_action": "exit", "main_exit_code": 3})
    r = app.command("/start")
    assert (r.rc, r.out) == (0, f"Starting service '{app.name}'.\n")
    app.wait_main()
    r = app.command("/status")
    assert (r.rc, r.out) == (0, "Running.\nAuto-start.\n")

    # Interrogate: the status again, nothing for the child.
    r = services.tool("control", app.name, "4")
    assert r.out == "ok state=4\n", r
    app.logs.wait_service_line("control handler request 4")
    assert not any(l.startswith("sending shutdown") for l in app.logs.service())
    assert not app.home.trace().calls("stdin-line")

    r = app.command("/stop")
    assert (r.rc, r.out) == (0, f"Stopping service '{app.name}'.\nService stopped\n")
    app.wait_exit()
    trace = app.home.trace()
    assert [line.args for line in trace.calls("stdin-line")] == [["0"]]
    assert [line.args for line in trace.calls("stdin-stop")] == [["0"]]
    assert trace.first("main-result").args == ["exit", 3]

    service = app.logs.service()
    assert in_order(service, ["calling StartServiceCtrlDispatcher", "service main",
                              f"service name is '{app.name}'", "registering ConsoleCtrlHandler",
                              "control handler request 4", "control handler request 1", "sending shutdown1 0",
                              "shutdown sent", "process terminated with exit code 3", "service stopped set",
                              "exiting"]), "\n".join(service)
    assert in_order(service, ["consuming output", "consuming output done"]), "\n".join(service)
    assert not any(l.startswith("using priority") for l in service)

    child = app.logs.child()
    assert f"command line2 {winpath(app.exe)} {app.name} __vtl_restart" in child
    assert in_order(child, ["registering ConsoleCtrlHandler", "service: adding -Xrs", "calling main"])
    assert any(re.fullmatch(r"vmoption \d+: -Dmorlin.isService=true", l) for l in child)

    r = app.command("/status")
    assert (r.rc, r.out) == (3, "Not running.\nAuto-start.\n")
    assert services.query(app.name)["state"] == STOPPED
    assert services.query(app.name)["exit"] == 0


def test_stopped_is_reported_only_after_the_child_has_ended(wine, make_launcher, services, tmp_path):
    # After the line, main returns and DestroyJavaVM waits 2 s for a
    # non-daemon thread; the service stays stop-pending all that time.
    app = ServiceApp(wine, make_launcher, services, tmp_path,
                     script={"main": "wait-stop", "stop_action": "return", "destroy_wait_ms": 2000})
    services.start(app.name)
    app.wait_main()
    stop = wine.popen(app.exe, "/stop", stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    app.logs.wait_service_line("shutdown sent")
    status = services.query(app.name)
    assert status["state"] == STOP_PENDING, status
    assert "process terminated with exit code 0" not in app.logs.service()

    # While stop-pending the SCM itself refuses a second stop (1061), and
    # it never passes a shutdown on from ControlService (87): the handler's
    # answer to repeated requests is covered by the unit tests.
    r = services.tool("control", app.name, "1")
    assert r.out.startswith("error=1061 "), r
    out, _ = stop.communicate(timeout=60)
    assert out.decode().replace("\r\n", "\n") == f"Stopping service '{app.name}'.\nService stopped\n"
    app.wait_exit()
    service = app.logs.service()
    assert in_order(service, ["sending shutdown1 0", "shutdown sent", "process terminated with exit code 0",
                              "service stopped set", "exiting"]), "\n".join(service)
    assert service.count("sending shutdown1 0") == 1
    assert service.count("control handler request 1") == 1
    assert app.home.trace().first("DestroyJavaVM").args[0] >= 2000


def test_child_ending_with_zero_on_its_own_stops_the_service(wine, make_launcher, services, tmp_path):
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "return"})
    services.start(app.name)
    app.wait_exit()
    services.wait_state(app.name, STOPPED)
    service = app.logs.service()
    assert in_order(service, ["process terminated with exit code 0", "service stopped set", "exiting"])
    assert not any(l.startswith("control handler request") for l in service)
    r = app.command("/status")
    assert (r.rc, r.out) == (3, "Not running.\nAuto-start.\n")


def test_child_failing_on_its_own_is_reported_with_its_exit_code(wine, make_launcher, services, tmp_path):
    # The SCM must hear of the failure (service-specific error, the child's
    # code) so that recovery actions such as a restart can run.
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "exit", "main_exit_code": 7})
    services.start(app.name)
    app.wait_exit()
    services.wait_state(app.name, STOPPED)
    status = services.query(app.name)
    assert (status["exit"], status["specific"]) == (1066, 7), status
    service = app.logs.service()
    assert in_order(service, ["process terminated with exit code 7", "service stopped set", "exiting"])
    r = app.command("/status")
    assert (r.rc, r.out) == (3, "Not running.\nAuto-start.\n")


def test_child_command_line_quotes_blanks_and_carries_the_start_parameters(wine, make_launcher, services,
                                                                           tmp_path):
    name = services.name(" run svc ")
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "return"}, name=name,
                     directory=tmp_path / "app dir", own_tail=' own1 "own 2"')
    services.start(app.name, "p1", "p 2")
    app.wait_exit()
    child = app.logs.child()
    expected = f'command line2 "{winpath(app.exe)}" "{name}" own1 "own 2" p1 "p 2" __vtl_restart'
    assert expected in child, "\n".join(l for l in child if l.startswith("command line2"))
    assert f"service name is '{name}'" in app.logs.service()
    assert app.home.trace().main_args()[-5:] == [name, "own1", "own 2", "p1", "p 2"]


def test_apostrophe_folder_and_quoted_start_parameters_reach_the_child_whole(wine, make_launcher, services,
                                                                            tmp_path):
    # The splitter groups on ' and " alike: each text must travel wrapped in
    # the quote it does not contain, or the restart marker is swallowed and
    # the child turns into a second service process.
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "return"},
                     directory=tmp_path / "O'Brien")
    # (An empty start parameter is covered by the unit tests: Wine's SCM
    # passes start parameters as one NUL-separated block, so an empty one
    # ends the list there.)
    services.start(app.name, 'say "hi"', "it's")
    app.wait_exit()
    services.wait_state(app.name, STOPPED)
    assert services.query(app.name)["exit"] == 0
    child = app.logs.child()
    expected = f"""command line2 "{winpath(app.exe)}" {app.name} 'say "hi"' "it's" __vtl_restart"""
    assert expected in child, "\n".join(l for l in child if l.startswith("command line2"))
    assert "calling main" in child
    assert app.home.trace().main_args()[-3:] == [app.name, 'say "hi"', "it's"]


def test_start_parameter_with_both_quotes_is_refused_and_reported(wine, make_launcher, services, tmp_path):
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "return"})
    services.start(app.name, "it's \"x\"")
    services.wait_state(app.name, STOPPED)
    status = services.query(app.name)
    assert (status["exit"], status["specific"]) == (1066, 5000), status
    assert ("ERROR: service child argument holds both ' and \" and cannot be passed on: it's \"x\""
            in app.logs.service()), "\n".join(app.logs.service())
    assert app.logs.child() == []


def test_stop_ignored_by_the_application_ends_it_after_the_stop_timeout(wine, make_launcher, services, tmp_path):
    # main sleeps and never reads its input: the stop line goes unheard.
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "return", "main_delay_ms": 600000},
                     config={170: "3"})
    services.start(app.name)
    app.wait_main()
    stop = wine.popen(app.exe, "/stop", stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    app.logs.wait_service_line("shutdown sent")
    first = services.query(app.name)
    time.sleep(2.5)
    second = services.query(app.name)
    # While it waits, the stop is seen to move.
    assert first["state"] == second["state"] == STOP_PENDING, (first, second)
    assert second["checkpoint"] > first["checkpoint"], (first, second)
    out, _ = stop.communicate(timeout=60)
    assert out.decode().replace("\r\n", "\n") == f"Stopping service '{app.name}'.\nService stopped\n"
    # The process is gone when it says it has stopped (an upgrade may
    # replace the executable at once), and nothing it started is left.
    deadline = time.monotonic() + 2
    while service_processes(tmp_path / "app") and time.monotonic() < deadline:
        time.sleep(0.1)
    assert service_processes(tmp_path / "app") == []
    status = services.query(app.name)
    assert (status["state"], status["exit"]) == (STOPPED, 1053), status
    service = app.logs.service()
    assert in_order(service, ["sending shutdown1 0", "shutdown sent",
                              "ERROR: the application did not end within 3 seconds of the stop request; ending it "
                              "and every process it started",
                              "process terminated with exit code 1", "service stopped set", "exiting"]), \
        "\n".join(service)
    assert app.home.trace().calls("main-result") == []


def test_child_priority_from_the_registry(wine, make_launcher, services, tmp_path):
    # Wine 8 ignores priority classes given to CreateProcess (the child
    # always reads back as normal), so what shows here is the value read,
    # the values ignored, and that the child runs.
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "wait-stop"})

    def run_once():
        app.clear_logs()
        services.start(app.name)
        app.wait_main()
        r = app.command("/stop")
        assert (r.rc, r.out) == (0, f"Stopping service '{app.name}'.\nService stopped\n")
        app.wait_exit()
        return app.logs.service()

    def priority_lines(service):
        return [l for l in service if l.startswith(("using priority", "ERROR: priority"))]

    try:
        wine.reg("add", PRIORITY_KEY, "/v", app.name, "/t", "REG_DWORD", "/d", "0x4000", "/f")
        assert priority_lines(run_once()) == ["using priority 16384"]

        # A value of another size is ignored.
        wine.reg("add", PRIORITY_KEY, "/v", app.name, "/t", "REG_QWORD", "/d", "0x4000", "/f")
        assert priority_lines(run_once()) == []
        wine.reg("add", PRIORITY_KEY, "/v", app.name, "/t", "REG_BINARY", "/d", "0040", "/f")
        assert priority_lines(run_once()) == []

        # Flags that name no priority class (here CREATE_SUSPENDED) never
        # reach the child's creation: the child runs all the same.
        wine.reg("add", PRIORITY_KEY, "/v", app.name, "/t", "REG_DWORD", "/d", "0x4", "/f")
        assert priority_lines(run_once()) == [
            "using priority 4", "ERROR: priority value 4 holds flags that are not a priority class; they are ignored"]
    finally:
        wine.reg("delete", PRIORITY_KEY, "/v", app.name, "/f")

    assert priority_lines(run_once()) == []


def test_overlong_child_command_line_is_refused_and_reported(wine, make_launcher, services, tmp_path):
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "return"})
    services.start(app.name, *(["x" * 4500] * 3))
    services.wait_state(app.name, STOPPED)
    status = services.query(app.name)
    assert (status["exit"], status["specific"]) == (1066, 5000), status
    service = app.logs.service()
    assert "ERROR: service child command line longer than 11999 characters" in service, "\n".join(service)
    assert app.logs.child() == []


def test_child_that_cannot_be_started_is_reported_stopped(wine, make_launcher, services, tmp_path):
    # Registered without quotes below a folder named "it's": the command line
    # splitter takes the apostrophe for a quote, so the child's path names
    # a folder that does not exist.
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "return"},
                     directory=tmp_path / "it's", quoted=False)
    services.start(app.name)
    services.wait_state(app.name, STOPPED)
    status = services.query(app.name)
    assert (status["exit"], status["specific"]) == (1066, 5000), status
    missing = winpath(app.exe).replace("it's", "its")
    service = app.logs.service()
    assert any(re.fullmatch(re.escape(f"could not start process {missing} {app.name} __vtl_restart") + r" \(\d+\)", l)
               for l in service), "\n".join(service)
    assert "process terminated" not in "\n".join(service)
