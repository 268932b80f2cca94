"""The class path option end to end: extracted archives, the runtime
archive, the configured entries of each type, and the mandatory entries
that end the launch."""
from launch_support import Launch

MASK = 0xA7


def test_extracted_archives_come_first_in_their_order(wine, make_launcher, tmp_path, tempbase):
    """Temporary directory before its user folder, jar before zip in each,
    then the runtime archive and the configured entries."""
    names = ["z.zip", "a.jar", "user\\u.zip", "user\\u.jar", "notes.txt"]
    files = [b"zip-z", b"jar-a", b"zip-u", b"jar-u", b"the last embedded file"]
    config = {10003: ".", 121: "A0app.jar", 2002: str(len(names)), 2003: ";".join(names)}
    launch = Launch(wine, make_launcher, tmp_path, tempbase, config, files=files)
    r = launch.run()
    assert r.rc == 0, r
    temp = r.option("-Dmorlin.tempDir=")
    assert temp and temp == r.value("Temp dir3: ")
    assert r.option("-Djava.class.path=") == ";".join([
        temp + "\\a.jar", temp + "\\z.zip", temp + "\\user\\u.jar", temp + "\\user\\u.zip",
        launch.win(".vantrel\\vtlruntime.jar"), launch.win("app.jar")])
    # Just past the last embedded file's (masked) bytes in the executable.
    masked = bytes(b ^ MASK for b in files[-1])
    data = launch.exe.read_bytes()
    assert r.option("-Dmorlin.unextractedPosition=") == str(data.index(masked) + len(masked))


def test_configured_entries_of_every_type(wine, make_launcher, tmp_path, tempbase):
    (tmp_path / "app" / "classes").mkdir(parents=True)
    entries = ["E1QUOTED", "E0UNDEFINED", "E0EMPTY", "E1SEMI", "A0${VANTREL_EXEDIR}lib\\v.jar", "A1classes",
               "A0missing.jar", "A0", "D0.\\classes", "Q1ignored", ""]
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {2001: "m", 121: ";".join(entries)})
    r = launch.run(winenv={"QUOTED": '"c:\\a b\\x.jar"', "EMPTY": "", "SEMI": "c:\\s1.jar;c:\\s2.jar;"},
                   unset=["UNDEFINED"])
    # An unknown type that is mandatory is never found.
    assert r.rc == 1
    assert r.err.startswith("missing ignored\n"), r

    entries.remove("Q1ignored")
    launch.configure({2001: "m", 121: ";".join(entries)})
    r = launch.run(winenv={"QUOTED": '"c:\\a b\\x.jar"', "EMPTY": "", "SEMI": "c:\\s1.jar;c:\\s2.jar;"},
                   unset=["UNDEFINED"])
    assert r.rc == 0, r
    assert r.has("classpath entry " + ";".join(entries))
    assert r.has("classpath entries 9")
    # Family 'm' has no runtime archive; an empty 'A' name leaves an empty element.
    assert r.option("-Djava.class.path=") == ";".join([
        "c:\\a b\\x.jar", "c:\\s1.jar", "c:\\s2.jar", launch.win("lib\\v.jar"), launch.win("classes"),
        launch.win("missing.jar"), "", launch.win(".\\classes")])


def test_directory_scans(wine, make_launcher, tmp_path, tempbase):
    lib = tmp_path / "app" / "lib"
    lib.mkdir(parents=True)
    for name in ("a.jar", "b.zip", "c.txt", "e.jar"):
        (lib / name).write_bytes(b"PK")
    (lib / "d.jar").mkdir()  # matches the pattern, so it is listed
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {2001: "m", 121: "S1lib;S0nothing;S1${VANTREL_EXEDIR}lib"})
    r = launch.run()
    assert r.rc == 0, r
    elements = r.option("-Djava.class.path=").split(";")
    scanned = [launch.win("lib\\" + n) for n in ("a.jar", "d.jar", "e.jar")]
    assert sorted(elements[:3]) == sorted(scanned) and elements[3] == launch.win("lib\\b.zip")
    assert elements[4:] == elements[:4]
    assert len(elements) == 8

    # An existing, empty directory is found and contributes nothing.
    for p in lib.iterdir():
        p.rmdir() if p.is_dir() else p.unlink()
    r = launch.run()
    assert r.rc == 0, r
    assert r.option("-Djava.class.path=") == ""

    lib.rmdir()
    r = launch.run()
    assert r.rc == 1
    assert r.err.startswith("missing lib\n"), r
    assert not r.trace.calls("JNI_CreateJavaVM")


def test_mandatory_entries_end_the_launch(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {121: "A0x.jar;E1NOT_THERE"})
    r = launch.run(unset=["NOT_THERE"])
    assert r.rc == 1
    assert r.err.startswith("undefined NOT_THERE\n"), r
    assert not r.trace.calls("JNI_CreateJavaVM")

    # Defined but empty: found is false, so the entry is missing.
    r = launch.run(winenv={"NOT_THERE": ""})
    assert r.rc == 1
    assert r.err.startswith("missing NOT_THERE\n"), r

    # The message names the expanded name, not the resolved path.
    launch.configure({121: "A1${VANTREL_EXEDIR}missing.jar"})
    r = launch.run()
    assert r.rc == 1
    assert r.err.startswith(f"missing {launch.win('missing.jar')}\n"), r

    (tmp_path / "app" / "missing.jar").write_bytes(b"PK")
    r = launch.run()
    assert r.rc == 0, r


def test_over_long_values_are_left_out_not_cut(wine, make_launcher, tmp_path, tempbase):
    """An environment value over 5999 characters, or a name that expands
    beyond its buffer, is never cut into a wrong path."""
    long_value = "c:\\" + "v" * 7000
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {2001: "m", 121: "E0LONG;A0${LONG};A0kept.jar"})
    r = launch.run(winenv={"LONG": long_value})
    assert r.rc == 0, r
    assert r.option("-Djava.class.path=") == launch.win("kept.jar")
    assert r.has("ERROR: environment variable LONG is too long for the class path (7003 characters), left out")
    assert r.starting("ERROR: classpath entry too long after expansion, left out: ")

    launch.configure({2001: "m", 121: "E1LONG"})
    r = launch.run(winenv={"LONG": long_value})
    assert r.rc == 1
    assert r.err.startswith("missing LONG\n"), r
