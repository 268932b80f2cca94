"""The service runtime under Wine's SCM: the service process starts the
launcher again as its child, which runs the application on the recording
test runtime; a stop request becomes the line "0" on the child's standard
input. The logs of both processes and the runtime's trace are the oracle
(see svc_helpers.py for how the log reaches a service process)."""
import datetime
import re
import subprocess
import sys
import time

from svc_helpers import (RUNNING, STOP_PENDING, STOPPED, ServiceLogs, event_log_entries,  # noqa: F401
                         event_log_offset, in_order, keepalive, logged_command, own_lines, service_log,
                         service_processes, services, wait_for, winpath)
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

    def service_log(self, name=None, final=True):
        """The service log: by default beside the executable, named after it."""
        return service_log(self.exe.parent / (name or self.exe.stem + ".service.log"), final)


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


# Generous for the 32-bit emulator: each application start there takes
# seconds, not tenths.
RESTART_SECONDS = 240


def restart_config(mode, delay=1, limit=3, more=None):
    config = {171: mode, 172: str(delay), 175: str(limit)}
    config.update({key: str(value) for key, value in (more or {}).items()})
    return config


def restart_waits(lines):
    """Seconds from each restart decision to the next start of the
    application, read from the time stamps of the service log."""
    found = []
    for i, line in enumerate(lines):
        if line.tag == "[service]" and "; restart " in line.text:
            following = [l for l in lines[i + 1:] if l.tag == "[service]" and l.text.startswith("application started")]
            assert following, f"no start after {line}"
            found.append((following[0].time - line.time).total_seconds())
    return found


def test_failing_application_is_restarted_with_doubling_delays_then_given_up(wine, make_launcher, services,
                                                                             tmp_path):
    # The application writes a line and exits with 3 after two seconds;
    # restarts after 1, 2 and 4 s, then the service gives up and reports
    # the failure to the SCM (so its own recovery can run) and the event log.
    app = ServiceApp(wine, make_launcher, services, tmp_path,
                     script={"main": "exit", "main_exit_code": 3, "main_delay_ms": 2000,
                             "main_stdout": "working on it\r\n", "main_stderr": "lost the database\r\n"},
                     config=restart_config("on-failure", delay=1, limit=3, more={173: 300}))
    events = event_log_offset()
    services.start(app.name)
    services.wait_state(app.name, STOPPED, RESTART_SECONDS)
    status = services.query(app.name)
    assert (status["exit"], status["specific"]) == (1066, 3), status
    assert len(app.home.trace().processes()) == 4

    lines = app.service_log()
    own = own_lines(lines)
    give_up = ("the application ended with exit code 3; giving up after 3 restarts; the service stops and reports "
               "the failure (its last output: lost the database)")
    expected = [f"service '{app.name}' started", "application started",
                "the application ended with exit code 3; restart 1 of 3 in 1 s", "application started",
                "the application ended with exit code 3; restart 2 of 3 in 2 s", "application started",
                "the application ended with exit code 3; restart 3 of 3 in 4 s", "application started",
                give_up, f"service '{app.name}' stopped (Win32 exit code 1066, service-specific exit code 3)"]
    assert [next((e for e in expected if line.startswith(e)), line) for line in own] == expected, "\n".join(own)
    # Each restart waited its delay before the application started again.
    waited = restart_waits(lines)
    assert len(waited) == 3 and all(w >= d - 0.05 for w, d in zip(waited, (1, 2, 4))), waited
    # What the application wrote is there, each time, in order with the service's lines.
    app_lines = [line.text for line in lines if line.tag == "[app]"]
    assert app_lines == ["working on it", "lost the database"] * 4, app_lines
    assert event_log_entries(events) == [give_up]
    service = app.logs.service()
    assert service.count("process terminated with exit code 3") == 4
    assert in_order(service, ["service stopped set", "exiting"])


def test_stop_during_a_restart_delay_stops_at_once(wine, make_launcher, services, tmp_path):
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "exit", "main_exit_code": 9},
                     config=restart_config("on-failure", delay=120))
    services.start(app.name)
    wait_for(lambda: any("restart 1 of 3 in 120 s" in line for line in own_lines(app.service_log(final=False))),
             RESTART_SECONDS, "the first restart delay")
    assert services.query(app.name)["state"] == RUNNING
    started = time.monotonic()
    r = app.command("/stop")
    assert (r.rc, r.out) == (0, f"Stopping service '{app.name}'.\nService stopped\n")
    assert time.monotonic() - started < 30
    status = services.query(app.name)
    assert (status["state"], status["exit"], status["specific"]) == (STOPPED, 0, 0), status
    own = own_lines(app.service_log())
    assert own[-3:] == ["stop requested: stopping the application",
                        "stop requested during the restart delay; the application is not started again",
                        f"service '{app.name}' stopped"], own
    assert len(app.home.trace().processes()) == 1
    # The request found no child and was kept; nothing was written anywhere.
    assert "no shutdown channel yet, request 0 kept until the child runs" in app.logs.service()


def test_always_restarts_an_application_that_ended_with_zero(wine, make_launcher, services, tmp_path):
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "return"},
                     config=restart_config("always", delay=1, limit=2))
    services.start(app.name)
    services.wait_state(app.name, STOPPED, RESTART_SECONDS)
    status = services.query(app.name)
    assert (status["exit"], status["specific"]) == (0, 0), status
    own = own_lines(app.service_log())
    assert [line for line in own if line.startswith("the application ended")] == [
        "the application ended with exit code 0; restart 1 of 2 in 1 s",
        "the application ended with exit code 0; restart 2 of 2 in 2 s",
        "the application ended with exit code 0; giving up after 2 restarts; the service stops"], own
    assert len(app.home.trace().processes()) == 3


def test_service_log_holds_the_vms_start_up_error_and_the_event_log_the_give_up(wine, make_launcher, services,
                                                                                tmp_path):
    # No restart policy: the service ends with the application, as always,
    # but what the VM said is no longer thrown away.
    app = ServiceApp(wine, make_launcher, services, tmp_path,
                     script={"create_result": -1, "create_stderr": "Error occurred during initialization of VM\r\n"
                             "Could not reserve enough space for object heap\r\n"})
    events = event_log_offset()
    services.start(app.name)
    services.wait_state(app.name, STOPPED, RESTART_SECONDS)
    status = services.query(app.name)
    assert (status["exit"], status["specific"]) == (1066, 1), status
    lines = app.service_log()
    app_lines = [line.text for line in lines if line.tag == "[app]"]
    assert app_lines[:2] == ["Error occurred during initialization of VM",
                             "Could not reserve enough space for object heap"], app_lines
    give_up = [line for line in own_lines(lines) if line.startswith("the application ended")]
    assert len(give_up) == 1 and give_up[0].startswith(
        "the application ended with exit code 1; the service stops and reports the failure (its last output: "), \
        own_lines(lines)
    assert give_up[0].endswith(f"(its last output: {app_lines[-1]})")
    assert event_log_entries(events) == give_up
    # The time stamps are this run's.
    assert abs((lines[0].time - datetime.datetime.now()).total_seconds()) < 600


def test_service_log_rolls_and_a_log_that_cannot_be_written_stops_nothing(wine, make_launcher, services, tmp_path):
    output = "".join(f"line {n:04d} of the application's output\r\n" for n in range(300))
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "return", "main_stdout": output},
                     config={180: "logs\\svc.log", 181: "4096", 182: "2"})
    services.start(app.name)
    services.wait_state(app.name, STOPPED, RESTART_SECONDS)
    folder = app.exe.parent / "logs"
    assert sorted(p.name for p in folder.iterdir()) == ["svc.1.log", "svc.2.log", "svc.log"]
    kept = []
    for name in ("svc.2.log", "svc.1.log", "svc.log"):
        path = folder / name
        assert path.stat().st_size <= 4096, name
        kept += app.service_log(f"logs/{name}")
    # The newest lines are all there, whole and in order; older ones rolled off.
    numbers = [int(line.text.split()[1]) for line in kept if line.tag == "[app]"]
    assert numbers == list(range(numbers[0], 300)) and numbers[0] > 0, numbers
    assert own_lines(kept)[-1] == f"service '{app.name}' stopped"
    assert not (app.exe.parent / "app.service.log").exists()

    # A log that cannot be written (its folder would be the executable
    # itself): the service runs and stops as always, and the diagnostic log
    # says once why there is no service log.
    (tmp_path / "blocked").mkdir()
    blocked = ServiceApp(wine, make_launcher, services, tmp_path / "blocked",
                         script={"main": "wait-stop", "main_stdout": "x\r\n" * 50},
                         config={180: "app.exe\\svc.log"}, directory=tmp_path / "blocked" / "app")
    services.start(blocked.name)
    blocked.wait_main()
    r = blocked.command("/stop")
    assert (r.rc, r.out) == (0, f"Stopping service '{blocked.name}'.\nService stopped\n")
    blocked.wait_exit()
    assert services.query(blocked.name)["exit"] == 0
    errors = [l for l in blocked.logs.service() if l.startswith("ERROR: could not open the service log")]
    assert len(errors) == 1 and "app.exe\\svc.log" in errors[0], blocked.logs.service()
