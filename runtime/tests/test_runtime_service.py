"""The service child's stop protocol on the Java side: the line "0" or the
end of standard input ends the application through System.exit(0)."""
import time

SERVICE = {"morlin.isService": "true"}


def wait_running(proc):
    assert proc.stdout.readline() == b"service app running\n"


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
