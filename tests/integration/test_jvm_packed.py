"""Packed runtimes end to end: "*.jar.pack" files in lib and lib\\ext are
turned into jars with the home's own unpack200.exe before the home is
tested; a missing unpacker is fatal with message 1009 and "20"; a failed
or hanging unpacker leaves the pack file and no partial jar."""
import pytest

from jvm_support import CONSOLE, MESSAGES, make_home, run_launcher

GOOD = 'java version "1.8.0_121"'


def launcher(make_launcher, home):
    return make_launcher({**CONSOLE, 128: "A" + home.winpath()}, messages=MESSAGES)


def unpack_lines(home, relative_jar):
    """The log lines of one unpack200 run for lib\\rt.jar and the like."""
    root = home.winpath().lower()
    jar = f"{root}\\{relative_jar}"
    program = f"{root}\\bin\\unpack200.exe"
    return [program, f'"{program}" -r "{jar}.pack" "{jar}"', "waiting for unpack200 to finish", "unpack done"]


def test_pack_without_jar_is_unpacked_and_deleted(wine, make_launcher, tempbase, tmp_path):
    home = make_home(tmp_path / "jre", GOOD, unpack200=True)
    pack = home.add_pack("lib/rt.jar.pack", b"PK\x03\x04runtime classes")
    r = run_launcher(wine, launcher(make_launcher, home), tempbase)
    root = home.winpath().lower()
    start = r.index(f"checking {root}\\lib\\rt.jar")
    assert r.lines[start + 1:start + 7] == ["Unpacking JRE"] + unpack_lines(home, "lib\\rt.jar") + \
        ["Unpacking JRE done"]
    assert r.out.startswith("Preparing JRE ...\n")
    # The program name comes first, so the tool takes -r as its option.
    assert home.unpack_runs() == [unpack_lines(home, "lib\\rt.jar")[1]]
    assert (home.root / "lib" / "rt.jar").read_bytes() == b"PK\x03\x04runtime classes"
    assert not pack.exists()
    # The home is tested after it was prepared.
    assert r.index("Loading of JVM-DLL successful") > start


def test_pack_beside_its_jar_is_left_alone(wine, make_launcher, tempbase, tmp_path):
    home = make_home(tmp_path / "jre", GOOD, unpack200=True)
    pack = home.add_pack("lib/rt.jar.pack")
    (home.root / "lib" / "rt.jar").write_bytes(b"existing jar")
    r = run_launcher(wine, launcher(make_launcher, home), tempbase)
    assert r.count(f"checking {home.winpath().lower()}\\lib\\rt.jar") >= 1
    assert "Unpacking JRE" not in r.lines
    assert "Preparing JRE" not in r.out
    assert home.unpack_runs() == []
    assert pack.exists()
    assert (home.root / "lib" / "rt.jar").read_bytes() == b"existing jar"


def test_packs_in_lib_and_ext_share_one_notice(wine, make_launcher, tempbase, tmp_path):
    home = make_home(tmp_path / "jre", GOOD, unpack200=True)
    home.add_pack("lib/rt.jar.pack", b"rt")
    home.add_pack("lib/ext/extra.jar.pack", b"extra")
    r = run_launcher(wine, launcher(make_launcher, home), tempbase)
    assert r.out.count("Preparing JRE ...") == 1
    assert r.count("Unpacking JRE") == 1
    assert r.count("Unpacking JRE done") == 1
    lib = r.index(unpack_lines(home, "lib\\rt.jar")[1])
    ext = r.index(unpack_lines(home, "lib\\ext\\extra.jar")[1], lib)
    assert r.index("Unpacking JRE done") > ext
    assert len(home.unpack_runs()) == 2
    assert (home.root / "lib" / "ext" / "extra.jar").read_bytes() == b"extra"
    assert list(home.root.rglob("*.pack")) == []


def test_missing_unpacker_is_fatal(wine, make_launcher, tempbase, tmp_path):
    home = make_home(tmp_path / "jre", GOOD, unpack200=False)
    pack = home.add_pack("lib/rt.jar.pack")
    r = run_launcher(wine, launcher(make_launcher, home), tempbase)
    failed = r.index("could not create unpack process")
    assert r.lines[failed - 2:failed] == unpack_lines(home, "lib\\rt.jar")[:2]
    assert r.rc == 1
    assert r.err.startswith("internal 20\n")
    assert pack.exists()
    assert home.java_runs() == []


def test_failed_unpack_keeps_the_pack_and_removes_the_partial_jar(wine, make_launcher, tempbase, tmp_path):
    home = make_home(tmp_path / "jre", GOOD, unpack200=True)
    pack = home.add_pack("lib/rt.jar.pack", b"PK\x03\x04runtime classes")
    home.set_unpack200(exit_code=3)
    exe = launcher(make_launcher, home)
    r = run_launcher(wine, exe, tempbase)
    root = home.winpath().lower()
    done = r.index("unpack done", r.index(unpack_lines(home, "lib\\rt.jar")[1]))
    assert r.lines[done + 1] == f"ERROR: unpacking {root}\\lib\\rt.jar.pack failed (exit code 3); the pack file is kept"
    assert pack.exists()
    assert not (home.root / "lib" / "rt.jar").exists()

    # The next start tries again, and a good unpack completes the runtime.
    home.set_unpack200(exit_code=0)
    (tempbase / "vtl_nlog_1.log").unlink()
    r = run_launcher(wine, exe, tempbase)
    assert len(home.unpack_runs()) == 2
    assert (home.root / "lib" / "rt.jar").read_bytes() == b"PK\x03\x04runtime classes"
    assert not pack.exists()
    assert "Loading of JVM-DLL successful" in r.lines


@pytest.mark.slow
def test_hanging_unpack_is_ended_after_a_minute_and_the_pack_kept(wine, make_launcher, tempbase, tmp_path):
    home = make_home(tmp_path / "jre", GOOD, unpack200=True)
    pack = home.add_pack("lib/rt.jar.pack", b"PK\x03\x04runtime classes")
    home.set_unpack200(delay_ms=600000)
    r = run_launcher(wine, launcher(make_launcher, home), tempbase, timeout=150)
    waiting = r.index("waiting for unpack200 to finish")
    assert r.lines[waiting + 1] == "ERROR: unpack200 did not finish within 60000 ms, terminating it"
    assert r.lines[waiting + 2].startswith(f"ERROR: unpacking {home.winpath().lower()}\\lib\\rt.jar.pack failed")
    assert "unpack done" not in r.lines
    assert pack.exists()
    assert not (home.root / "lib" / "rt.jar").exists()
