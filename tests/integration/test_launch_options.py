"""The VM option list end to end: the launcher's own properties, the
configured and version-specific options, -J arguments, the locale switch,
the class path and the closing switches, as the recording jvm.dll received
them and as the log lists them."""
import re

from launch_support import Launch, library_path, semaphore


def test_service_mode_worked_example(wine, make_launcher, tmp_path, tempbase):
    """Family 'v' as the service child, nothing extracted, runtime folder ".",
    one archive entry and one configured option."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase,
                    {10003: ".", 121: "A0.\\lib\\app.jar", 123: "-Xmx512m"})
    r = launch.run("svc", "__vtl_restart")
    assert r.rc == 0, r
    exe = launch.win("server.exe")
    options = r.options()
    assert options[:8] == [
        "-Dmorlin.semaphoreName=" + semaphore(r),
        "-Dmorlin.isVantrel=true",
        "-Dmorlin.isService=true",
        "-Dmorlin.moduleName=" + exe,
        "-Dsun.java.command=" + exe,
        "-Dmorlin.tempDir=",
        "-Dmorlin.unextractedPosition=0",
        "-Djava.library.path=" + library_path(r),
    ]
    assert re.fullmatch(r"-Dmorlin\.consoleCodepage=cp\d+", options[8])
    assert options[9:] == [
        "-Xmx512m",
        "-Djava.class.path=" + launch.win(".vantrel\\vtlruntime.jar") + ";" + launch.win(".\\lib\\app.jar"),
        "-Xrs",
    ]
    # The runtime's bin folder was appended to PATH before the VM was created.
    assert library_path(r).lower().endswith(launch.home.winpath("bin").lower())
    assert r.logged_options() == options
    assert r.trace.first("JNI_CreateJavaVM").args == ["0x00010002", 12, True]
    assert r.has("service: adding -Xrs")
    assert r.main_args() == ["false", "com.example.Main", "", "", "false", "svc"]


def test_foreground_runs_and_configured_quoting(wine, make_launcher, tmp_path, tempbase):
    """Quoted configured options stay one option; "-Xrs" only in service
    mode and never twice; "/run" alone adds the no-redirection switch."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase,
                    {2001: "m", 123: '-Xmx512m "-Dmy.prop=a b" -Xrs \'-Dsingle=x y\''})
    r = launch.run("/run")
    assert r.rc == 0, r
    options = r.options()
    assert not any(o.startswith(("-Dmorlin.isVantrel", "-Dmorlin.isService")) for o in options)
    start = options.index("-Xmx512m")
    assert options[start:start + 4] == ["-Xmx512m", "-Dmy.prop=a b", "-Xrs", "-Dsingle=x y"]
    assert options[-2].startswith("-Djava.class.path=")
    assert options[-1] == "-Dvantrel.noRedir=true"

    r = launch.run("/run-redirect")
    assert r.rc == 0, r
    assert r.options()[-1].startswith("-Djava.class.path=")
    assert "-Dvantrel.noRedir=true" not in r.options()

    # Service mode with -Xrs configured: exactly one -Xrs, and no log line.
    r = launch.run("svc", "__vtl_restart")
    assert r.rc == 0, r
    assert r.options().count("-Xrs") == 1
    assert r.options()[-1].startswith("-Djava.class.path=")
    assert not r.has("service: adding -Xrs")
    assert "-Dmorlin.isService=true" in r.options()


def test_include_options_joined_with_the_next_token(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase,
                    {123: "-Dbefore=1 -include-options extra.vmoptions -Dafter=1 -classpath lib\\x.jar "
                          '"-classpath/a lib\\suffix.jar"'})
    (launch.app_dir / "extra.vmoptions").write_bytes(b"-Dfrom.extra=1\r\n-Dfrom.extra=2\r\n")
    r = launch.run()
    assert r.rc == 0, r
    options = r.options()
    start = options.index("-Dbefore=1")
    assert options[start:start + 6] == ["-Dbefore=1", "-Dfrom.extra=1", "-Dfrom.extra=2", "-Dafter=1",
                                        "-classpath", "lib\\x.jar"]
    path = launch.win("extra.vmoptions")
    assert any(re.fullmatch(r"adding vmoptions from \([0-9A-F]+\) <" + re.escape(path) + r"> \(extra\.vmoptions\)",
                            line) and not line.startswith("adding vmoptions from (0000000000000000)")
               for line in r.lines), r.log
    assert r.option("-Djava.class.path=").endswith(";lib\\suffix.jar")


def test_version_specific_lines(wine, make_launcher, tmp_path, tempbase):
    """The prefix 1.8 matches the version 1.80, and the first match wins
    over a later, longer prefix."""
    config = {10200: "3", 10201: "1.7", 10202: "-Dseven=1", 10203: "1.8", 10204: '-Deight=1 "-Dsp=a b"',
              10205: "1.80", 10206: "-Deighty=1", 123: "-Dconfigured=1"}
    launch = Launch(wine, make_launcher, tmp_path, tempbase, config, version_line='java version "1.80"')
    r = launch.run()
    assert r.rc == 0, r
    options = r.options()
    start = options.index("-Dconfigured=1")
    assert options[start:start + 3] == ["-Dconfigured=1", "-Deight=1", "-Dsp=a b"]
    assert "-Dseven=1" not in options and "-Deighty=1" not in options
    at = r.index("check 3 version specific vm option lines for 1.80")
    assert r.lines[at + 1:at + 4] == ["checking version 1.7 0", "checking version 1.8 1",
                                      'adding specific -Deight=1 "-Dsp=a b"']


def test_java_arguments_and_locale_switch(wine, make_launcher, tmp_path, tempbase):
    """With key 125 set, -J arguments become options and leave the
    application's arguments; only the last locale switch counts, and the
    user's language and country follow it."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {125: "1", 124: "f1 f2", 123: "-Dconfigured=1"})
    lang = {"LANG": "de_CH.UTF-8", "LC_ALL": "de_CH.UTF-8"}
    r = launch.run("/run", "a", "-J-Xss2m", "-Dsun.locale.formatasdefault=true", "b",
                   "-Dsun.locale.formatasdefault=false", "-J-Dfrom.command=1", env=lang)
    assert r.rc == 0, r
    assert r.has("language/country is de_CH")
    options = r.options()
    start = options.index("-Dconfigured=1")
    assert options[start:start + 6] == ["-Dconfigured=1", "-Xss2m", "-Dfrom.command=1",
                                        "-Dsun.locale.formatasdefault=false", "-Duser.language=de",
                                        "-Duser.country=CH"]
    assert r.main_args()[5:] == ["a", "f1", "f2", "b"]

    # The first argument is never filtered and comes before the fixed ones.
    r = launch.run("/run", "-Jfirst", "-Dsun.locale.formatasdefault=true", "x", env=lang)
    assert r.rc == 0, r
    assert r.main_args()[5:] == ["-Jfirst", "f1", "f2", "x"]
    options = r.options()
    start = options.index("-Dconfigured=1")
    assert options[start:start + 3] == ["-Dconfigured=1", "first", "-Dsun.locale.formatasdefault=true"]
    assert not any(o.startswith("-Duser.") for o in options)


def test_java_arguments_reach_the_application_without_key_125(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase)
    r = launch.run("/run", "-Dsun.locale.formatasdefault=x", "-J-Xmx1g", "-Dsun.locale.formatasdefault=no")
    assert r.rc == 0, r
    assert r.main_args()[5:] == ["-Dsun.locale.formatasdefault=x", "-J-Xmx1g"]
    assert "-Xmx1g" not in r.options()
    code = r.value("language/country is ")
    options = r.options()
    at = options.index("-Dsun.locale.formatasdefault=no")
    expected = ["-Duser.language=" + code[:2]] + (["-Duser.country=" + code[3:]] if len(code) == 5 else [])
    assert options[at + 1:at + 1 + len(expected)] == expected
