"""Registry scans end to end: the JavaSoft registration (CurrentVersion and
the byte-wise ordered version subkeys), the located-runtime lists of both
hives, config key 165, and earlier installations in both registry views.
Each test seeds the Wine registry and removes what it added."""
import re

import pytest

from vtltest import BITS, IS_32
from jvm_support import CONSOLE, MESSAGES, exe_path, make_home, registry, run_launcher, run_launcher_with_box, unique_id  # noqa: F401

JRE = "HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment"
JDK = "HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit"
LOCATED_USER = "HKCU\\SOFTWARE\\brevane\\morlin\\locatedjvms\\"
LOCATED_MACHINE = "HKLM\\SOFTWARE\\brevane\\morlin\\locatedjvms\\"
INSTALLATIONS = "\\SOFTWARE\\brevane\\vantrel\\installations"
CACHE = "HKCU\\SOFTWARE\\brevane\\morlin\\jvms\\"
BROKEN = "Error: this runtime answers nothing useful"


def version_line(version):
    return f'java version "{version}"'


@pytest.fixture
def java_registry(registry):
    """A registry without JavaSoft or located-runtime entries, for the test
    to fill; emptied again afterwards."""
    keys = [JRE, JDK, LOCATED_USER.rstrip("\\"), LOCATED_MACHINE.rstrip("\\")]
    registry.remove(keys)
    for key in keys:
        registry.own(key)
    return registry


def cached(registry, *homes):
    for home in homes:
        registry.own(CACHE + exe_path(home).replace("\\", "/"))


def located_key(hive_prefix, path):
    return hive_prefix + path.replace("\\", "/")


def launcher(make_launcher, sequence="Y", **config):
    values = {**CONSOLE, 128: sequence}
    values.update({int(k[1:]): v for k, v in config.items()})
    return make_launcher(values, messages=MESSAGES)


@pytest.mark.parametrize("names, minimum, expected", [
    (["1.6.0_45", "1.8", "1.8.0_121"], "1.7", ["1.8.0_121", "1.8"]),
    (["1.8.0_121", "1.8.0_45"], "", ["1.8.0_45", "1.8.0_121"]),
    (["11", "9"], "", ["9", "11"]),
])
def test_version_subkeys_are_tried_in_byte_wise_descending_order(wine, make_launcher, tempbase, tmp_path,
                                                                 java_registry, names, minimum, expected):
    # Every home fails its check, so the trace shows each attempt in turn.
    homes = {name: make_home(tmp_path / ("v" + name.replace(".", "_")), BROKEN) for name in names}
    java_registry.seed({f"{JRE}\\{name}": {"JavaHome": home.winpath()} for name, home in homes.items()})
    r = run_launcher(wine, launcher(make_launcher, k126=minimum), tempbase)
    assert r.checked() == [exe_path(homes[name]) for name in expected]
    assert r.rc == 1


def test_current_version_prefers_the_newer_jdk(wine, make_launcher, tempbase, tmp_path, java_registry):
    jdk = make_home(tmp_path / "jdk", version_line("1.8.0_2"))
    jre = make_home(tmp_path / "jre", version_line("1.8.0_1"))
    cached(java_registry, jdk)
    java_registry.seed({
        JDK: {"CurrentVersion": "1.8.0_2"}, f"{JDK}\\1.8.0_2": {"JavaHome": jdk.winpath()},
        JRE: {"CurrentVersion": "1.8"}, f"{JRE}\\1.8": {"JavaHome": jre.winpath()},
    })
    r = run_launcher(wine, launcher(make_launcher), tempbase)
    assert r.checked() == [exe_path(jdk)]
    assert f"found sun {exe_path(jdk)} 1.8.0_2" in r.lines
    r.index("Loading of JVM-DLL successful", r.index("Trying to load JVM-DLL from " + exe_path(jdk)))


def test_overlong_current_version_counts_as_missing(wine, make_launcher, tempbase, tmp_path, java_registry):
    """A CurrentVersion over 100 bytes cannot be read; with both texts empty
    the key path ends in a backslash and names the JRE key itself."""
    own = make_home(tmp_path / "own", version_line("1.8.0_7"))
    listed = make_home(tmp_path / "listed", version_line("1.8.0_9"))
    cached(java_registry, own)
    java_registry.seed({
        JRE: {"CurrentVersion": "1.8." + "1" * 100, "JavaHome": own.winpath()},
        f"{JRE}\\1.8." + "1" * 100: {"JavaHome": listed.winpath()},
    })
    r = run_launcher(wine, launcher(make_launcher), tempbase)
    assert r.checked() == [exe_path(own)]
    assert f"found sun {exe_path(own)} 1.8.0_7" in r.lines


def test_required_jdk_ignores_the_jre_and_needs_tools_jar(wine, make_launcher, tempbase, tmp_path, java_registry):
    jre = make_home(tmp_path / "jre", version_line("1.8.0_5"))
    no_tools = make_home(tmp_path / "notools", version_line("1.8.0_1"))
    jdk = make_home(tmp_path / "jdk", version_line("1.7.0_1"), jdk=True)
    private = (jdk.winpath() + "\\jre\\bin\\java.exe").lower()
    java_registry.own(CACHE + private.replace("\\", "/"))
    java_registry.seed({
        JRE: {"CurrentVersion": "1.8"}, f"{JRE}\\1.8": {"JavaHome": jre.winpath()},
        f"{JDK}\\1.8.0_1": {"JavaHome": no_tools.winpath()}, f"{JDK}\\1.7.0_1": {"JavaHome": jdk.winpath()},
    })
    r = run_launcher(wine, launcher(make_launcher, k131="1"), tempbase)
    assert r.checked() == [private]
    assert f"found sun {private} 1.7.0_1" in r.lines
    assert "Loading of JVM-DLL successful" in r.lines


def test_ties_go_to_the_located_runtime_and_to_the_machine(wine, make_launcher, tempbase, tmp_path, java_registry):
    sun = make_home(tmp_path / "sun", version_line("1.8.0_121"))
    user = make_home(tmp_path / "user", version_line("1.8.0_121"))
    machine = make_home(tmp_path / "machine", version_line("1.8.0_121"))
    older = make_home(tmp_path / "older", version_line("1.8.0_60"))
    cached(java_registry, sun, user, machine, older)
    java_registry.seed({
        f"{JRE}\\1.8.0_121": {"JavaHome": sun.winpath()},
        located_key(LOCATED_USER, exe_path(user)): {},
        located_key(LOCATED_MACHINE, exe_path(older)): {},
        located_key(LOCATED_MACHINE, exe_path(machine)): {},
    })
    r = run_launcher(wine, launcher(make_launcher), tempbase)
    assert f"found sun {exe_path(sun)} 1.8.0_121" in r.lines
    assert f"found located {exe_path(machine)} 1.8.0_121" in r.lines
    r.index("Loading of JVM-DLL successful", r.index("Trying to load JVM-DLL from " + exe_path(machine)))


def test_only_own_runtimes_ignore_everything_else(wine, make_launcher, tempbase, tmp_path, java_registry):
    sun = make_home(tmp_path / "sun", version_line("1.8.0_121"))
    foreign = make_home(tmp_path / "foreign", version_line("1.8.0_121"))
    java_registry.seed({f"{JRE}\\1.8.0_121": {"JavaHome": sun.winpath()},
                        located_key(LOCATED_USER, exe_path(foreign)): {}})
    exe = launcher(make_launcher, k165="1")
    r = run_launcher(wine, exe, tempbase)
    assert r.checked() == []
    assert "ERROR: No JVM found" in r.lines
    assert r.err.startswith(f"no jvm {BITS}\n")

    own = make_home(tmp_path / "vtl_jres" / "jre", version_line("1.8.0_20"))
    cached(java_registry, own)
    java_registry.seed({located_key(LOCATED_MACHINE, exe_path(own)): {}})
    (tempbase / "vtl_nlog_1.log").unlink()
    r = run_launcher(wine, exe, tempbase)
    assert r.checked() == [exe_path(own)]
    assert f"found located {exe_path(own)} 1.8.0_20" in r.lines
    assert "Loading of JVM-DLL successful" in r.lines


def test_located_jdk_executable_loads_from_its_private_runtime(wine, make_launcher, tempbase, tmp_path,
                                                               java_registry):
    jdk = make_home(tmp_path / "jdk", version_line("1.8.0_121"), jdk=True)
    bin_java = (jdk.winpath() + "\\bin\\java.exe").lower()
    java_registry.own(CACHE + bin_java.replace("\\", "/"))
    java_registry.seed({located_key(LOCATED_USER, bin_java): {}})
    r = run_launcher(wine, launcher(make_launcher), tempbase)
    bin_dir = jdk.winpath().lower() + "\\bin"
    for vm_type in ("hotspot", "client", "server", "classic", "jrockit"):
        assert f"Trying {bin_dir}\\{vm_type}\\jvm.dll (exists 0)" in r.lines
    r.index(f"Trying {bin_dir}\\..\\jre\\bin\\server\\jvm.dll (exists 1)")
    settings = [l for l in r.starting("Setting PATH ") if not l.startswith("Setting PATH (")]
    assert settings[-1].endswith(f";{bin_dir}\\..\\jre\\bin")
    assert "Loading of JVM-DLL successful" in r.lines


def test_installation_list_tries_every_directory(wine, make_launcher, tempbase, tmp_path, registry):
    make_home(tmp_path / "first" / "jre", version_line("1.6.0_45"))
    second = make_home(tmp_path / "second" / "jre", version_line("1.8.0_121"))
    cached(registry, second)
    app_id = unique_id()
    dirs = [wine.winpath(tmp_path / d) for d in ("missing", "first", "second")]
    registry.seed({"HKCU" + INSTALLATIONS: {app_id: ";".join(dirs) + ";"}})
    r = run_launcher(wine, launcher(make_launcher, "", k126="1.7", k160=app_id), tempbase)
    found = r.index("found installations: " + ";".join(dirs) + ";")
    missing = r.index(f"java version did not match in {dirs[0]}\\jre", found)
    too_old = r.index(f"java version did not match in {dirs[1]}\\jre", missing)
    accepted = r.index("found JRE from previous installation (user) " + exe_path(second), too_old)
    r.index("Loading of JVM-DLL successful", accepted)


def test_installation_in_the_32_bit_view_of_the_machine(wine, make_launcher, tempbase, tmp_path, registry):
    home = make_home(tmp_path / "app32" / "jre", version_line("1.8.0_121"))
    cached(registry, home)
    app_id = unique_id()
    registry.seed({"HKLM" + INSTALLATIONS: {app_id: wine.winpath(tmp_path / "app32")}}, view=32)
    r = run_launcher(wine, launcher(make_launcher, "", k160=app_id), tempbase)
    checks = [l for l in r.lines if l.startswith(f"checking app id {app_id} (")]
    views = [re.match(r".*\((\d+), ", l).group(1) for l in checks]
    # The 32-bit view is a 32-bit launcher's own: its plain look at the
    # machine's key finds the entry, where a 64-bit one needs the last look.
    assert views == (["0", "512", "0"] if IS_32 else ["0", "512", "0", "512"])
    view32 = r.index(checks[-1])
    assert r.lines[view32 + 1] == "found installations: " + wine.winpath(tmp_path / "app32")
    r.index("found JRE from previous installation (machine) " + exe_path(home), view32)
    assert "Loading of JVM-DLL successful" in r.lines


def test_empty_application_id_reads_no_installation(wine, make_launcher, tempbase):
    r = run_launcher(wine, launcher(make_launcher, ""), tempbase)
    checks = [l for l in r.lines if l.startswith("checking app id ")]
    assert len(checks) == 4
    assert all(re.fullmatch(r"checking app id  \((0|512), [0-9A-F]+\)", l) for l in checks), checks
    assert r.starting("could not open installation node") == []
    assert r.starting("could not query value node") == []


def test_javaw_path_under_executable_type_1_fails(wine, make_launcher, tempbase, tmp_path, java_registry):
    """Type 1 turns the last ".exe" into "w.exe": a located javaw.exe
    becomes javaww.exe, which does not exist."""
    home = make_home(tmp_path / "jre", version_line("1.8.0_121"), javaw=True)
    javaw = exe_path(home, "javaw.exe")
    java_registry.own(CACHE + javaw.replace("\\", "/"))
    java_registry.seed({located_key(LOCATED_USER, javaw): {}})
    exe = make_launcher({107: "1", 128: "Y"}, messages={1000: "Demo", 1016: "no jvm {0}"})
    r, box = run_launcher_with_box(wine, exe, tempbase)
    assert box is not None and box.startswith(f"Demo|no jvm {BITS}\n\nLog: "), box
    assert r.rc == 1
    assert r.checked() == [javaw]
    r.index("checkJavaExe returning 0", r.index("got version from execution 1.8.0_121"))
    assert "ERROR: No JVM found" in r.lines


# Where current distributions register; removed before and after each test.
CURRENT_ROOTS = [f"{hive}\\SOFTWARE\\{name}" for hive in ("HKLM", "HKCU") for name in (
    "JavaSoft\\JDK", "JavaSoft\\JRE", "Eclipse Adoptium", "Eclipse Foundation", "AdoptOpenJDK", "Microsoft\\JDK",
    "Semeru", "Azul Systems", "BellSoft", "SapMachine")]
TEMURIN = "SOFTWARE\\Eclipse Adoptium"


@pytest.fixture
def current_registry(java_registry):
    """java_registry without any current distribution's registration either."""
    java_registry.remove(CURRENT_ROOTS)
    for key in CURRENT_ROOTS:
        java_registry.own(key)
    return java_registry


def openjdk_line(version, date="2024-01-16"):
    return f'openjdk version "{version}" {date} LTS'


def test_current_distributions_are_judged_and_the_newest_accepted_wins(wine, make_launcher, tempbase, tmp_path,
                                                                      current_registry):
    """Each installer's own layout: Temurin's MSI key with "Path" (trailing
    backslash) and a "JavaHome" number beside it, Oracle's JavaSoft\\JDK,
    Zulu's InstallationPath, a per-user Temurin JRE, a Microsoft build whose
    home is gone, and a MSI key with only the number. Bounds decide which
    of them is newest and acceptable."""
    temurin = make_home(tmp_path / "temurin", openjdk_line("17.0.10"))
    oracle = make_home(tmp_path / "oracle", 'java version "21.0.2" 2024-01-16 LTS')
    zulu = make_home(tmp_path / "zulu", openjdk_line("11.0.22"))
    user = make_home(tmp_path / "user", 'openjdk version "1.8.0_402"')
    cached(current_registry, temurin, oracle, zulu, user)
    gone = wine.winpath(tmp_path / "gone")
    current_registry.seed({
        f"HKLM\\{TEMURIN}\\JDK\\17.0.10.7\\hotspot\\MSI": {"Path": temurin.winpath() + "\\", "JavaHome": 1,
                                                            "Main": 1, "EnvironmentPath": 0},
        f"HKLM\\{TEMURIN}\\JRE\\17.0.10.7\\hotspot\\MSI": {"JavaHome": 1},
        "HKLM\\SOFTWARE\\JavaSoft\\JDK": {"CurrentVersion": "21"},
        "HKLM\\SOFTWARE\\JavaSoft\\JDK\\21.0.2": {"JavaHome": oracle.winpath()},
        "HKLM\\SOFTWARE\\Microsoft\\JDK\\22.0.0.36\\hotspot\\MSI": {"Path": gone + "\\"},
        "HKLM\\SOFTWARE\\Azul Systems\\Zulu\\zulu-11": {"InstallationPath": zulu.winpath() + "\\",
                                                        "CurrentVersion": "11.0.22"},
        f"HKCU\\{TEMURIN}\\JRE\\8.0.402.6\\hotspot\\MSI": {"Path": user.winpath() + "\\", "JavaHome": 0},
    })
    machine = "Testing registration HKEY_LOCAL_MACHINE\\SOFTWARE\\"

    r = run_launcher(wine, launcher(make_launcher), tempbase)
    # The JavaSoft scan found nothing; then machine before user, layout by layout.
    assert r.checked() == [exe_path(oracle), exe_path(temurin), (gone + "\\bin\\java.exe").lower(), exe_path(zulu),
                           exe_path(user)]
    only_number = r.index(machine + "Eclipse Adoptium\\JRE\\17.0.10.7\\hotspot\\MSI")
    assert r.lines[only_number + 1] == "registration has no home in Path"
    missing = r.index(machine + "Microsoft\\JDK\\22.0.0.36\\hotspot\\MSI")
    r.index(f"registered JVM in {gone} refused", r.index("file doesn't exist", missing))
    r.index("Testing registration HKEY_CURRENT_USER\\SOFTWARE\\Eclipse Adoptium\\JRE\\8.0.402.6\\hotspot\\MSI",
            missing)
    assert f"found registered {exe_path(oracle)} 21.0.2" in r.lines
    assert not r.starting("found sun ")
    r.index("Loading of JVM-DLL successful", r.index("Trying to load JVM-DLL from " + exe_path(oracle)))

    # A maximum below the newest: the newest that passes the bounds wins,
    # here the Temurin home found through its "Path".
    (tempbase / "vtl_nlog_1.log").unlink()
    r = run_launcher(wine, launcher(make_launcher, k127="17"), tempbase)
    assert f"registered JVM in {oracle.winpath()} refused" in r.lines
    assert f"found registered {exe_path(temurin)} 17.0.10" in r.lines
    r.index("Loading of JVM-DLL successful", r.index("Trying to load JVM-DLL from " + exe_path(temurin)))

    # Only the per-user install qualifies.
    (tempbase / "vtl_nlog_1.log").unlink()
    r = run_launcher(wine, launcher(make_launcher, k126="1.8", k127="1.8"), tempbase)
    assert f"found registered {exe_path(user)} 1.8.0_402" in r.lines
    assert "Loading of JVM-DLL successful" in r.lines
    # Every version came from the cache the first run filled.
    assert [len(h.java_runs()) for h in (temurin, oracle, zulu, user)] == [1, 1, 1, 1]


def test_current_registrations_are_not_read_when_javasoft_answers(wine, make_launcher, tempbase, tmp_path,
                                                                  current_registry):
    """A Java 8-era machine: the JavaSoft runtime is used exactly as before,
    and a newer registration elsewhere is not even looked at; with config
    key 165 none of them is read."""
    sun = make_home(tmp_path / "sun", version_line("1.8.0_121"))
    temurin = make_home(tmp_path / "temurin", openjdk_line("21.0.2"))
    cached(current_registry, sun, temurin)
    current_registry.seed({
        f"{JRE}\\1.8.0_121": {"JavaHome": sun.winpath()},
        f"HKLM\\{TEMURIN}\\JDK\\21.0.2.13\\hotspot\\MSI": {"Path": temurin.winpath() + "\\"},
    })
    r = run_launcher(wine, launcher(make_launcher), tempbase)
    assert r.checked() == [exe_path(sun)]
    assert f"found sun {exe_path(sun)} 1.8.0_121" in r.lines
    assert not r.starting("Testing registration ")
    assert temurin.java_runs() == []

    (tempbase / "vtl_nlog_1.log").unlink()
    r = run_launcher(wine, launcher(make_launcher, k165="1"), tempbase)
    assert not r.starting("Testing registration ")
    assert "ERROR: No JVM found" in r.lines
