"""The service child on the Java side: the first application element is
the service name, which main does not receive; the line "0" or the end of
standard input ends the application through System.exit(0)."""
import time

import pytest

from vtlruntime_support import MORLIN_LAUNCHER, VANTREL_LAUNCHER

SERVICE = {"morlin.isService": "true"}
RUNNING = b"service app running "


def wait_running(proc):
    """Until the application runs; returns what it reported about its start."""
    line = proc.stdout.readline()
    assert line.startswith(RUNNING), line + proc.stderr.read()
    return line[len(RUNNING):].decode("utf-8").rstrip("\n")


@pytest.mark.parametrize("launcher", [VANTREL_LAUNCHER, MORLIN_LAUNCHER])
def test_service_name_is_a_property_and_not_an_argument(start, launcher):
    # The service process puts the name first; after it come the fixed
    # arguments and the start parameters, which main gets unchanged.
    proc = start("ServiceApp", "My Svc", "-tcp", "", "-tcpPort", "9123", props=SERVICE, launcher=launcher)
    assert wait_running(proc) == "name=My Svc args=[-tcp, , -tcpPort, 9123]"
    out, err = proc.communicate(b"0\n", timeout=20)
    assert (proc.returncode, out) == (0, b"hook ran\n"), err

    # A name alone leaves main without arguments; no name at all (a child
    # started by hand) sets no property.
    proc = start("ServiceApp", "svc", props=SERVICE, launcher=launcher)
    assert wait_running(proc) == "name=svc args=[]"
    proc.communicate(b"", timeout=20)
    proc = start("ServiceApp", props=SERVICE, launcher=launcher)
    assert wait_running(proc) == "name=null args=[]"
    proc.communicate(b"", timeout=20)


@pytest.mark.parametrize("props", [None, {"morlin.isService": "false"}], ids=["foreground", "not-true"])
def test_outside_a_service_the_first_argument_stays_the_applications(start, props):
    proc = start("ServiceApp", "first", "-tcp", props=props)
    assert wait_running(proc) == "name=null args=[first, -tcp]"
    # A value the user set on the command line is left alone.
    proc = start("ServiceApp", "first", props={**(props or {}), "vantrel.serviceName": "mine"})
    assert wait_running(proc) == "name=mine args=[first]"


def test_line_zero_stops_the_application_with_its_shutdown_hooks(start):
    proc = start("ServiceApp", props=SERVICE)
    wait_running(proc)
    out, err = proc.communicate(b"0\n", timeout=20)
    assert proc.returncode == 0, err
    assert out == b"hook ran\n"


def test_end_of_input_stops_the_application(start):
    proc = start("ServiceApp", props=SERVICE)
    wait_running(proc)
    out, err = proc.communicate(b"", timeout=20)
    assert proc.returncode == 0, err
    assert out == b"hook ran\n"


def test_other_lines_are_ignored(start):
    proc = start("ServiceApp", props=SERVICE)
    wait_running(proc)
    proc.stdin.write(b"1\nstop\n00\n0 but more\n\n")
    proc.stdin.flush()
    time.sleep(0.8)
    assert proc.poll() is None, "the application ended on a line other than 0"
    out, _ = proc.communicate(b"0\r\n", timeout=20)
    assert proc.returncode == 0
    assert out == b"hook ran\n"


def test_without_the_service_property_input_is_not_read(start):
    proc = start("SleepApp")
    out, err = proc.communicate(b"0\n", timeout=20)
    assert proc.returncode == 0, err
    assert out == b"finished\n"


def test_service_property_other_than_true_starts_no_reader(start):
    proc = start("SleepApp", props={"morlin.isService": "false"})
    out, _ = proc.communicate(b"", timeout=20)
    assert out == b"finished\n"
