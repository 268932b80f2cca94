"""The java executable check end to end: the "-version" run, its per-user
registry cache, the two version-line prefixes, failing and hanging runs,
and the JDK requirement. Whether java.exe ran shows in its run record."""
import os
import re
import shutil

import pytest

from vtltest import BITS, BUILD, temp_env
from jvm_support import CONSOLE, MESSAGES, exe_path, make_home, registry, run_launcher  # noqa: F401

GOOD = 'java version "1.8.0_121"'
CACHE = "HKCU\\SOFTWARE\\brevane\\morlin\\jvms\\"
EPOCH_DIFFERENCE = 116444736000000000  # 1601-01-01 to 1970-01-01 in 100 ns units


def cache_key(home, name="java.exe"):
    return CACHE + exe_path(home, name).replace("\\", "/")


def cache_values(wine, home):
    """{value name: (type, data)} of the home's cache entry, or None."""
    r = wine.reg("query", cache_key(home))
    if r.rc != 0:
        return None
    values = {}
    for line in r.out.splitlines():
        m = re.match(r"\s+(\S+)\s+(REG_\w+)\s*(.*)$", line)
        if m:
            values[m.group(1)] = (m.group(2), m.group(3))
    return values


def filetime_hex(path):
    """The last-write time as Windows keeps it: a FILETIME, low half first."""
    ticks = os.stat(path).st_mtime_ns // 100 + EPOCH_DIFFERENCE
    return ticks.to_bytes(8, "little").hex().upper()


@pytest.fixture
def cached(registry):
    """Registers homes whose cache entries are removed after the test."""
    return lambda home: registry.own(cache_key(home))


def launcher(make_launcher, *homes, **config):
    values = {**CONSOLE, 128: ";".join("A" + h.winpath() for h in homes)}
    values.update({int(k[1:]): v for k, v in config.items()})
    return make_launcher(values, messages=MESSAGES)


def fresh_log(tempbase):
    for log in tempbase.glob("vtl_nlog_*.log"):
        log.unlink()


def test_cache_miss_hit_and_invalidation(wine, make_launcher, tempbase, tmp_path, cached):
    home = make_home(tmp_path / "jre", GOOD)
    cached(home)
    exe = launcher(make_launcher, home)

    r = run_launcher(wine, exe, tempbase)
    assert "got version from execution 1.8.0_121" in r.lines
    assert len(home.java_runs()) == 1
    values = cache_values(wine, home)
    assert values["Version"] == ("REG_SZ", "1.8.0_121")
    assert values["LastWriteTime"] == ("REG_BINARY", filetime_hex(home.java_exe))

    fresh_log(tempbase)
    r = run_launcher(wine, exe, tempbase)
    assert "got version from registry 1.8.0_121" in r.lines
    assert len(home.java_runs()) == 1
    assert "Loading of JVM-DLL successful" in r.lines

    home.touch_java()
    fresh_log(tempbase)
    r = run_launcher(wine, exe, tempbase)
    assert "got version from execution 1.8.0_121" in r.lines
    assert len(home.java_runs()) == 2
    assert cache_values(wine, home)["LastWriteTime"] == ("REG_BINARY", filetime_hex(home.java_exe))


def test_cached_text_is_trusted_except_the_broken_forms(wine, make_launcher, tempbase, tmp_path, cached):
    home = make_home(tmp_path / "jre", GOOD)
    cached(home)
    exe = launcher(make_launcher, home, k126="1.7")
    run_launcher(wine, exe, tempbase)
    assert len(home.java_runs()) == 1

    wine.reg("add", cache_key(home), "/v", "Version", "/t", "REG_SZ", "/d", "1.7.0_80", "/f")
    fresh_log(tempbase)
    r = run_launcher(wine, exe, tempbase)
    assert "got version from registry 1.7.0_80" in r.lines
    assert len(home.java_runs()) == 1

    # The broken forms, and a text longer than the 2000-character version buffer.
    for untrusted in ("1.6.", "1.0.0", "1.7." + "1" * 2100):
        wine.reg("add", cache_key(home), "/v", "Version", "/t", "REG_SZ", "/d", untrusted, "/f")
        fresh_log(tempbase)
        r = run_launcher(wine, exe, tempbase)
        assert "got version from execution 1.8.0_121" in r.lines, untrusted
        assert cache_values(wine, home)["Version"] == ("REG_SZ", "1.8.0_121")
    assert len(home.java_runs()) == 4


def test_failing_run_is_cached_as_1_0_0_and_run_again(wine, make_launcher, tempbase, tmp_path, cached):
    home = make_home(tmp_path / "jre", GOOD, exit_code=3)
    cached(home)
    exe = launcher(make_launcher, home)
    r = run_launcher(wine, exe, tempbase)
    exit_line = r.index("Exit Code 3")
    assert r.lines[exit_line + 1] == "couldn't get version"
    assert cache_values(wine, home)["Version"] == ("REG_SZ", "1.0.0")
    assert r.rc == 1
    assert r.err.startswith(f"no jvm {BITS}\n")
    fresh_log(tempbase)
    run_launcher(wine, exe, tempbase)
    assert len(home.java_runs()) == 2


def test_unrecognised_first_line_gives_no_version_and_no_cache(wine, make_launcher, tempbase, tmp_path, cached):
    home = make_home(tmp_path / "jre", "Error: could not open jvm.cfg")
    cached(home)
    r = run_launcher(wine, launcher(make_launcher, home), tempbase)
    r.index("couldn't get version", r.index("Exit Code 0"))
    assert cache_values(wine, home) is None


def test_both_prefixes_and_text_after_the_closing_quote(wine, make_launcher, tempbase, tmp_path, cached):
    openjdk = make_home(tmp_path / "openjdk", 'openjdk version "1.8.0_292"', variant="nojvm")
    dated = make_home(tmp_path / "dated", 'java version "10.0.1" 2018-04-17')
    cached(openjdk)
    cached(dated)
    r = run_launcher(wine, launcher(make_launcher, openjdk, dated, k127="10.0.1"), tempbase)
    assert "Java version: 1.8.0_292" in r.lines
    # The version is the text between the quotes, not the rest of the line.
    assert "Java version: 10.0.1" in r.lines
    assert "Loading of JVM-DLL successful" in r.lines


def test_option_notices_before_the_version_line_and_old_cache_entries(wine, make_launcher, tempbase, tmp_path,
                                                                      cached):
    """With JAVA_TOOL_OPTIONS set (managed machines) a runtime prints a
    "Picked up" line first; the version line after it is still found and the
    plain version cached. An entry an older launcher cached with the date
    behind the quote is read as the plain version."""
    modern = make_home(tmp_path / "jdk17", 'openjdk version "17.0.15" 2025-04-15 LTS')
    cached(modern)
    exe = launcher(make_launcher, modern, k126="17", k127="17.0.15")
    options = {"JAVA_TOOL_OPTIONS": "-Dfile.encoding=UTF-8 -Dcorp.proxy=" + "p" * 300,
               "JDK_JAVA_OPTIONS": "--add-opens=java.base/java.lang=ALL-UNNAMED"}
    r = run_launcher(wine, exe, tempbase, winenv=options)
    r.index("got version from execution 17.0.15", r.index("Java version: 17.0.15"))
    assert cache_values(wine, modern)["Version"] == ("REG_SZ", "17.0.15")
    assert "Loading of JVM-DLL successful" in r.lines

    # An old entry: the launcher used to cut two characters off the whole line.
    wine.reg("add", cache_key(modern), "/v", "Version", "/t", "REG_SZ", "/d", '17.0.15" 2025-04-1', "/f")
    fresh_log(tempbase)
    r = run_launcher(wine, exe, tempbase)
    assert "got version from registry 17.0.15" in r.lines
    assert "Loading of JVM-DLL successful" in r.lines
    assert len(modern.java_runs()) == 1


def test_version_line_without_a_line_end_keeps_its_last_character(wine, make_launcher, tempbase, tmp_path, cached):
    home = make_home(tmp_path / "jre", GOOD)
    home.set_java(GOOD, line_end="")
    cached(home)
    r = run_launcher(wine, launcher(make_launcher, home, k126="1.8.0_121"), tempbase)
    assert "got version from execution 1.8.0_121" in r.lines
    assert "Loading of JVM-DLL successful" in r.lines


def test_version_run_uses_the_short_path_and_removes_its_file(wine, make_launcher, tempbase, tmp_path, cached):
    home = make_home(tmp_path / "long directory name" / "jre", GOOD)
    cached(home)
    r = run_launcher(wine, launcher(make_launcher, home), tempbase)
    assert "got version from execution 1.8.0_121" in r.lines
    (command,) = home.java_runs()
    program, _, argument = command.partition(" ")
    assert argument == "-version"
    assert '"' not in program
    assert program.lower().endswith("\\java.exe")
    # The temporary file got its name from the temporary base and is gone.
    assert r.starting(f"tempFile is {wine.winpath(tempbase)}\\mrl")
    assert list(tempbase.glob("mrl*")) == []


def test_required_jdk_needs_tools_jar_and_uses_its_private_runtime(wine, make_launcher, tempbase, tmp_path,
                                                                    cached):
    plain = make_home(tmp_path / "plain", GOOD)
    jdk = make_home(tmp_path / "jdk", GOOD, jdk=True)
    cached(jdk)
    r = run_launcher(wine, launcher(make_launcher, plain, jdk, k131="1"), tempbase)
    private = (jdk.winpath() + "\\jre\\bin\\java.exe").lower()
    assert r.checked() == [private]
    assert plain.java_runs() == []
    r.index(f"Trying {jdk.winpath().lower()}\\jre\\bin\\server\\jvm.dll (exists 1)")
    assert "Loading of JVM-DLL successful" in r.lines


def test_required_jdk_accepts_a_current_jdk_by_its_compiler(wine, make_launcher, tempbase, tmp_path, cached):
    """JDKs since 9 have neither lib\\tools.jar nor a private runtime: a home
    with bin\\javac.exe is a JDK and runs its own bin\\java.exe; a runtime
    without the compiler is still refused."""
    runtime = make_home(tmp_path / "jre17", 'openjdk version "17.0.10" 2024-01-16')
    jdk = make_home(tmp_path / "jdk17", 'openjdk version "17.0.10" 2024-01-16', tools_jar=False)
    shutil.copyfile(jdk.java_exe, jdk.root / "bin" / "javac.exe")
    cached(jdk)
    r = run_launcher(wine, launcher(make_launcher, runtime, jdk, k131="1"), tempbase)
    assert r.checked() == [exe_path(jdk)]
    assert runtime.java_runs() == []
    r.index(f"Trying {jdk.winpath().lower()}\\bin\\server\\jvm.dll (exists 1)")
    assert "Loading of JVM-DLL successful" in r.lines


@pytest.mark.slow
def test_hanging_java_is_terminated_after_a_minute(wine, make_launcher, tempbase, tmp_path, cached):
    home = make_home(tmp_path / "jre", GOOD, delay_ms=180000)
    cached(home)
    r = run_launcher(wine, launcher(make_launcher, home), tempbase, timeout=150)
    code = r.index("Exit Code 259")
    assert r.lines[code + 1] == "Terminating process"
    assert r.lines[code + 2] == "couldn't get version"
    assert cache_values(wine, home) is None
    assert r.rc == 1


def test_warm_cache_launch_starts_no_process(wine, make_launcher, tempbase, tmp_path, cached):
    """The whole launch, counted by a job object around the launcher: with
    the version cached, nothing but the launcher itself may run."""
    home = make_home(tmp_path / "jre", GOOD)
    cached(home)
    exe = launcher(make_launcher, home)
    count = tmp_path / "processes.txt"
    envrun = BUILD / "tests" / "envrun.exe"
    variables = [f"{k}={v}" for k, v in temp_env(wine, tempbase).items()]

    def processes():
        r = wine.run(envrun, *variables, "--count", wine.winpath(count), "--", exe, "/run", timeout=120)
        assert r.rc == 0, r.err
        return int(count.read_text())

    assert processes() == 2  # cold: the launcher and its java -version run
    assert len(home.java_runs()) == 1
    assert processes() == 1
    assert len(home.java_runs()) == 1
