"""The JVM search end to end: the order in which candidates are tried, the
relative pass, location files, the fixed variables, wrong-width runtimes
and the one message shown when nothing loads. The log is the oracle."""
from vtltest import BITS
from jvm_support import (CONSOLE, MESSAGES, exe_path, make_home, registry, run_launcher,  # noqa: F401
                         unique_id)

OLD = 'java version "1.6.0_45"'
GOOD = 'java version "1.8.0_121"'


def path_settings(r):
    """The values of the PATH changes made while loading jvm.dll."""
    return [l[len("Setting PATH "):] for l in r.starting("Setting PATH ") if not l.startswith("Setting PATH (")]


def launcher(make_launcher, sequence, **config):
    values = {**CONSOLE, 128: sequence}
    values.update({int(k[1:]): v for k, v in config.items()})
    return make_launcher(values, messages=MESSAGES)


def test_order_of_attempts_for_the_example_sequence(wine, make_launcher, tempbase, tmp_path, registry):
    """B.\\jre, Y, JAVA_HOME, JDK_HOME, jre again by existence, previous
    installations of user and machine, then the two fixed variables."""
    app = tmp_path / "app"
    jre = make_home(app / "jre", OLD, variant="nojvm")
    located = make_home(tmp_path / "located", OLD)
    homes = {name: make_home(tmp_path / name.lower(), OLD)
             for name in ("JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME", "VANTREL_JAVA_HOME")}
    installed = make_home(tmp_path / "inst" / "jre", OLD)
    app_id = unique_id()
    registry.seed({"HKCU\\SOFTWARE\\brevane\\morlin\\locatedjvms\\" + exe_path(located).replace("\\", "/"): {},
                   "HKCU\\SOFTWARE\\brevane\\vantrel\\installations": {app_id: wine.winpath(tmp_path / "inst")}})

    exe = launcher(make_launcher, "B.\\jre;Y;EJAVA_HOME;EJDK_HOME;", k126="1.8", k160=app_id)
    r = run_launcher(wine, exe, tempbase, winenv={name: home.winpath() for name, home in homes.items()})

    lines = r.lines
    first = r.index("Testing location .\\jre (type B)")
    y = r.index("Testing location  (type Y)", first)
    e1 = r.index("Testing location JAVA_HOME (type E)", y)
    e2 = r.index("Testing location JDK_HOME (type E)", e1)
    relative = r.index("Testing relative location .\\jre", e2)
    exists = r.index(exe_path(jre) + " exists", relative)
    user = next(i for i, l in enumerate(lines) if l.startswith(f"checking app id {app_id} (0, "))
    machine = max(i for i, l in enumerate(lines) if l.startswith(f"checking app id {app_id} ("))
    finished = r.index("Search sequence finished")
    assert first < y < e1 < e2 < relative < exists < user < machine < finished

    checked = r.checked()
    assert checked[:4] == [exe_path(jre), exe_path(located), exe_path(homes["JAVA_HOME"]),
                           exe_path(homes["JDK_HOME"])]
    assert checked[-2:] == [exe_path(homes["MORLIN_JAVA_HOME"]), exe_path(homes["VANTREL_JAVA_HOME"])]
    assert set(checked[4:-2]) == {exe_path(installed)}
    assert r.index("found installations: " + wine.winpath(tmp_path / "inst"), user) < machine
    # The relative pass accepted jre last; its missing jvm.dll decides the message.
    assert r.index("ERROR: Could not get DLL-Handle.") > finished
    assert r.rc == 1
    assert r.err.startswith(f"dir{BITS} .\\jre\n")


def test_b_entry_outside_the_bounds_is_used_by_the_relative_pass(wine, make_launcher, tempbase, tmp_path):
    jre = make_home(tmp_path / "app" / "jre", OLD)
    exe = launcher(make_launcher, "B.\\jre", k126="1.8")
    r = run_launcher(wine, exe, tempbase)
    refused = r.index("checkJavaExe returning 0", r.index("Testing location .\\jre (type B)"))
    relative = r.index("Testing relative location .\\jre", refused)
    r.index(exe_path(jre) + " exists", relative)
    loaded = r.index("Trying to load JVM-DLL from " + exe_path(jre), relative)
    assert r.index("Loading of JVM-DLL successful", loaded)
    # The relative pass does not run java.exe again.
    assert len(jre.java_runs()) == 1


def test_relative_pass_records_the_version_of_the_runtime_it_loads(wine, make_launcher, tempbase, tmp_path):
    """After a newer runtime was refused, the relative pass loads .\\jre: the
    version-specific option line chosen is the one for .\\jre's own version
    (known from the cache), not the refused runtime's."""
    jre = make_home(tmp_path / "app" / "jre", OLD)
    newer = make_home(tmp_path / "newer", 'openjdk version "17.0.2" 2022-01-18', variant="nojvm")
    exe = launcher(make_launcher, "B.\\jre;A" + newer.winpath(), k126="1.8", k127="1.8",
                   k10200="2", k10201="17", k10202="-Dfor.version=17", k10203="1.6", k10204="-Dfor.version=1.6")
    r = run_launcher(wine, exe, tempbase)
    r.index("checkJavaExe returning 0", r.index("got version from execution 17.0.2"))
    relative = r.index("Testing relative location .\\jre")
    r.index("got version from registry 1.6.0_45", r.index(exe_path(jre) + " exists", relative))
    assert "check 2 version specific vm option lines for 1.6.0_45" in r.lines
    options = jre.trace().options()
    assert "-Dfor.version=1.6" in options
    assert "-Dfor.version=17" not in options
    assert len(jre.java_runs()) == 1


def test_absolute_a_entry_is_not_revisited_but_absolute_b_and_relative_a_are(wine, make_launcher, tempbase,
                                                                             tmp_path):
    absolute_a = make_home(tmp_path / "abs_a", OLD)
    relative_a = make_home(tmp_path / "app" / "rel_a", OLD, variant="nojvm")
    absolute_b = make_home(tmp_path / "abs_b", OLD)
    sequence = f"A{absolute_a.winpath()};Arel_a;B{absolute_b.winpath()};R\\\\server\\share\\jre"
    exe = launcher(make_launcher, sequence, k126="1.8")
    r = run_launcher(wine, exe, tempbase)
    visited = [l[len("Testing relative location "):] for l in r.starting("Testing relative location ")]
    assert visited == ["rel_a", absolute_b.winpath()]
    assert "Trying to load JVM-DLL from " + exe_path(absolute_b) in r.lines
    assert "Loading of JVM-DLL successful" in r.lines
    assert "Trying to load JVM-DLL from " + exe_path(absolute_a) not in r.lines


def test_lower_case_letter_makes_the_entry_inert(wine, make_launcher, tempbase, tmp_path):
    make_home(tmp_path / "app" / "jre", GOOD)
    exe = launcher(make_launcher, "b.\\jre;e JAVA_HOME;y")
    r = run_launcher(wine, exe, tempbase)
    assert "Testing location .\\jre (type b)" in r.lines
    assert r.checked() == []
    assert r.starting("Testing relative location") == []
    assert "ERROR: No JVM found" in r.lines
    assert r.rc == 1
    assert r.err.startswith(f"no jvm {BITS}\n")


def test_empty_sequence_consults_files_installations_and_fixed_variables(wine, make_launcher, tempbase, tmp_path,
                                                                         registry):
    app = tmp_path / "app"
    preferred = make_home(tmp_path / "preferred", OLD)
    installer = make_home(tmp_path / "installer", OLD)
    installed = make_home(tmp_path / "inst" / "jre", OLD)
    morlin = make_home(tmp_path / "morlin", OLD)
    vantrel = make_home(tmp_path / "vantrel", GOOD)
    (app / ".vantrel").mkdir(parents=True)
    (app / ".vantrel" / "pref_jre.cfg").write_bytes(preferred.winpath().encode() + b"\r\nsecond line\r\n")
    (app / ".vantrel" / "inst_jre.cfg").write_bytes(installer.winpath().encode() + b"\n")
    app_id = unique_id()
    registry.seed({"HKLM\\SOFTWARE\\brevane\\vantrel\\installations": {app_id: wine.winpath(tmp_path / "inst")}})

    exe = launcher(make_launcher, "", k126="1.8", k160=app_id)
    r = run_launcher(wine, exe, tempbase, winenv={"MORLIN_JAVA_HOME": morlin.winpath(),
                                                  "VANTREL_JAVA_HOME": vantrel.winpath()})
    pref = r.index("Has preferred location " + preferred.winpath())
    inst = r.index("Has installer location " + installer.winpath(), pref)
    found = r.index("found installations: " + wine.winpath(tmp_path / "inst"), inst)
    finished = r.index("Search sequence finished", found)
    assert r.starting("Testing location") == []
    assert r.checked()[:2] == [exe_path(preferred), exe_path(installer)]
    assert r.checked()[-2:] == [exe_path(morlin), exe_path(vantrel)]
    assert r.index("Trying to load JVM-DLL from " + exe_path(vantrel), finished)
    assert "Loading of JVM-DLL successful" in r.lines
    assert "Using preferred location" not in r.lines


def test_location_files_below_the_configured_application_directory(wine, make_launcher, tempbase, tmp_path):
    app = tmp_path / "app"
    preferred = make_home(tmp_path / "preferred", GOOD)
    (app / "sub" / ".vantrel").mkdir(parents=True)
    (app / "sub" / ".vantrel" / "pref_jre.cfg").write_text(preferred.winpath() + "\n")
    exe = launcher(make_launcher, "Y", k10003="sub")
    r = run_launcher(wine, exe, tempbase)
    r.index("Has preferred location " + preferred.winpath())
    using = r.index("Using preferred location")
    r.index("Loading of JVM-DLL successful", using)
    assert r.starting("Testing location") == []


def test_empty_location_file_tests_the_launcher_directory(wine, make_launcher, tempbase, tmp_path):
    app = tmp_path / "app"
    (app / ".vantrel").mkdir(parents=True)
    (app / ".vantrel" / "inst_jre.cfg").write_text("\n")
    exe = launcher(make_launcher, "")
    r = run_launcher(wine, exe, tempbase)
    r.index("Has installer location ")
    # The directory keeps its final backslash; checkJavaExe then collapses the pair.
    assert r.checked()[0] == (wine.winpath(app) + "\\\\bin\\java.exe").lower()


def test_morlin_java_home_with_forward_slashes(wine, make_launcher, tempbase, tmp_path):
    home = make_home(tmp_path / "jdk", GOOD)
    exe = launcher(make_launcher, "")
    r = run_launcher(wine, exe, tempbase, winenv={"MORLIN_JAVA_HOME": home.winpath().replace("\\", "/")})
    assert r.checked() == [exe_path(home)]
    r.index("Loading of JVM-DLL successful", r.index("Search sequence finished"))


def test_pre_release_is_refused_from_a_variable_but_allowed_from_a_directory(wine, make_launcher, tempbase,
                                                                             tmp_path):
    home = make_home(tmp_path / "ea", 'java version "1.8.0-ea"')
    exe = launcher(make_launcher, f"EJAVA_HOME;A{home.winpath()}")
    r = run_launcher(wine, exe, tempbase, winenv={"JAVA_HOME": home.winpath()})
    refused = r.index("beta vm not allowed")
    assert r.index("checkJavaExe returning 1", refused) > refused
    assert "Trying to load JVM-DLL from " + exe_path(home) in r.lines
    # Config key 130 allows it from the variable as well.
    exe = launcher(make_launcher, "EJAVA_HOME", k130="1")
    (tempbase / "vtl_nlog_1.log").unlink()
    r = run_launcher(wine, exe, tempbase, winenv={"JAVA_HOME": home.winpath()})
    assert "beta vm not allowed" not in r.lines
    assert "Loading of JVM-DLL successful" in r.lines


def test_wrong_width_runtime_then_a_good_one(wine, make_launcher, tempbase, tmp_path):
    wrong = make_home(tmp_path / "wrong", GOOD, variant="foreign", vm_types=("client",))
    good = make_home(tmp_path / "good", GOOD)
    exe = launcher(make_launcher, "EJAVA_HOME;EJDK_HOME")
    r = run_launcher(wine, exe, tempbase, winenv={"JAVA_HOME": wrong.winpath(), "JDK_HOME": good.winpath()})
    tried = r.index(f"Trying {wrong.winpath().lower()}\\bin\\client\\jvm.dll (exists 1)")
    assert r.lines[tried + 1] == "Failed with error code 193"
    # The alternative bin directory of a JDK's private runtime comes next.
    alt = wrong.winpath().lower() + "\\bin\\..\\jre\\bin"
    r.index(f"Trying {alt}\\hotspot\\jvm.dll (exists 0)", tried)
    loaded = r.index("Trying to load JVM-DLL from " + exe_path(good), tried)
    r.index("Loading of JVM-DLL successful", loaded)
    # PATH went back to its old value after each failed bin directory.
    wrong_bin = wrong.winpath().lower() + "\\bin"
    good_bin = good.winpath().lower() + "\\bin"
    settings = path_settings(r)
    original = settings[0][:-len(";" + wrong_bin)]
    assert settings == [original + ";" + wrong_bin, original, original + ";" + alt, original,
                        original + ";" + good_bin]


def test_wrong_width_runtime_alone_names_the_variable(wine, make_launcher, tempbase, tmp_path):
    wrong = make_home(tmp_path / "wrong", GOOD, variant="foreign")
    exe = launcher(make_launcher, "EJAVA_HOME")
    r = run_launcher(wine, exe, tempbase, winenv={"JAVA_HOME": wrong.winpath()})
    assert "Failed with error code 193" in r.lines
    assert "ERROR: Could not get DLL-Handle." in r.lines
    assert "ERROR: Could not load functions" in r.lines
    assert r.rc == 1
    assert r.err.startswith(f"env{BITS} JAVA_HOME\n")
    assert r.err.count(f"env{BITS}") == 1


def test_previous_installation_without_the_export_gives_message_1005(wine, make_launcher, tempbase, tmp_path,
                                                                     registry):
    installed = make_home(tmp_path / "inst" / "jre", GOOD, variant="noexport")
    app_id = unique_id()
    registry.seed({"HKCU\\SOFTWARE\\brevane\\vantrel\\installations": {app_id: wine.winpath(tmp_path / "inst")}})
    exe = launcher(make_launcher, "", k160=app_id)
    r = run_launcher(wine, exe, tempbase)
    found = r.index("found JRE from previous installation (user) " + exe_path(installed))
    r.index("Trying to load JVM-DLL from " + exe_path(installed), found)
    assert "ERROR: Could not get DLL-Handle." not in r.lines
    assert "ERROR: Could not load functions" in r.lines
    assert "Loading of JVM-DLL successful" not in r.lines
    assert r.rc == 1
    assert r.err.startswith("start failed\n")


def test_preferred_vm_type_is_tried_first_and_again_in_its_turn(wine, make_launcher, tempbase, tmp_path):
    home = make_home(tmp_path / "jre", GOOD, variant="nojvm")
    exe = launcher(make_launcher, f"A{home.winpath()}", k152="server")
    r = run_launcher(wine, exe, tempbase)
    bin_dir = home.winpath().lower() + "\\bin"
    tried = [l for l in r.starting("Trying ") if l.endswith("(exists 0)")]
    order = ["server", "hotspot", "client", "server", "classic", "jrockit"]
    assert tried == [f"Trying {bin_dir}\\{t}\\jvm.dll (exists 0)" for t in order] + \
        [f"Trying {bin_dir}\\..\\jre\\bin\\{t}\\jvm.dll (exists 0)" for t in order]
    assert r.rc == 1
    assert r.err.startswith(f"dir{BITS} {home.winpath()}\n")


def test_executable_type_1_needs_javaw(wine, make_launcher, tempbase, tmp_path):
    with_w = make_home(tmp_path / "with", GOOD, javaw=True)
    without = make_home(tmp_path / "without", GOOD)
    exe = make_launcher({107: "1", 128: f"A{without.winpath()};A{with_w.winpath()}"})
    r = run_launcher(wine, exe, tempbase)
    returns = r.starting("checkJavaExe returning")
    assert returns == ["checkJavaExe returning 0", "checkJavaExe returning 1"]
    assert "got version from execution 1.8.0_121" in r.lines
    r.index("Trying to load JVM-DLL from " + exe_path(with_w, "javaw.exe"))
    assert path_settings(r)[0].endswith(";" + with_w.winpath().lower() + "\\bin")
    assert "Loading of JVM-DLL successful" in r.lines


def test_chosen_runtime_home_reaches_the_vm_options(wine, make_launcher, tempbase, tmp_path):
    """The home recorded for the chosen runtime is its bin directory and
    "..", also when javaw.exe was chosen; VM options expand it."""
    home = make_home(tmp_path / "jre", GOOD, javaw=True)
    exe = make_launcher({107: "1", 128: "A" + home.winpath(), 123: "-Dvtl.home=${launcher:sys.jvmHome}"})
    r = run_launcher(wine, exe, tempbase)
    assert "Loading of JVM-DLL successful" in r.lines
    assert f"-Dvtl.home={home.winpath().lower()}\\bin\\.." in home.trace().options()


def test_path_search_failure_shows_the_width(wine, make_launcher, tempbase, tmp_path):
    wrong = make_home(tmp_path / "wrong", GOOD, variant="foreign")
    exe = launcher(make_launcher, "S")
    system_path = "C:\\windows\\system32;C:\\windows"
    r = run_launcher(wine, exe, tempbase, winenv={"PATH": f"{system_path};{wrong.winpath()}\\bin"})
    r.index("Testing location  (type S)")
    assert r.checked() == [exe_path(wrong)]
    assert "Failed with error code 193" in r.lines
    assert r.rc == 1
    assert r.err.startswith(f"no jvm {BITS}\n")


def test_long_path_gets_the_bin_directory_and_overlong_variables_are_refused(wine, make_launcher, tempbase,
                                                                             tmp_path):
    """A PATH beyond 12000 characters (common on developer machines) still
    gets the runtime's bin directory; a variable beyond 6000 characters
    counts as unset."""
    home = make_home(tmp_path / "jre", GOOD)
    long_path = "C:\\windows\\system32;C:\\windows;" + ";".join(["C:\\unused"] * 1400)
    assert len(long_path) > 12000
    exe = launcher(make_launcher, "EJAVA_HOME;A" + home.winpath())
    r = run_launcher(wine, exe, tempbase, winenv={"PATH": long_path, "JAVA_HOME": "C:\\" + "j" * 7000})
    assert r.checked() == [exe_path(home)]
    assert path_settings(r) == [long_path + ";" + home.winpath().lower() + "\\bin"]
    assert not r.starting("ERROR: PATH is too long")
    assert "Loading of JVM-DLL successful" in r.lines
