"""Fifty start-and-stop cycles of one installed service under Wine's SCM,
the child running the application on the recording test runtime. Every
cycle must start and stop within a bounded wait, its stop request must
reach the application (the runtime's trace shows the line "0" once per
cycle) with the SCM reporting the service stopped afterwards, and no
process of the service may outlive its cycle.

The cycles vary what a long-running installation meets: the application
alternately ends like System.exit(3) once it has read the stop line and
returns from main (DestroyJavaVM, exit code 0); and every third cycle is
stopped as soon as the SCM reports the service running, not waiting for
the application's main, so the stop meets a child still starting and the
line has to wait for the application to read it."""
import os
import re
import shutil
import subprocess
import time

import pytest

from svc_helpers import (RUNNING, STOPPED, in_order, keepalive, own_lines, service_log,  # noqa: F401
                         service_processes, services, wait_for, winpath)
from test_service_runtime import ServiceApp
from vtltest import IS_32

CYCLES = 50
# Generous against a loaded 2-core machine, yet far below anything a
# person would call a hang; a whole cycle takes one to two seconds.
START_SECONDS = 20
STOP_SECONDS = 20
POLL_SECONDS = 0.05
DESTROY_WAIT_MS = 200
# Longer than the launcher's stop command polls (500 ms) plus the grace below.
SLOW_DESTROY_WAIT_MS = 2000
# The stop timeout of the soak's executable: above the slow cycles' end,
# and the one cycle whose application ignores the stop line.
STOP_TIMEOUT_SECONDS = 5
IGNORING_CYCLE = 25
# The stopped report comes only after the child has ended; Wine may need a
# moment more to remove the Unix process behind it.
CHILD_GONE_SECONDS = 0.3


def cycle_script(cycle):
    """The application's behaviour in this cycle and the exit code the
    service process must then see from its child. When main returns, a
    non-daemon thread holds DestroyJavaVM a little, and every tenth cycle
    long enough that a stopped report given before the child's end would
    leave the child visibly alive afterwards."""
    if cycle == IGNORING_CYCLE:
        # main sleeps without reading: ended by force, with exit code 1.
        return {"main": "return", "main_delay_ms": 600000}, 1
    if cycle % 2:
        return {"main": "wait-stop", "stop_action": "exit", "main_exit_code": 3}, 3
    wait = SLOW_DESTROY_WAIT_MS if cycle % 10 == 0 else DESTROY_WAIT_MS
    return {"main": "wait-stop", "stop_action": "return", "destroy_wait_ms": wait}, 0


def early_stop(cycle):
    return cycle % 3 == 0


class CycleFailure(AssertionError):
    pass


def fail(cycle, what, app=None):
    """A failure that names the cycle and, when there is one, shows the
    service process's log of that cycle."""
    text = f"cycle {cycle} of {CYCLES}: {what}"
    if app is not None:
        text += "\n--- service log ---\n" + "\n".join(app.logs.service())
    raise CycleFailure(text)


def wait_until(cycle, what, predicate, seconds, app=None):
    deadline = time.monotonic() + seconds
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            fail(cycle, f"{what} not within {seconds} s", app)
        time.sleep(POLL_SECONDS)


def command(app, cycle, word, seconds):
    try:
        return app.wine.run(app.exe, word, timeout=seconds)
    except subprocess.TimeoutExpired:
        pass
    fail(cycle, f"'{word}' did not return within {seconds} s", app)


def check_stop_logged(cycle, app, exit_code):
    service = app.logs.service()
    # The handler logs "shutdown sent" after closing the channel; the child
    # may have read the line and ended by then, so that line has no fixed
    # place relative to the child's end.
    expected = ["service main", f"service name is '{app.name}'", "control handler request 1",
                "sending shutdown1 0", f"process terminated with exit code {exit_code}", "service stopped set",
                "exiting"]
    if not in_order(service, expected) or not in_order(service, ["sending shutdown1 0", "shutdown sent"]):
        fail(cycle, "the service log lacks the stop sequence", app)
    for line in ("control handler request 1", "sending shutdown1 0", "shutdown sent"):
        if service.count(line) != 1:
            fail(cycle, f"{line!r} logged {service.count(line)} times", app)
    forced = (f"ERROR: the application did not end within {STOP_TIMEOUT_SECONDS} seconds of the stop request; "
              "ending it and every process it started")
    errors = [l for l in service if l.startswith(("ERROR", "SetServiceStatus", "sending shutdown failed"))]
    if errors != ([forced] if cycle == IGNORING_CYCLE else []):
        fail(cycle, f"the service log shows errors {errors}", app)
    if cycle == IGNORING_CYCLE:
        return
    child = app.logs.child()
    ending = ["calling main"] if exit_code else ["calling main", "main returned", "dest JVM", "launch done"]
    if not in_order(child, ending) or any(l.startswith("ERROR") for l in child):
        fail(cycle, "the child's log does not show a clean end:\n" + "\n".join(child))


def check_application_stopped(cycle, app, exit_code):
    """The trace holds one process per cycle so far; this cycle's read the
    stop line and ended as its script says."""
    processes = app.home.trace().processes()
    if len(processes) != cycle:
        fail(cycle, f"the runtime traced {len(processes)} processes after {cycle} cycles", app)
    if cycle == IGNORING_CYCLE:
        if processes[-1].calls("stdin-stop") or processes[-1].calls("main-result"):
            fail(cycle, "the application that ignores its input read a stop or ended on its own", app)
        return
    last = processes[-1]
    lines = [line.text for line in last if line.name in ("process", "stdin-line", "stdin-stop", "main-result",
                                                         "DestroyJavaVM", "warning")]
    stops = [line.args for line in last.calls("stdin-stop")]
    if stops != [["0"]]:
        fail(cycle, f"the application saw stop lines {stops}:\n" + "\n".join(lines))
    results = [line.args for line in last.calls("main-result")]
    wanted = [["exit", 3]] if exit_code else [["return"]]
    if results != wanted:
        fail(cycle, f"main ended {results}, expected {wanted}:\n" + "\n".join(lines))
    if not exit_code and len(last.calls("DestroyJavaVM")) != 1:
        fail(cycle, "main returned but the VM was not destroyed:\n" + "\n".join(lines))


def keep_logs(app, cycle):
    """Moves the cycle's logs aside: the next processes then number their
    logs afresh, and a failure later still has every earlier cycle's."""
    target = app.base / f"cycle{cycle:02d}"
    target.mkdir()
    for path in app.base.glob("vtl_nlog_*.log"):
        shutil.move(str(path), str(target / path.name))


def launcher_processes(processes, exe):
    """Those of processes (as service_processes gives them) that run the
    launcher: the service process and the service child."""
    return [p for p in processes if p.split(" ", 2)[1].strip('"').lower() == winpath(exe).lower()]


def children(processes):
    return [p for p in processes if p.endswith(" __vtl_restart")]


def run_cycle(app, services, cycle, folder):
    script, exit_code = cycle_script(cycle)
    app.home.write_script(**script)

    started = time.monotonic()
    r = command(app, cycle, "/start", START_SECONDS)
    if (r.rc, r.out) != (0, f"Starting service '{app.name}'.\n"):
        fail(cycle, f"'/start' gave {r}", app)
    left = START_SECONDS - (time.monotonic() - started)
    if early_stop(cycle):
        wait_until(cycle, "the running state", lambda: services.query(app.name)["state"] == RUNNING, left, app)
    else:
        wait_until(cycle, "the application's main", lambda: "calling main" in app.logs.child(), left, app)
        # The process list must see what it is later to find gone: the
        # service process and its child.
        running = launcher_processes(service_processes(folder), app.exe)
        if len(running) != 2 or len(children(running)) != 1:
            fail(cycle, "the process list does not show the service process and its child: "
                 + "; ".join(running))

    start_seconds = time.monotonic() - started
    started = time.monotonic()
    r = command(app, cycle, "/stop", STOP_SECONDS)
    if (r.rc, r.out) != (0, f"Stopping service '{app.name}'.\nService stopped\n"):
        fail(cycle, f"'/stop' gave {r}", app)
    # Stopped is reported only once the child has ended.
    wait_until(cycle, "the child's end after the stopped report", lambda: not children(service_processes(folder)),
               CHILD_GONE_SECONDS, app)
    left = lambda: STOP_SECONDS - (time.monotonic() - started)  # noqa: E731
    wait_until(cycle, "the service process's last log line", lambda: "exiting" in app.logs.service(), left(), app)
    status = services.query(app.name)
    if (status["state"], status["exit"]) != (STOPPED, 1053 if cycle == IGNORING_CYCLE else 0):
        fail(cycle, f"the SCM reports {status} after the stop", app)
    wait_until(cycle, "the end of every process of the service", lambda: not service_processes(folder), left(), app)
    stop_seconds = time.monotonic() - started

    check_stop_logged(cycle, app, exit_code)
    check_application_stopped(cycle, app, exit_code)
    keep_logs(app, cycle)
    return start_seconds, stop_seconds


@pytest.mark.slow
def test_fifty_start_stop_cycles_lose_no_stop_and_leave_no_process(wine, make_launcher, services, tmp_path):
    app = ServiceApp(wine, make_launcher, services, tmp_path, script=cycle_script(1)[0],
                     config={170: str(STOP_TIMEOUT_SECONDS)})
    assert service_processes(tmp_path) == []
    began = time.monotonic()
    durations = [run_cycle(app, services, cycle, tmp_path) for cycle in range(1, CYCLES + 1)]
    elapsed = time.monotonic() - began

    # Counted once more over the whole run, from the kept logs and the trace.
    logs = sorted(app.base.glob("cycle*/vtl_nlog_*.log"))
    stop_lines = sum(path.read_bytes().count(b"sending shutdown1 0\r\n") for path in logs)
    stopped_lines = sum(path.read_bytes().count(b"service stopped set\r\n") for path in logs)
    trace = app.home.trace()
    seen = [line.args for line in trace.calls("stdin-stop")]
    assert (stop_lines, stopped_lines, seen) == (CYCLES, CYCLES, [["0"]] * (CYCLES - 1))
    assert len(trace.calls("main-result")) == CYCLES - 1
    print(f"{CYCLES} service cycles in {elapsed:.1f} s; slowest start {max(d[0] for d in durations):.1f} s, "
          f"slowest stop {max(d[1] for d in durations):.1f} s")


RESTARTS = 100
# The 32-bit emulator is slower to start a tool: a longer delay leaves time
# to look at the service process between two runs of the application.
RESTART_DELAY = 3 if IS_32 else 1


def handle_count(services, pid):
    r = services.tool("handles", str(pid))
    assert r.rc == 0, r
    return int(r.out.strip().split("=")[1])


@pytest.mark.slow
def test_hundred_restarts_leave_no_handle_and_no_process(wine, make_launcher, services, tmp_path):
    """The application fails at once, a hundred and one times: the service
    starts it again a hundred times (a constant delay, the count never
    starting over), then gives up. Between two runs the service process
    holds as many handles and files as after the first failure, no other
    process of the service is alive, and at the end none at all."""
    app = ServiceApp(wine, make_launcher, services, tmp_path, script={"main": "exit", "main_exit_code": 3},
                     config={171: "on-failure", 172: str(RESTART_DELAY), 173: str(RESTART_DELAY), 174: "0",
                             175: str(RESTARTS)})
    log_path = app.exe.parent / "app.service.log"
    folder = tmp_path
    began = time.monotonic()
    services.start(app.name)
    started = wait_for(lambda: [line for line in own_lines(service_log(log_path, final=False))
                                if line.startswith(f"service '{app.name}'")], 60, "the service's first line")
    pid = int(re.search(r"\(process (\d+)\)", started[0]).group(1))
    samples = []  # (restart, handles, unix files)
    seen = 0
    deadline = time.monotonic() + RESTARTS * (RESTART_DELAY + 10) + 60
    while "exiting" not in app.logs.service():
        assert time.monotonic() < deadline, "the restarts did not end in time"
        own = own_lines(service_log(log_path, final=False))
        restarts = [l for l in own if "; restart " in l]
        if len(restarts) == seen or not own[-1].endswith(f"in {RESTART_DELAY} s"):
            time.sleep(0.05)
            continue
        seen = len(restarts)
        running = launcher_processes(service_processes(folder), app.exe)
        handles = handle_count(services, pid)
        unix_pid = [p.split(":")[0] for p in running if not p.endswith(" __vtl_restart")]
        files = len(os.listdir(f"/proc/{unix_pid[0]}/fd")) if len(unix_pid) == 1 else None
        # Valid only when taken inside the delay: no line after the restart's.
        if own_lines(service_log(log_path, final=False))[-1] == own[-1]:
            assert children(running) == [], f"restart {seen}: a child is alive in the delay: {running}"
            samples.append((seen, handles, files))
    elapsed = time.monotonic() - began

    services.wait_state(app.name, STOPPED)
    status = services.query(app.name)
    assert (status["exit"], status["specific"]) == (1066, 3), status
    own = own_lines(service_log(log_path))
    assert len([l for l in own if "; restart " in l]) == RESTARTS
    assert own[-2].startswith(f"the application ended with exit code 3; giving up after {RESTARTS} restarts")
    assert len(app.home.trace().processes()) == RESTARTS + 1
    deadline = time.monotonic() + 10
    while service_processes(folder) and time.monotonic() < deadline:
        time.sleep(0.1)
    assert service_processes(folder) == []
    # Taken in the delays of the first tenth and of the last tenth of the run.
    early = [s for s in samples if s[0] <= RESTARTS // 10]
    late = [s for s in samples if s[0] > RESTARTS - RESTARTS // 10]
    assert early and late, samples
    assert max(s[1] for s in late) <= min(s[1] for s in early), samples
    assert max(s[2] for s in late) <= min(s[2] for s in early), samples
    print(f"{RESTARTS} restarts in {elapsed:.1f} s (delay {RESTART_DELAY} s); service process between runs: "
          f"handles {sorted({s[1] for s in samples})}, Unix files {sorted({s[2] for s in samples})}, "
          f"{len(samples)} samples")
