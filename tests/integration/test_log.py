"""The diagnostic log: switching it on, its file, its numbering and the
choice of the temporary base it is written to."""
import re

import pytest

from vtltest import log_files, only_log, read_log, temp_env

LOG_ON = {"VANTREL_LOG": "yes"}


def run_help(wine, exe, winenv, env=LOG_ON, unset=()):
    r = wine.run(exe, "/help", env=env, winenv=winenv, unset=unset)
    assert r.rc == 0, r
    return r


def test_log_file_starts_with_header_and_empty_line(wine, make_launcher, tempbase):
    exe = make_launcher({101: "svc"})
    run_help(wine, exe, temp_env(wine, tempbase))
    files = log_files(tempbase)
    assert [f.name for f in files] == ["vtl_nlog_1.log"]
    lines = read_log(files[0]).split("\n")
    m = re.fullmatch(r"Started executable (.+) at (\w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4})", lines[0])
    assert m, lines[0]
    assert m.group(1).lower() == wine.winpath(exe).lower()
    assert lines[1] == ""
    assert lines[2].startswith("init file name ")
    assert any(l.startswith("language/country is ") for l in lines)
    assert lines[-1] == "", "the last line ends with CR LF"


@pytest.mark.parametrize("variable", ["VANTREL_LOG", "MORLIN_LOG"])
def test_either_variable_switches_the_log_on(wine, make_launcher, tempbase, variable):
    exe = make_launcher({101: "svc"})
    run_help(wine, exe, temp_env(wine, tempbase), env={variable: "yes"})
    assert len(log_files(tempbase)) == 1


@pytest.mark.parametrize("value", ["YES", "1", "yes ", "Yes"])
def test_only_exactly_yes_switches_the_log_on(wine, make_launcher, tempbase, value):
    exe = make_launcher({101: "svc"})
    run_help(wine, exe, temp_env(wine, tempbase), env={"VANTREL_LOG": value, "MORLIN_LOG": value})
    assert log_files(tempbase) == []


def test_numbering_takes_the_first_free_number(wine, make_launcher, tempbase):
    exe = make_launcher({101: "svc"})
    for i in (1, 2, 3):
        (tempbase / f"vtl_nlog_{i}.log").write_text("old")
    run_help(wine, exe, temp_env(wine, tempbase))
    assert (tempbase / "vtl_nlog_4.log").exists()
    assert all((tempbase / f"vtl_nlog_{i}.log").read_text() == "old" for i in (1, 2, 3))
    (tempbase / "vtl_nlog_2.log").unlink()
    run_help(wine, exe, temp_env(wine, tempbase))
    assert read_log(tempbase / "vtl_nlog_2.log").startswith("Started executable ")
    assert not (tempbase / "vtl_nlog_5.log").exists()


def test_starts_at_the_same_moment_each_keep_their_own_log(wine, make_launcher, tempbase):
    # Each takes a number no other start has taken, even when all of them
    # find the same number free at the same moment.
    import subprocess
    exe = make_launcher({101: "svc"})
    procs = [wine.popen(exe, "/help", env=LOG_ON, winenv=temp_env(wine, tempbase), stdout=subprocess.DEVNULL,
                        stderr=subprocess.DEVNULL) for _ in range(6)]
    assert [p.wait(timeout=120) for p in procs] == [0] * 6
    files = log_files(tempbase)
    assert [f.name for f in files] == [f"vtl_nlog_{i}.log" for i in range(1, 7)]
    for f in files:
        lines = read_log(f).split("\n")
        assert sum(l.startswith("Started executable ") for l in lines) == 1, lines
        assert any(l.startswith("language/country is ") for l in lines)


def test_error_lines_carry_their_prefix(wine, make_launcher, tempbase):
    exe = make_launcher({2001: "vx"})
    run_help(wine, exe, temp_env(wine, tempbase))
    assert "ERROR: config string 2001 truncated (2 2)" in only_log(tempbase).split("\n")


def test_missing_temp_directory_is_created(wine, make_launcher, tmp_path):
    exe = make_launcher({101: "svc"})
    missing = tmp_path / "fresh"
    run_help(wine, exe, {"TMP": wine.winpath(missing), "TEMP": wine.winpath(missing)})
    assert len(log_files(missing)) == 1


@pytest.fixture
def profile(tmp_path):
    """A user profile whose AppData\\Local\\Temp exists."""
    home = tmp_path / "profile"
    temp = home / "AppData" / "Local" / "Temp"
    temp.mkdir(parents=True)
    return home


@pytest.mark.parametrize("kind", ["no_parent", "a_file", "non_ascii", "too_long"])
def test_unusable_temp_falls_back_to_the_profile(wine, make_launcher, tmp_path, profile, kind):
    exe = make_launcher({101: "svc"})
    if kind == "no_parent":
        bad = wine.winpath(tmp_path / "missing" / "deeper")
    elif kind == "a_file":
        f = tmp_path / "plainfile"
        f.write_text("not a directory")
        bad = wine.winpath(f)
    elif kind == "non_ascii":
        d = tmp_path / "tmp_\u65e5\u672c"
        d.mkdir()
        bad = wine.winpath(d)
    else:
        bad = "C:\\" + "x" * 7000
    run_help(wine, exe, {"TMP": bad, "TEMP": bad, "USERPROFILE": wine.winpath(profile)})
    assert len(log_files(profile / "AppData" / "Local" / "Temp")) == 1
    if kind == "non_ascii":
        assert log_files(tmp_path / "tmp_\u65e5\u672c") == []


def test_home_drive_and_path_follow_the_profile(wine, make_launcher, tmp_path):
    exe = make_launcher({101: "svc"})
    home = tmp_path / "home"
    home.mkdir()
    drive, rest = wine.winpath(home)[:2], wine.winpath(home)[2:]
    bad = wine.winpath(tmp_path / "missing" / "deeper")
    run_help(wine, exe, {"TMP": bad, "TEMP": bad, "HOMEDRIVE": drive, "HOMEPATH": rest}, unset=["USERPROFILE"])
    assert len(log_files(home)) == 1


def test_home_drive_alone_is_skipped(wine, make_launcher, tmp_path):
    exe = make_launcher({101: "svc"})
    bad = wine.winpath(tmp_path / "missing" / "deeper")
    r = wine.run(exe, "/help", env=LOG_ON,
                 winenv={"TMP": bad, "TEMP": bad, "HOMEDRIVE": "Z:", "USERPROFILE": "C:\\" + "y" * 7000},
                 unset=["HOMEPATH"])
    assert r.rc == 0
    # The windows directory's temp folder is next; the log is there and
    # nothing was written to the root of the home drive.
    assert list((tmp_path).glob("vtl_nlog_*.log")) == []
