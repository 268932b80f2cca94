"""Error reporting: standard error or a message box by executable type,
the log path appended when logging is on, localized texts, and the stubs'
own make-up (console programs that need nothing beside Windows)."""
import re
import subprocess

import pytest

import vtlblock

from vtltest import BITS, BUILD32, BUILD64, log_files, read_message_box, temp_env

NO_JVM = {101: "svc", 128: "", 2001: "m"}
SEARCH_VARS = ["JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME", "VANTREL_JAVA_HOME"]


def test_console_type_reports_on_standard_error_with_the_log_path(wine, make_launcher, tempbase):
    exe = make_launcher({**NO_JVM, 107: "4"}, {1016: "No {0}-bit Java found."})
    r = wine.run(exe, "/run", env={"VANTREL_LOG": "yes"}, winenv=temp_env(wine, tempbase), unset=SEARCH_VARS)
    assert r.rc == 1
    logs = log_files(tempbase)
    assert len(logs) == 1
    m = re.fullmatch(rf"No {BITS}-bit Java found\.\n\nLog: (.+)\n", r.err)
    assert m, r.err
    assert m.group(1).lower() == wine.winpath(logs[0]).lower()
    assert "ERROR: No JVM found" in logs[0].read_text(encoding="utf-8-sig")


def test_without_the_log_the_text_stands_alone(wine, make_launcher, tempbase):
    exe = make_launcher({**NO_JVM, 107: "0"}, {1016: "No {0}-bit Java found, {0}."})
    r = wine.run(exe, "/run", winenv=temp_env(wine, tempbase), unset=SEARCH_VARS)
    assert (r.rc, r.err) == (1, f"No {BITS}-bit Java found, {{0}}.\n")


def test_empty_message_without_configuration_value_shows_an_empty_text(wine, make_launcher, tempbase):
    exe = make_launcher({**NO_JVM, 107: "4"}, {1016: ""})
    r = wine.run(exe, "/run", winenv=temp_env(wine, tempbase), unset=SEARCH_VARS)
    assert (r.rc, r.err) == (1, "\n")


def test_empty_message_falls_back_to_the_configuration_key(wine, make_launcher, tempbase):
    exe = make_launcher({**NO_JVM, 107: "4", 1016: "from the key {0}"}, {1016: ""})
    r = wine.run(exe, "/run", winenv=temp_env(wine, tempbase), unset=SEARCH_VARS)
    assert (r.rc, r.err) == (1, f"from the key {BITS}\n")


@pytest.mark.parametrize("lang, expected", [("de_CH.UTF-8", "Schweiz"), ("de_DE.UTF-8", "Deutsch"),
                                            ("fr_FR.UTF-8", "English")])
def test_language_sections_choose_the_text(wine, make_launcher, tempbase, lang, expected):
    exe = make_launcher({**NO_JVM, 107: "4"}, {1016: "English {0}"},
                        [("de", {1016: "Deutsch {0}"}), ("de_CH", {1016: "Schweiz {0}"})])
    r = wine.run(exe, "/run", env={"LANG": lang, "LC_ALL": lang}, winenv=temp_env(wine, tempbase),
                 unset=SEARCH_VARS)
    assert (r.rc, r.err) == (1, f"{expected} {BITS}\n")


@pytest.mark.parametrize("type_", ["1", "5"])
def test_gui_types_report_in_a_message_box(wine, make_launcher, tempbase, type_):
    exe = make_launcher({**NO_JVM, 107: type_}, {1000: "Demo failed", 1016: "No {0}-bit Java."})
    box, rc = read_message_box(wine, exe, "/run", winenv=temp_env(wine, tempbase), unset=SEARCH_VARS)
    assert rc == 1
    assert box == f"Demo failed|No {BITS}-bit Java."


@pytest.mark.parametrize("build, machine", [(BUILD64, "x86-64"), (BUILD32, "i386")])
@pytest.mark.parametrize("name, subsystem", [("vtlstub.exe", 3), ("vtlstubw.exe", 2)])
def test_stubs_are_console_or_windowed_programs_needing_only_system_dlls(build, machine, name, subsystem):
    stub = build / name
    objdump = "x86_64-w64-mingw32-objdump" if machine == "x86-64" else "i686-w64-mingw32-objdump"
    out = subprocess.run([objdump, "-p", str(stub)], capture_output=True, text=True, check=True).stdout
    dlls = {d.lower() for d in re.findall(r"DLL Name: (\S+)", out)}
    # user32 is loaded only when a box is shown: importing it costs every
    # launch the set-up of a window station. The windowed stub too.
    assert dlls <= {"kernel32.dll", "advapi32.dll", "msvcrt.dll"}, dlls
    assert re.search(rf"^Subsystem\s+0000000{subsystem}\s", out, re.M), f"not subsystem {subsystem}"
    header = subprocess.run([objdump, "-f", str(stub)], capture_output=True, text=True, check=True).stdout
    assert machine in header


# Message boxes appear on the session's X desktop, where boxreader finds
# them. No test starts a Wine program without a display: the first such
# program would give the prefix a desktop without one, and every later box
# would fail to appear.
@pytest.mark.parametrize("content, text", [
    (b"", "Internal Error: readInt"),                          # nothing appended at all
    (b"\x00\x01\x02\x03" + bytes(40), "Internal Error: magic"),  # wrong magic
    (vtlblock.build_block({101: "svc"})[:33], "Internal Error: readString"),  # cut in a record
    (vtlblock.build_block({101: "x" * 50})[:24], "Internal Error: readInt"),  # cut at a count
])
def test_missing_wrong_or_cut_block_is_fatal_in_a_message_box(wine, make_launcher, content, text):
    # Until the block is read, errors go to a message box.
    exe = make_launcher(block=content)
    box, rc = read_message_box(wine, exe, "/help")
    assert rc == 1
    assert box == "Error|" + text


def test_no_message_box_on_a_window_station_nobody_sees(wine, make_launcher, tempbase):
    # A service runs on such a station (Wine's SCM gives its services a
    # visible one, so envrun makes one): a box there would wait for ever.
    # The text goes to standard error and the log instead, also for an
    # error found while the block is read, before any setting is known.
    hidden = [f"TMP={wine.winpath(tempbase)}", f"TEMP={wine.winpath(tempbase)}", "VANTREL_LOG=yes"]
    hidden += ["--hidden-station", "--"]
    exe = make_launcher({**NO_JVM, 107: "1"}, {1016: "No {0}-bit Java."})
    unset = [a for v in SEARCH_VARS for a in ("-u", v)]
    r = wine.run(wine.envrun, *unset, *hidden, exe, "/run", timeout=60)
    assert r.rc == 1, r
    assert r.err.startswith(f"No {BITS}-bit Java.\n\nLog: "), r
    log = [l for path in log_files(tempbase) for l in path.read_text(encoding="utf-8-sig").splitlines()]
    assert any(l.startswith(f"ERROR: no visible desktop for a message box: No {BITS}-bit Java.") for l in log), log

    cut = make_launcher(block=b"", name="cut.exe")
    r = wine.run(wine.envrun, "--hidden-station", "--", cut, "/help", timeout=60)
    assert (r.rc, r.out, r.err) == (1, "", "Internal Error: readInt\n"), r
