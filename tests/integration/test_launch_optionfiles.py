"""VM option files end to end: the file beside the executable, its line
rules, includes and include cycles, and the class path directives."""
from launch_support import Launch
from vtltest import BITS

# A null file handle as the log prints a pointer: one digit per four bits.
NULL = "0" * (BITS // 4)


def options_between(r, first, last):
    options = r.options()
    return options[options.index(first):options.index(last) + 1]


def test_lines_comments_tabs_and_byte_order_mark(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {123: "-Dconfigured=1"})
    (launch.app_dir / "server.vmoptions").write_bytes(
        b"\xef\xbb\xbf-Dfirst=1\r\n"
        b"# a comment\r\n"
        b"  -Xmx256m  \r\n"
        b"\r\n"
        b"   \r\n"
        b"\t-Dtab=1\r\n"
        b"-Dpath=c:\\Program Files\\x\r\n"
        b"-Dlatin=caf\xe9\r\n"
        b"  # indented comment\n"
        b"-Dvar=${VANTREL_EXEDIR}x\n"
        b"-Dlast=1")
    r = launch.run()
    assert r.rc == 0, r
    options = r.options()
    start = options.index("-Dconfigured=1")
    # The byte-order mark is not recognised: it stays in front of the option.
    assert options[start + 1:start + 9] == [
        "\u00ef\u00bb\u00bf-Dfirst=1", "-Xmx256m", "\t-Dtab=1", "-Dpath=c:\\Program Files\\x", "-Dlatin=caf\u00e9",
        "-Dvar=" + launch.win("x"), "-Dlast=1", options[start + 8]]
    assert options[start + 8].startswith("-Djava.class.path=")
    first = r.starting("vmoptions2: exe ")[0]
    assert first.startswith(launch.win("server.exe") + " file: " + launch.win("server.vmoptions") + ", file: ")
    assert not first.endswith(NULL)
    assert r.value("default vmoptions file: ") != NULL


def test_second_candidate_and_no_file(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase)
    r = launch.run()
    assert r.rc == 0, r
    assert r.value("default vmoptions file: ") == NULL
    assert r.starting("vmoptions: opts2: ")[0] == launch.win("server.exe.vmoptions") + ", file: " + NULL

    (launch.app_dir / "server.exe.vmoptions").write_bytes(b"-Dsecond.candidate=1\n")
    r = launch.run()
    assert r.rc == 0, r
    assert "-Dsecond.candidate=1" in r.options()
    assert r.starting("vmoptions: opts2: ")[0] != launch.win("server.exe.vmoptions") + ", file: " + NULL


def test_long_lines_arrive_in_pieces(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase)
    long_line = b"-Dlong=" + bytes(ord("a") + i % 26 for i in range(40000))
    (launch.app_dir / "server.vmoptions").write_bytes(b"-Dbefore=1\r\n" + long_line + b"\r\n-Dafter=1\r\n")
    r = launch.run()
    assert r.rc == 0, r
    pieces = options_between(r, "-Dbefore=1", "-Dafter=1")
    assert pieces == ["-Dbefore=1", long_line[:29999].decode(), long_line[29999:].decode(), "-Dafter=1"]


def test_includes_are_relative_to_the_including_file(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase)
    sub = launch.app_dir / "sub"
    sub.mkdir()
    (launch.app_dir / "server.vmoptions").write_bytes(
        b"-Dtop=1\n-include-options sub\\more.vmoptions\n-include-options missing.vmoptions\n-Dtop=2\n")
    (sub / "more.vmoptions").write_bytes(b"-Dmore=1\n-include-options deeper.vmoptions\n-Dmore=2\n")
    (sub / "deeper.vmoptions").write_bytes(b"-Ddeeper=1\n")
    # Would be read if includes were taken relative to the launcher.
    (launch.app_dir / "deeper.vmoptions").write_bytes(b"-Dwrong=1\n")
    r = launch.run()
    assert r.rc == 0, r
    assert options_between(r, "-Dtop=1", "-Dtop=2") == ["-Dtop=1", "-Dmore=1", "-Ddeeper=1", "-Dmore=2", "-Dtop=2"]
    assert "-Dwrong=1" not in r.options()
    assert r.has("after exp from sub\\more.vmoptions sub\\more.vmoptions")
    # The missing include leaves only its null handle in the log.
    assert r.has(f"adding vmoptions from ({NULL}) <{launch.win('missing.vmoptions')}> (missing.vmoptions)")
    assert r.lines.count("adding vmoptions 2") == 3 and r.lines.count("adding vmoptions 3") == 3


def test_include_cycles_are_stopped(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {123: "-include-options a.vmoptions"})
    (launch.app_dir / "server.vmoptions").write_bytes(b"-Dserver=1\n-include-options SERVER.vmoptions\n-Dserver=2\n")
    (launch.app_dir / "a.vmoptions").write_bytes(b"-Da=1\n-include-options b.vmoptions\n-Da=2\n")
    (launch.app_dir / "b.vmoptions").write_bytes(b"-Db=1\n-include-options .\\a.vmoptions\n"
                                                 b"-include-options b.vmoptions\n-Db=2\n")
    r = launch.run(timeout=60)
    assert r.rc == 0, r
    options = r.options()
    assert options_between(r, "-Da=1", "-Da=2") == ["-Da=1", "-Db=1", "-Db=2", "-Da=2"]
    assert options_between(r, "-Dserver=1", "-Dserver=2") == ["-Dserver=1", "-Dserver=2"]
    for name in ("-Da=1", "-Db=1", "-Dserver=1"):
        assert options.count(name) == 1
    skipped = r.starting("ERROR: vmoptions include of ")
    assert skipped == [launch.win(".\\a.vmoptions") + " skipped: that file is already being read",
                       launch.win("b.vmoptions") + " skipped: that file is already being read",
                       launch.win("SERVER.vmoptions") + " skipped: that file is already being read"]


def test_class_path_directives(wine, make_launcher, tmp_path, tempbase):
    """The last directive of each kind wins; the replacement takes the place
    of key 121, not of the runtime archive; near-misses are plain options."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {10003: ".", 121: "A0configured.jar"})
    (launch.app_dir / "server.vmoptions").write_bytes(
        b"-classpath/a first-suffix.jar\n"
        b"-classpath/a c:\\second suffix.jar\n"
        b"-classpath/p c:\\pre.jar\n"
        b"-classpath c:\\repl.jar;${VANTREL_EXEDIR}r2.jar\n"
        b"-classpath\tc:\\tab.jar\n"
        b"-classpath\n"
        b"-Classpath x\n")
    r = launch.run()
    assert r.rc == 0, r
    assert r.option("-Djava.class.path=") == ";".join([
        "c:\\pre.jar", launch.win(".vantrel\\vtlruntime.jar"), "c:\\repl.jar", launch.win("r2.jar"),
        "c:\\second suffix.jar"])
    options = r.options()
    assert options.index("-classpath\tc:\\tab.jar") < options.index("-classpath") < options.index("-Classpath x")
    assert not r.starting("classpath entry ")  # key 121 was not read


def test_name_without_exe_extension(wine, make_launcher, tmp_path, tempbase):
    """Candidate one drops the last four characters whatever they are;
    candidate two appends to the whole name."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase, name="serverx")
    (launch.app_dir / "ser.vmoptions").write_bytes(b"-Dcandidate=one\n")
    (launch.app_dir / "serverx.vmoptions").write_bytes(b"-Dcandidate=two\n")
    r = launch.run()
    assert r.rc == 0, r
    assert "-Dcandidate=one" in r.options() and "-Dcandidate=two" not in r.options()

    (launch.app_dir / "ser.vmoptions").unlink()
    r = launch.run()
    assert r.rc == 0, r
    assert "-Dcandidate=two" in r.options()
