"""The single-instance guard: a named semaphore per launcher path.

A first instance must still be running when the second one starts. The
launcher stub ends soon after the guard (no Java runtime is offered), so
guardrun.exe, packed with the same kind of block, runs the launcher's
start-up and guard and then stays alive until its standard input closes.
semhold.exe holds a semaphore under a name the test computes itself, so the
launcher stub can meet a running instance too."""
import os
import queue
import re
import shutil
import subprocess
import threading
import time

import pytest

from vtltest import BUILD, log_files, only_log, temp_env

GUARDRUN = BUILD / "tests" / "guardrun.exe"
SEMHOLD = BUILD / "tests" / "semhold.exe"
PIDS = r"HKCU\SOFTWARE\brevane\morlin\pids"
LOG = {"VANTREL_LOG": "yes"}
HANDLE = r"[0-9A-Fa-f]{8,16}"


def canonical(wine, exe):
    """The launcher path as the guard sees it: absolute, ASCII letters lower-cased."""
    return "".join(c.lower() if "A" <= c <= "Z" else c for c in wine.winpath(exe))


def sem_name(wine, exe, global_=False, number=None):
    name = ("Global\\" if global_ else "Local\\") + canonical(wine, exe).replace("\\", "_").replace(" ", "_")
    return name + ("" if number is None else str(number))


class Holder:
    """A program that keeps running until its standard input is closed."""

    def __init__(self, wine, program, *args, env=None, winenv=None, until="ready", timeout=60):
        self.proc = wine.popen(program, *args, env=env, winenv=winenv, stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.lines = []
        self._queue = queue.Queue()
        threading.Thread(target=self._pump, daemon=True).start()
        self.wait_for(until, timeout)

    def _pump(self):
        for raw in self.proc.stdout:
            self._queue.put(raw.decode("utf-8", "replace").rstrip("\r\n"))
        self._queue.put(None)

    def wait_for(self, prefix, timeout=60):
        deadline = time.monotonic() + timeout
        while True:
            try:
                line = self._queue.get(timeout=max(0.1, deadline - time.monotonic()))
            except queue.Empty:
                raise AssertionError("no %r line within %ss: %r" % (prefix, timeout, self.lines))
            if line is None:
                raise AssertionError("ended before a %r line: %r" % (prefix, self.lines))
            self.lines.append(line)
            if line.startswith(prefix):
                return line

    def field(self, key):
        return next(l.split(" ", 1)[1] for l in self.lines if l.startswith(key + " "))

    def running(self):
        return self.proc.poll() is None

    def release(self, timeout=60):
        self.proc.stdin.close()
        rc = self.proc.wait(timeout=timeout)
        while True:
            line = self._queue.get(timeout=timeout)
            if line is None:
                return rc
            self.lines.append(line)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


@pytest.fixture
def holders():
    started = []
    yield started
    for h in started:
        h.kill()


@pytest.fixture
def pid_values(wine):
    """Canonical paths whose registry value the test caused; removed after."""
    names = []
    yield names
    for name in names:
        wine.reg("delete", PIDS, "/v", name, "/f")


def registry_pid(wine, name):
    r = wine.reg("query", PIDS, "/v", name)
    if r.rc != 0:
        return None
    m = re.search(r"REG_DWORD\s+0x([0-9a-fA-F]+)", r.out)
    return int(m.group(1), 16) if m else None


def base(tmp_path, name):
    d = tmp_path / name
    d.mkdir()
    return d


def log_lines(directory):
    return only_log(directory).splitlines()


def guardrun(make_launcher, config, name="app.exe", directory=None):
    return make_launcher(config, {1009: "Internal error {0}"}, stub=GUARDRUN, name=name, directory=directory)


# --- single-instance mode ---------------------------------------------------

def test_second_start_exits_zero_while_the_first_runs(wine, make_launcher, tmp_path, holders, pid_values):
    exe = guardrun(make_launcher, {10005: "1"})
    pid_values.append(canonical(wine, exe))
    first_base, second_base = base(tmp_path, "b1"), base(tmp_path, "b2")
    first = Holder(wine, exe, env=LOG, winenv=temp_env(wine, first_base))
    holders.append(first)
    name = sem_name(wine, exe)
    assert first.field("semaphore") == name
    pid = int(first.field("pid"))
    assert registry_pid(wine, canonical(wine, exe)) == pid
    lines = log_lines(first_base)
    i = lines.index("single instance mode")
    assert re.fullmatch(re.escape("semaphore name %s, code 0, value " % name) + HANDLE, lines[i + 1])

    r = wine.run(exe, env=LOG, winenv=temp_env(wine, second_base))
    assert (r.rc, r.out) == (0, "")  # it never got past the guard
    lines = log_lines(second_base)
    i = lines.index("single instance mode")
    assert re.fullmatch(re.escape("semaphore name %s, code 183, value " % name) + HANDLE, lines[i + 1])
    # The id was there at once: the waiting loop, which ends in "other pid 0"
    # when the id never comes, found the first instance's.
    assert lines[i + 2] == "other pid %d" % pid, lines
    assert lines[i + 2:i + 4] == ["other pid %d" % pid, "exiting"]
    assert not any(l.startswith("found window") for l in lines)

    assert first.running()
    assert first.release() == 0 and first.lines[-1] == "end"


def test_differently_cased_path_is_the_same_instance(wine, make_launcher, tmp_path, holders, pid_values):
    exe = guardrun(make_launcher, {10005: "1"}, name="App.exe")
    pid_values.append(canonical(wine, exe))
    first = Holder(wine, exe, winenv=temp_env(wine, base(tmp_path, "b1")))
    holders.append(first)
    second_base = base(tmp_path, "b2")
    r = wine.run(wine.winpath(exe).upper(), env=LOG, winenv=temp_env(wine, second_base))
    assert (r.rc, r.out) == (0, "")
    lines = log_lines(second_base)
    assert any(l.startswith("semaphore name %s, code 183," % sem_name(wine, exe)) for l in lines)
    assert "other pid %s" % first.field("pid") in lines
    assert first.running()
    first.release()


def test_copies_in_different_directories_are_different_instances(wine, make_launcher, tmp_path, holders, pid_values):
    one = guardrun(make_launcher, {10005: "1"}, directory=tmp_path / "one")
    two = guardrun(make_launcher, {10005: "1"}, directory=tmp_path / "two with  spaces")
    pid_values.extend([canonical(wine, one), canonical(wine, two)])
    first = Holder(wine, one, winenv=temp_env(wine, base(tmp_path, "b1")))
    holders.append(first)
    second = Holder(wine, two, winenv=temp_env(wine, base(tmp_path, "b2")))
    holders.append(second)
    assert first.field("semaphore") == sem_name(wine, one)
    assert second.field("semaphore") == sem_name(wine, two)
    assert second.field("semaphore").endswith("_two_with__spaces_app.exe")
    assert registry_pid(wine, canonical(wine, one)) == int(first.field("pid"))
    assert registry_pid(wine, canonical(wine, two)) == int(second.field("pid"))
    assert first.running() and second.running()
    assert first.release() == 0 and second.release() == 0


def test_launcher_meets_a_running_instance_and_exits_zero(wine, make_launcher, tmp_path, holders, pid_values):
    exe = make_launcher({10005: "1"}, {1016: "No JVM {0}"})
    value = canonical(wine, exe)
    pid_values.append(value)
    hold = Holder(wine, SEMHOLD, sem_name(wine, exe), until="code")
    holders.append(hold)
    holder_pid = int(hold.lines[-1].split()[-1])
    assert wine.reg("add", PIDS, "/v", value, "/t", "REG_DWORD", "/d", str(holder_pid), "/f").rc == 0

    second_base = base(tmp_path, "b2")
    r = wine.run(exe, "/run", env=LOG, winenv=temp_env(wine, second_base))
    assert (r.rc, r.out, r.err) == (0, "", "")
    lines = log_lines(second_base)
    assert lines[lines.index("single instance mode") + 2:][:2] == ["other pid %d" % holder_pid, "exiting"]
    assert "ERROR: No JVM found" not in lines  # it ended before the runtime search
    assert hold.release() == 0

    # Now this launcher is the first instance: it records itself and goes on
    # to the runtime search, which finds nothing here.
    first_base = base(tmp_path, "b3")
    r = wine.run(exe, "/run", env=LOG, winenv=temp_env(wine, first_base))
    assert r.rc == 1
    lines = log_lines(first_base)
    assert re.fullmatch(re.escape("semaphore name %s, code 0, value " % sem_name(wine, exe)) + HANDLE,
                        lines[lines.index("single instance mode") + 1])
    recorded = registry_pid(wine, value)
    assert recorded not in (None, 0, holder_pid)


def test_missing_pid_waits_about_five_seconds_and_cleans_up(wine, make_launcher, tmp_path, holders, pid_values):
    # The other instance holds the name but never recorded its id. While the
    # second instance waits for it, its extracted files are in place; the
    # exit through the clean-up then removes them.
    files = [bytes(range(256)) * 23 + bytes(112), bytes(6001)]
    assert len(files[0]) == 6000
    exe = make_launcher({10005: "1", 10007: "1", 2002: "2", 2003: "six.bin;lib\\more.bin"}, files=files)
    value = canonical(wine, exe)
    pid_values.append(value)
    wine.reg("delete", PIDS, "/v", value, "/f")
    hold = Holder(wine, SEMHOLD, sem_name(wine, exe), until="code")
    holders.append(hold)

    tb = base(tmp_path, "b2")
    started = time.monotonic()
    proc = wine.popen(exe, "/run", env=LOG, winenv=temp_env(wine, tb), stdout=subprocess.PIPE,
                      stderr=subprocess.PIPE)
    seen = None
    while proc.poll() is None and seen is None:
        time.sleep(0.2)
        logs = log_files(tb)
        text = logs[0].read_bytes().decode("utf-8", "replace") if logs else ""
        if "semaphore name" in text and "other pid" not in text:
            d = re.search(r"^Temp dir3: (.*?)\r?$", text, re.M).group(1)
            directory = tb / d[len(wine.winpath(tb)) + 1:]
            seen = [(directory / "six.bin").read_bytes(), (directory / "lib" / "more.bin").read_bytes()]
    out, err = proc.communicate(timeout=30)
    elapsed = time.monotonic() - started
    assert proc.returncode == 0, (out, err)
    assert seen == files
    assert elapsed >= 4.8, elapsed  # it waited the whole five seconds for the id
    lines = log_lines(tb)
    i = lines.index("single instance mode")
    assert lines[i + 2:i + 4] == ["other pid 0", "exiting"]
    assert not any(l.startswith("found window") for l in lines)
    assert not directory.exists()
    assert hold.release() == 0


def test_full_launches_first_runs_the_application_second_exits(wine, make_launcher, tmp_path, tempbase, holders,
                                                               pid_values):
    # The recording runtime's main waits on standard input, so the first
    # launch is running its application when the second one starts.
    from launch_support import Launch
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {10005: "1", 2002: "1", 2003: "kept.txt"},
                    files=[b"kept after a normal end"],
                    script={"main": "wait-stop", "stop_action": "return", "main_stdout": "main started\n"})
    pid_values.append(canonical(wine, launch.exe))
    environment = {**temp_env(wine, tempbase), "VANTREL_JAVA_HOME": launch.home.winpath()}
    unset = {"JAVA_HOME": None, "JDK_HOME": None, "MORLIN_JAVA_HOME": None}
    first = Holder(wine, launch.exe, "/run", env={**LOG, **unset}, winenv=environment, until="main started")
    holders.append(first)
    pid = registry_pid(wine, canonical(wine, launch.exe))
    assert pid and launch.home.trace().first("process").args[0] == pid

    second_base = base(tmp_path, "b2")
    r = wine.run(launch.exe, "/run", env={**LOG, **unset},
                 winenv={**environment, **temp_env(wine, second_base)})
    assert (r.rc, r.out, r.err) == (0, "", "")
    lines = log_lines(second_base)
    assert lines[lines.index("single instance mode") + 2:][:2] == ["other pid %d" % pid, "exiting"]
    assert not any(l.startswith("Temp dir3: ") and "emptying " + l[11:] not in lines for l in lines)
    assert first.running()

    assert first.release() == 0
    options = launch.home.trace().options()
    assert "-Dmorlin.semaphoreName=" + sem_name(wine, launch.exe) in options
    temp = next(o for o in options if o.startswith("-Dmorlin.tempDir="))[len("-Dmorlin.tempDir="):]
    assert (tempbase / temp[len(wine.winpath(tempbase)) + 1:] / "kept.txt").read_bytes() == b"kept after a normal end"


# --- numbered names -----------------------------------------------------------

def test_numbered_names_count_up_and_are_free_again(wine, make_launcher, tmp_path, holders, pid_values):
    exe = guardrun(make_launcher, {})
    pid_values.append(canonical(wine, exe))
    h0 = Holder(wine, exe, env=LOG, winenv=temp_env(wine, base(tmp_path, "b0")))
    holders.append(h0)
    h1 = Holder(wine, exe, winenv=temp_env(wine, base(tmp_path, "b1")))
    holders.append(h1)
    assert h0.field("semaphore") == sem_name(wine, exe, number=0)
    assert h1.field("semaphore") == sem_name(wine, exe, number=1)
    assert h0.release() == 0
    h2 = Holder(wine, exe, winenv=temp_env(wine, base(tmp_path, "b2")))
    holders.append(h2)
    assert h2.field("semaphore") == sem_name(wine, exe, number=0)
    assert h1.running() and h2.running()
    lines = log_lines(tmp_path / "b0")
    assert "single instance mode" not in lines
    assert any(re.fullmatch(re.escape("semaphore name %s, code 0, value " % sem_name(wine, exe, number=0)) + HANDLE,
                            l) for l in lines)
    # Without single-instance mode nothing is recorded.
    assert registry_pid(wine, canonical(wine, exe)) is None
    assert h1.release() == 0 and h2.release() == 0


@pytest.mark.parametrize("global_", [False, True], ids=["local", "global"])
def test_launcher_takes_the_next_free_number(wine, make_launcher, tmp_path, holders, global_):
    exe = make_launcher({158: "1"} if global_ else {})
    for n in (0, 1):
        h = Holder(wine, SEMHOLD, sem_name(wine, exe, global_, n), until="code")
        holders.append(h)
    tb = base(tmp_path, "b")
    r = wine.run(exe, "/run", env=LOG, winenv=temp_env(wine, tb))
    assert r.rc == 1  # went on to the runtime search
    names = [l for l in log_lines(tb) if l.startswith("semaphore name ")]
    assert len(names) == 1
    assert re.fullmatch(re.escape("semaphore name %s, code 0, value " % sem_name(wine, exe, global_, 2)) + HANDLE,
                        names[0])


def test_global_namespace_for_single_instance(wine, make_launcher, tmp_path, holders, pid_values):
    exe = guardrun(make_launcher, {10005: "1", 158: "1"})
    pid_values.append(canonical(wine, exe))
    first = Holder(wine, exe, winenv=temp_env(wine, base(tmp_path, "b1")))
    holders.append(first)
    assert first.field("semaphore") == sem_name(wine, exe, global_=True)
    tb = base(tmp_path, "b2")
    r = wine.run(exe, env=LOG, winenv=temp_env(wine, tb))
    assert (r.rc, r.out) == (0, "")
    lines = log_lines(tb)
    assert any(l.startswith("semaphore name %s, code 183," % sem_name(wine, exe, global_=True)) for l in lines)
    assert "other pid %s" % first.field("pid") in lines
    assert first.release() == 0


# --- bringing the first instance's windows forward --------------------------

@pytest.fixture(scope="module")
def display():
    if not shutil.which("Xvfb"):
        pytest.skip("Xvfb is not installed")
    read_end, write_end = os.pipe()
    proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip():
        proc.kill()
        pytest.skip("Xvfb did not start")
    yield ":" + number.decode().strip()
    proc.terminate()
    proc.wait(timeout=10)


def windows_of(holder):
    """{name: (handle, iconic, visible)} from the holder's latest window lines."""
    found = {}
    for line in holder.lines:
        m = re.fullmatch(r"window (\w+) (\S+) iconic (\d) visible (\d) foreground (\d)", line)
        if m:
            found[m.group(1)] = (m.group(2), m.group(3) == "1", m.group(4) == "1")
    return found


@pytest.mark.parametrize("bring", [True, False], ids=["bring-to-front", "left-alone"])
def test_second_instance_brings_visible_windows_forward(wine, make_launcher, tmp_path, holders, pid_values, display,
                                                        bring):
    exe = guardrun(make_launcher, {10005: "1", 10007: "1"} if bring else {10005: "1"})
    pid_values.append(canonical(wine, exe))
    screen = {"DISPLAY": display}
    first = Holder(wine, exe, "--windows", env=screen, winenv=temp_env(wine, base(tmp_path, "b1")), timeout=120)
    holders.append(first)
    before = windows_of(first)
    assert [before[n][1:] for n in ("normal", "minimized", "hidden")] == [(False, True), (True, True), (False, False)]

    tb = base(tmp_path, "b2")
    r = wine.run(exe, env={**screen, **LOG}, winenv=temp_env(wine, tb), timeout=120)
    assert (r.rc, r.out) == (0, "")
    lines = log_lines(tb)
    tail = lines[lines.index("other pid %s" % first.field("pid")) + 1:]
    assert tail[-1] == "exiting"
    if not bring:
        assert tail == ["exiting"]
    else:
        # Each visible window, in enumeration order, gets the same steps;
        # only the minimized one is restored, the hidden one is never touched.
        handles = {}
        k = 0
        while tail[k].startswith("found window "):
            handle = tail[k][len("found window "):]
            restored = tail[k + 1] == "restore"
            steps = tail[k + 1 + restored:k + 4 + restored]
            assert steps == ["foreground", "popup", "done"], tail
            handles[handle.lower()] = restored
            k += 4 + restored
        assert tail[k:] == ["exiting"]
        assert handles == {before["normal"][0].lower(): False, before["minimized"][0].lower(): True}

    assert first.release() == 0
    after = windows_of(first)
    assert after["minimized"][1] is (not bring)
    assert after["hidden"][2] is False
