"""Start-up: reading the block, the command dispatch and the roles."""
import pytest

import vtlblock
from vtltest import BUILD, log_files, only_log, read_message_box, temp_env

USAGE = "Usage: {}.exe /install | /uninstall | /stop | /start | /status | /run | /run-redirect\n"


@pytest.mark.parametrize("word", ["/help", "/?", "-help", "--help", "/-help"])
def test_help_words_print_the_usage_line(wine, make_launcher, word):
    exe = make_launcher({101: "svc"}, name="Demo App.exe")
    r = wine.run(exe, word)
    assert (r.rc, r.out) == (0, USAGE.format("Demo App"))


def test_unknown_word_or_plain_start_is_a_usage_error(wine, make_launcher, tempbase):
    # Not started by an SCM, the dispatcher cannot connect: a mistyped
    # command word (or none) must not look like a finished run.
    exe = make_launcher({101: "svc"})
    for word in ["/Status", "/Help", "---help", "/help ", "/instal", "foo", None]:
        args = [word] if word is not None else []
        r = wine.run(exe, *args, env={"VANTREL_LOG": "yes"}, winenv=temp_env(wine, tempbase))
        assert (r.rc, r.out, r.err) == (1, "", USAGE.format("app")), word
    logs = sorted(tempbase.glob("vtl_nlog_*.log"))
    assert len(logs) == 7
    from vtltest import read_log
    for log in logs:
        lines = read_log(log).splitlines()
        i = lines.index("calling StartServiceCtrlDispatcher")
        assert lines[i + 1] == "StartServiceCtrlDispatcher failed with error 1063"
        assert "StartServiceCtrlDispatcher returned" not in lines


def test_empty_block_is_valid(wine, make_launcher):
    exe = make_launcher(block=vtlblock.build_block())
    r = wine.run(exe, "/help")
    assert (r.rc, r.out) == (0, USAGE.format("app"))


def test_duplicate_key_takes_the_later_value(wine, make_launcher, tempbase):
    exe = make_launcher([(146, "first"), (146, "second")])
    (exe.parent / "first").mkdir()
    (exe.parent / "second").mkdir()
    wine.run(exe, "/help", env={"VANTREL_LOG": "yes"}, winenv=temp_env(wine, tempbase))
    lines = only_log(tempbase).splitlines()
    changed = [l for l in lines if l.startswith("change working directory to ")]
    assert len(changed) == 1 and changed[0].endswith("\\app\\second"), changed


def test_relative_working_directory_is_taken_against_the_launcher_directory(wine, make_launcher, tempbase,
                                                                            tmp_path):
    exe = make_launcher({146: "sub\\dir"})
    other = tmp_path / "elsewhere"
    other.mkdir()
    # The folder is missing: an error line says so, and the launch goes on.
    r = wine.run(exe, "/help", env={"VANTREL_LOG": "yes"}, winenv=temp_env(wine, tempbase), cwd=other)
    assert r.out.startswith("Usage: app.exe"), (r.rc, r.out, r.err)
    assert r.rc == 0
    lines = only_log(tempbase).splitlines()
    expected = wine.winpath(exe.parent) + "\\sub\\dir"
    # ERROR_PATH_NOT_FOUND
    assert f"ERROR: could not change working directory to {expected} (error 3)" in lines, lines
    assert not any(l.startswith("change working directory to ") for l in lines)

    (exe.parent / "sub" / "dir").mkdir(parents=True)
    for old in log_files(tempbase):
        old.unlink()
    r = wine.run(exe, "/help", env={"VANTREL_LOG": "yes"}, winenv=temp_env(wine, tempbase), cwd=other)
    assert r.out.startswith("Usage: app.exe"), (r.rc, r.out, r.err)
    lines = only_log(tempbase).splitlines()
    assert "change working directory to " + expected in lines
    assert not any("could not change working directory" in l for l in lines)


def test_unset_working_directory_is_logged_and_the_family_truncation_too(wine, make_launcher, tempbase):
    exe = make_launcher({2001: "vv"})
    wine.run(exe, "/help", env={"VANTREL_LOG": "yes"}, winenv=temp_env(wine, tempbase))
    lines = only_log(tempbase).splitlines()
    assert "working directory unchanged" in lines
    assert "ERROR: config string 2001 truncated (2 2)" in lines


def test_block_location_is_logged(wine, make_launcher, tempbase):
    exe = make_launcher({101: "svc"})
    wine.run(exe, "/help", env={"VANTREL_LOG": "yes"}, winenv=temp_env(wine, tempbase))
    lines = only_log(tempbase).splitlines()
    image = (BUILD / "vtlstub.exe").read_bytes()
    offset = vtlblock.block_offset(image)
    raw = [l for l in lines if l.startswith("rawDataSize: ")]
    assert len(raw) == 1
    size, start = [int(x.split(": ")[1]) for x in raw[0].split(", ")]
    assert size + start == offset
    assert any(l.startswith("number of sections: ") for l in lines)
    assert any(l.startswith("size of optional headers: ") for l in lines)


@pytest.mark.parametrize("lang, code", [("de_CH.UTF-8", "de_CH"), ("fr_FR.UTF-8", "fr_FR"), ("C", "en_US")])
def test_locale_follows_the_user_interface_language(wine, make_launcher, tempbase, lang, code):
    exe = make_launcher({101: "svc"})
    wine.run(exe, "/help", env={"VANTREL_LOG": "yes", "LANG": lang, "LC_ALL": lang},
             winenv=temp_env(wine, tempbase))
    assert f"language/country is {code}" in only_log(tempbase).splitlines()
