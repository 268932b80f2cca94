"""JVM creation and the launcher class's main end to end: the exact JNI
calls on the recording jvm.dll, the String[] the launcher class receives,
the Java-side initialisation (splash texts, helper library, first run) and
the exit code of each way a launch can end."""
import shutil

from vtltest import BUILD
from launch_support import Launch

VANTREL = "com/vantrel/runtime/launcher/WinLauncher"
MORLIN = "com/morlin/runtime/WinLauncher"
COMMON = "com/vantrel/runtime/installer/platform/win32/Common"
FIRST_RUN = "com/vantrel/runtime/launcher/FirstRun"
MAIN_SIG = "([Ljava/lang/String;)V"
SPLASH_SIG = "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V"
NO_EXCEPTION = ("ExceptionOccurred", "=>", None)
SPLASH = {108: "1", 10123: "1", 163: "1", 10111: "Version 1.0 \u00e9", 10109: "10", 10110: "20", 10114: "0,0,0",
          10113: "1", 10115: "2", 10118: "Line two", 10116: "30", 10117: "40", 10121: "255,255,255",
          10120: "3", 10122: "4", 10112: "unused font", 10119: "unused font"}
HELPER = BUILD / "runtime" / "vtlinst" / "vtlinst.dll"


def runtime_folder(launch, helper=HELPER, first_run=False):
    folder = launch.app_dir / ".vantrel"
    folder.mkdir(exist_ok=True)
    if helper:
        shutil.copyfile(helper, folder / "vtlinst.dll")
    if first_run:
        (folder / "firstrun").write_bytes(b"")
    return folder


def string_array(values):
    calls = [("FindClass", "java/lang/String"), ("NewObjectArray", len(values), None), ("DeleteLocalRef",)]
    for i, value in enumerate(values):
        calls += [("NewString", value, len(value)), ("SetObjectArrayElement", i), ("DeleteLocalRef",)]
    return calls


def main_call(cls, values):
    return [("FindClass", cls), ("GetStaticMethodID", "main", MAIN_SIG)] + string_array(values) + [
        ("CallStaticVoidMethod", cls, "main", MAIN_SIG), NO_EXCEPTION]


def test_complete_vantrel_launch_call_sequence(wine, make_launcher, tmp_path, tempbase):
    """Splash configuration (to the morlin class in both families), helper
    library, first-run step, main, VM destruction."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {10003: ".", **SPLASH})
    runtime_folder(launch, first_run=True)
    r = launch.run("/run", "x")
    assert r.rc == 0, r
    args = ["false", "com.example.Main", "", "", "false", "x"]
    expected = [("JNI_CreateJavaVM", "0x00010002", len(r.options()), True, "=>", 0),
                ("FindClass", MORLIN), ("GetStaticMethodID", "initAwtSplashConfig", SPLASH_SIG),
                ("NewStringUTF", "Version 1.0 \u00e9"), ("NewStringUTF", "0,0,0"), ("NewStringUTF", "Line two"),
                ("NewStringUTF", "255,255,255"),
                ("CallStaticVoidMethod", MORLIN, "initAwtSplashConfig", SPLASH_SIG, True, True, "Version 1.0 \u00e9",
                 10, 20,
                 "0,0,0", 1, 2, "Line two", 30, 40, "255,255,255", 3, 4),
                ("DeleteLocalRef",), ("DeleteLocalRef",), ("DeleteLocalRef",), ("DeleteLocalRef",), NO_EXCEPTION,
                ("FindClass", COMMON), ("GetStaticMethodID", "initFromLauncher", "(Z)V"),
                ("CallStaticVoidMethod", COMMON, "initFromLauncher", "(Z)V", True), ("DeleteLocalRef",),
                NO_EXCEPTION,
                NO_EXCEPTION,  # after registerNatives
                ("FindClass", FIRST_RUN), ("GetStaticMethodID", "firstRun", "()Z"),
                ("CallStaticBooleanMethod", FIRST_RUN, "firstRun", "()Z", "=>", True), NO_EXCEPTION,
                ] + main_call(VANTREL, args) + [("DestroyJavaVM", 0, "=>", 0)]
    assert r.jni() == expected
    assert r.main_args() == args
    assert r.trace.warnings() == []
    helper = launch.win(".\\.vantrel\\vtlinst.dll")
    at = r.index("load helper dll")
    assert r.lines[at + 1].startswith("helper dll ") and r.lines[at + 1].endswith(" " + helper)
    assert r.has("ERROR: vtlinst: natives ready")
    tail = r.lines[r.index("main class: " + VANTREL):]
    assert tail[:2] == ["main class: " + VANTREL, "param count: 6"]
    assert tail[2:8] == [f"param {i}: {v}" for i, v in enumerate(args)]
    assert tail[8:12] == ["calling main", "main returned", "dest JVM", "launch done"]


def test_morlin_family(wine, make_launcher, tmp_path, tempbase):
    """No vantrel property, no helper library, no first-run step, the
    morlin launcher class."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {2001: "m", **SPLASH})
    runtime_folder(launch, first_run=True)
    r = launch.run()
    assert r.rc == 0, r
    assert not any(o.startswith("-Dmorlin.isVantrel") for o in r.options())
    assert not r.has("load helper dll")
    calls = r.jni()
    assert ("FindClass", FIRST_RUN) not in calls and ("FindClass", COMMON) not in calls
    assert calls[1:3] == [("FindClass", MORLIN), ("GetStaticMethodID", "initAwtSplashConfig", SPLASH_SIG)]
    main_at = calls.index(("GetStaticMethodID", "main", MAIN_SIG))
    assert calls[main_at - 1] == ("FindClass", MORLIN)
    assert r.has("main class: " + MORLIN)


def test_redirection_names_and_the_string_array(wine, make_launcher, tmp_path, tempbase):
    """The worked example: service child with the argument svc."""
    config = {107: "4", 122: "com.example.Main", 102: "1", 103: "error.log+", 104: "1", 105: "output.log",
              106: "1"}
    launch = Launch(wine, make_launcher, tmp_path, tempbase, config)
    r = launch.run("svc", "__vtl_restart")
    assert r.rc == 0, r
    assert r.main_args() == ["false", "com.example.Main", launch.win("error.log+"), launch.win("output.log"),
                             "true", "svc"]

    launch.configure({**config, 103: "$x", 104: "0", 105: "ignored.log", 106: "0", 107: "1",
                      124: "--fixed ${VANTREL_EXEDIR}data 'two words'"})
    r = launch.run("/run", "first", "second")
    assert r.rc == 0, r
    assert r.main_args() == ["true", "com.example.Main", "$x", "", "false", "first", "--fixed",
                             launch.win("data"), "two words", "second"]

    # More arguments than a VM grants local references to a native frame:
    # each string is released as soon as the array holds it.
    many = [f"a{i}" for i in range(4000)]
    r = launch.run("/run", *many)
    assert r.rc == 0, r
    assert r.main_args()[5:] == many[:1] + ["--fixed", launch.win("data"), "two words"] + many[1:]
    made = [line.result for line in r.trace.calls("NewString")]
    assert len(made) == len(r.main_args()) and {line.args[0] for line in r.trace.calls("DeleteLocalRef")} >= set(made)


def test_missing_launcher_class_or_main(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase, script={"missing_classes": VANTREL})
    r = launch.run()
    assert r.rc == 1
    assert r.err.startswith("no launcher class\n"), r
    at = r.index("ERROR: could not find main class")
    assert r.lines[at + 1:at + 3] == ["ERROR: an exception occurred", "ERROR: java.lang.NoClassDefFoundError: " + VANTREL]
    assert not r.trace.calls("CallStaticVoidMethod") and not r.trace.calls("DestroyJavaVM")
    assert r.trace.warnings() == []  # nothing called with the lookup's exception pending

    launch.home.write_script(missing_methods=VANTREL + ".main")
    r = launch.run()
    assert r.rc == 1
    assert r.err.startswith("no launcher main\n"), r
    assert r.has("ERROR: could not find main method")
    assert not r.trace.calls("NewObjectArray")


def test_exception_in_main(wine, make_launcher, tmp_path, tempbase):
    """The exception is described and cleared, then the VM shuts down as the
    JDK's own launcher lets it (DestroyJavaVM waits for the other non-daemon
    threads, here a scripted 400 ms), and only then the launch fails with 1."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase,
                    script={"main": "throw", "main_exception": "java.lang.IllegalStateException: boom",
                            "destroy_wait_ms": 400})
    r = launch.run()
    assert r.rc == 1, r
    assert "java.lang.IllegalStateException: boom" in r.err
    assert "\tat testrt.ScriptedApplication.main(ScriptedApplication.java)" in r.err
    at = r.index("main returned")
    assert r.lines[at + 1:at + 5] == ["ERROR: an exception occurred", "ERROR: java.lang.IllegalStateException: boom",
                                      "ERROR: could not call main", "dest JVM"]
    assert not r.has("launch done")
    names = [c[0] for c in r.jni()]
    assert names[-3:] == ["ExceptionDescribe", "ExceptionClear", "DestroyJavaVM"], names
    assert r.jni()[-1] == ("DestroyJavaVM", 400, "=>", 0)
    assert r.trace.calls("ExceptionDescribe") and r.trace.warnings() == []


def test_exit_codes_of_main_and_vm_creation(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase, script={"main": "exit", "main_exit_code": 3})
    r = launch.run()
    assert r.rc == 3, r
    assert r.has("calling main") and not r.has("main returned")

    # main returns while a non-daemon thread runs: the VM is destroyed
    # after it ended, then the launch is done.
    launch.home.write_script(destroy_wait_ms=400)
    r = launch.run()
    assert r.rc == 0, r
    assert r.trace.first("DestroyJavaVM").args[0] >= 400
    assert r.index("dest JVM") < r.index("launch done")

    launch.home.write_script(create_result=-6)
    r = launch.run()
    assert r.rc == 1, r
    assert r.has("Creating JVM") and r.has("ERROR: could not initialize JVM")
    assert not r.has("JVM created")


def test_first_run_marker(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {10003: "sub"})
    (launch.app_dir / "sub" / ".vantrel").mkdir(parents=True)
    marker = launch.app_dir / "sub" / ".vantrel" / "firstrun"
    # Without the marker, no first-run call.
    r = launch.run()
    assert r.rc == 0, r
    assert ("FindClass", FIRST_RUN) not in r.jni()

    marker.write_bytes(b"")
    launch.home.write_script(first_run="false")
    r = launch.run()
    assert r.rc == 0, r
    assert r.has("checkFirstRun stopped further execution")
    assert not r.trace.calls("main-arg") and not r.has("calling main")
    assert r.jni()[-3:] == [("CallStaticBooleanMethod", FIRST_RUN, "firstRun", "()Z", "=>", False), NO_EXCEPTION,
                            ("DestroyJavaVM", 0, "=>", 0)]
    assert r.has("launch done")

    # An exception is a failure: the application never ran. The VM still
    # shuts down before the exit code 1.
    launch.home.write_script(first_run="throw", first_run_exception="java.lang.IllegalStateException: first")
    r = launch.run()
    assert r.rc == 1, r
    assert "java.lang.IllegalStateException: first" in r.err
    assert r.has("ERROR: java.lang.IllegalStateException: first")
    assert r.has("checkFirstRun stopped further execution") and not r.has("calling main")
    assert r.index("checkFirstRun stopped further execution") < r.index("dest JVM")
    assert r.jni()[-1] == ("DestroyJavaVM", 0, "=>", 0) and not r.has("launch done")

    launch.home.write_script(first_run="true")
    r = launch.run()
    assert r.rc == 0, r
    assert r.has("calling main") and not r.has("checkFirstRun stopped further execution")

    launch.home.write_script(missing_classes=FIRST_RUN)
    r = launch.run()
    assert r.rc == 1
    assert r.err.startswith("internal 14\n"), r
    assert r.has("ERROR: java.lang.NoClassDefFoundError: " + FIRST_RUN) and r.trace.warnings() == []

    launch.home.write_script(missing_methods=FIRST_RUN + ".firstRun")
    r = launch.run()
    assert r.rc == 1
    assert r.err.startswith("internal 15\n"), r


def test_missing_java_side_pieces_are_only_logged(wine, make_launcher, tmp_path, tempbase):
    """Splash class or method, Common, a helper library without its export:
    each is logged, any exception the lookup left is cleared, and the launch
    goes on."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {**SPLASH},
                    script={"missing_methods": MORLIN + ".initAwtSplashConfig"})
    runtime_folder(launch)
    r = launch.run()
    assert r.rc == 0, r
    assert r.has("ERROR: could not find method for splash properties")
    assert r.starting("ERROR: java.lang.NoSuchMethodError"), r.log
    assert not r.trace.calls("NewStringUTF")
    assert r.trace.warnings() == [] and r.has("calling main")

    launch.home.write_script(missing_classes=[MORLIN, COMMON])
    r = launch.run()
    assert r.rc == 0, r
    assert r.has("ERROR: could not find main class for splash properties")
    assert r.has("ERROR: did not find " + COMMON)
    assert not r.has("ERROR: vtlinst: natives ready")  # registerNatives needs Common first
    assert r.trace.warnings() == [] and r.has("calling main")

    launch.home.write_script(missing_methods=COMMON + ".initFromLauncher")
    r = launch.run()
    assert r.rc == 0, r
    assert r.has("ERROR: did not find initMethod")
    assert r.trace.warnings() == [] and r.has("calling main")

    # A library without registerNatives: not even Common is called.
    launch.home.write_script()
    runtime_folder(launch, helper=BUILD / "testrt" / "jvm_noexport.dll")
    r = launch.run()
    assert r.rc == 0, r
    assert r.has("ERROR: did not find register natives in helper dll")
    assert ("FindClass", COMMON) not in r.jni()


def test_console_code_page_and_manpath(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase)
    r = launch.run()
    assert r.rc == 0, r
    assert r.option("-Dmorlin.consoleCodepage=cp").isdigit()
    r = launch.run(winenv={"MANPATH": "x"})
    assert r.rc == 0, r
    assert not any(o.startswith("-Dmorlin.consoleCodepage=") for o in r.options())
