"""The VM's life as the launcher's process sees it: exit codes, threads,
standard input, and the end of the host JVM with the launcher."""
import os
import signal
import subprocess
import sys
import time
import uuid
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
from hostjvm_harness import hostjvm  # noqa: E402,F401  (the fixture)


@pytest.mark.parametrize("mode, code, last", [
    # From main itself: output printed before the exit still arrives.
    ("main", 7, ["exiting from main", "unterminated hook ran"]),
    # From a second thread while main sleeps.
    ("thread", 9, ["exiting from thread", "hook ran"]),
    # From a non-daemon thread while DestroyJavaVM waits for it.
    ("late", 11, ["exiting late", "hook ran"]),
])
def test_system_exit_ends_the_launcher_process_with_its_status(hostjvm, mode, code, last):
    run = hostjvm.run_driver("create", "main", "hostjvmtest/Exit", 2, mode, code, "destroy")
    assert run.rc == code, run
    # The shutdown hook's output, printed after the bridge let go of the
    # call, still comes before the process ends.
    assert run.lines[-2:] == last, run
    assert "main woke up" not in run.lines
    if mode == "late":
        # main returned normally; the process ended inside DestroyJavaVM.
        assert run.lines[1:5] == ["calling main", "main returns", "main returned", "no exception"]
    else:
        assert "main returned" not in run.lines
    assert "destroy 0" not in run.lines
    assert run.err == ""


def test_destroy_waits_for_non_daemon_threads_but_not_for_daemons(hostjvm):
    run = hostjvm.run_driver("create", "main", "hostjvmtest/Linger", 1, 1500, "destroy")
    assert run.rc == 0, run
    assert run.lines == ["create 0", "calling main", "main done", "main returned", "no exception",
                         "worker done", "destroy 0"]
    # The daemon thread sleeps ten minutes; destroying did not wait for it.
    assert run.seconds < 60, run


def test_standard_input_lines_and_end_of_file_reach_system_in(hostjvm):
    run = hostjvm.run_driver("create", "main", "hostjvmtest/Lines", 0, "destroy",
                             stdin="first line\nzweite Zeile ü\n\nno newline at end".encode())
    assert run.rc == 0, run
    ready = run.index("ready")
    assert run.lines[ready + 1:ready + 6] == ["line [first line]", "line [zweite Zeile ü]", "line []",
                                              "line [no newline at end]", "eof"]

    empty = hostjvm.run_driver("create", "main", "hostjvmtest/Lines", 0, "destroy", stdin=b"")
    assert empty.rc == 0, empty
    assert empty.lines[empty.index("ready") + 1] == "eof"


def test_stop_line_arrives_while_the_pipe_is_still_open(hostjvm):
    # The service's stop protocol writes "0" and a line feed. The line must
    # reach Java at once, not only at end of file, and an input pipe left
    # open must not keep the process from ending.
    proc = hostjvm.popen_driver("create", "main", "hostjvmtest/Lines", 1, "stop", "destroy",
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        proc.stdin.write(b"0\n")
        proc.stdin.flush()
        rc = proc.wait(timeout=60)
        out = hostjvm.normalise(proc.stdout.read())
    finally:
        if proc.poll() is None:
            proc.kill()
        proc.stdin.close()
        proc.stdout.close()
    assert rc == 0, out
    lines = out.splitlines()
    assert lines[lines.index("ready") + 1:] == ["line [0]", "stop requested", "main returned", "no exception",
                                                "destroy 0"], out


def test_the_host_jvm_ends_with_the_launcher(hostjvm):
    # Killed from outside while main runs ...
    marker = uuid.uuid4().hex
    proc = hostjvm.popen_driver("create", "main", "hostjvmtest/Linger", 1, 600000, "destroy",
                                options=["-Dprobe.marker=" + marker],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        assert hostjvm.wait_until(lambda: hostjvm.host_processes(marker), 60), "host JVM never started"
        line = proc.stdout.readline()
        assert line.startswith(b"create 0"), line
        proc.kill()
        proc.wait(timeout=30)
        assert hostjvm.wait_until(lambda: not hostjvm.host_processes(marker), 20), "host JVM outlived the launcher"
    finally:
        if proc.poll() is None:
            proc.kill()
        proc.stdout.close()

    # ... and ending on its own while a non-daemon thread still runs.
    marker = uuid.uuid4().hex
    started = time.monotonic()
    run = hostjvm.run_driver("create", "main", "hostjvmtest/Linger", 1, 600000, "exit", 5,
                             options=["-Dprobe.marker=" + marker])
    assert run.rc == 5, run
    assert run.lines[-1] == "exiting"
    assert hostjvm.wait_until(lambda: not hostjvm.host_processes(marker), 20), "host JVM outlived the launcher"
    assert time.monotonic() - started < 60


def test_losing_the_host_side_ends_the_launcher_with_a_message(hostjvm):
    # The wrapper that reports java's status dies: nobody could tell how
    # java ends, so java is stopped and the launcher says what happened.
    marker = uuid.uuid4().hex
    proc = hostjvm.popen_driver("create", "main", "hostjvmtest/Linger", 1, 600000, "destroy",
                                options=["-Dprobe.marker=" + marker],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        assert hostjvm.wait_until(lambda: hostjvm.host_processes(marker), 60), "host JVM never started"
        java = hostjvm.host_processes(marker)[0]
        wrapper = int(open(f"/proc/{java}/stat").read().rsplit(")", 1)[1].split()[1])
        assert b"vtl-hostjava" in open(f"/proc/{wrapper}/cmdline", "rb").read()
        assert proc.stdout.readline().startswith(b"create 0")
        os.kill(wrapper, signal.SIGKILL)
        out, err = proc.communicate(timeout=60)
    finally:
        if proc.poll() is None:
            proc.kill()
    assert proc.returncode == 1, (out, err)
    assert "hostjvm: lost the connection to the host JVM" in hostjvm.normalise(err)
    assert hostjvm.wait_until(lambda: not hostjvm.host_processes(marker), 20), "host JVM outlived its wrapper"
