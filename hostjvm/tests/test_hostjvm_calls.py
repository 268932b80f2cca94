"""The JNI calls a launcher makes, through jvm.dll into the host JVM."""
import shutil
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from hostjvm_harness import hostjvm  # noqa: E402,F401  (the fixture)


def test_main_gets_utf16_arguments_on_the_main_thread_with_translated_paths(hostjvm, tmp_path):
    # The class path names a jar on drive C:, which Wine maps through the
    # prefix's "dosdevices/c:" link, and a jar in a folder that is missing.
    drive_c = (hostjvm.PREFIX / "drive_c").resolve()
    folder = drive_c / ("hostjvm-test-" + tmp_path.name)
    folder.mkdir()
    try:
        shutil.copy(hostjvm.TESTAPP, folder / "test app.jar")
        props = "java.class.path,java.library.path,sun.java.command,sun.java.launcher,probe.text"
        args = ["héllo wörld", "日本語", "emoji 😀", 'quote " and \\ back', ""]
        run = hostjvm.run_driver(
            "create", "main", "hostjvmtest/Echo", len(args), *args, "destroy",
            options=[f"-Djava.class.path=C:\\{folder.name}\\test app.jar;Z:\\nonexistent\\dir\\x.jar",
                     "-Djava.library.path=Z:\\usr\\lib;C:\\windows;;C:\\no\\such",
                     "-Dsun.java.command=C:\\app\\server.exe", "-Dprobe.props=" + props, "-Dprobe.text=Grüße",
                     "-Xrs", "-Xfoo", "-XX:+NoSuchFlag", "-version", "stray"])
    finally:
        shutil.rmtree(folder)
    assert run.rc == 0, run
    assert run.lines[:3] == ["create 0", "calling main", "thread main"]
    assert "count 5" in run.lines
    assert run.index("arg 0 [héllo wörld] U+0068 U+00E9 U+006C U+006C U+006F U+0020 U+0077 U+00F6 U+0072 U+006C U+0064") > 0
    assert run.index("arg 1 [日本語] U+65E5 U+672C U+8A9E") > 0
    assert run.index("arg 2 [emoji 😀] U+0065 U+006D U+006F U+006A U+0069 U+0020 U+1F600") > 0
    assert 'arg 3 [quote " and \\ back]' in run.out
    assert "arg 4 []" in run.lines
    # The last class path option wins; every element is a Unix path, the
    # missing one mapped through its longest existing prefix.
    assert run.index(f"prop java.class.path={folder}/test app.jar:/nonexistent/dir/x.jar") > 0
    assert run.index(f"prop java.library.path=/usr/lib:{drive_c}/windows::{drive_c}/no/such") > 0
    # As a VM inside the launcher: the launcher's command, no java launcher.
    assert run.index("prop sun.java.command=C:\\app\\server.exe") > 0
    assert run.index("prop sun.java.launcher=null") > 0
    assert run.index("prop probe.text=Grüße") > 0
    assert run.lines[-3:] == ["main returned", "no exception", "destroy 0"]
    assert run.err == ""


def test_every_call_form_and_return_type_reaches_java_and_back(hostjvm):
    run = hostjvm.run_driver("create", "describe", "hostjvmtest/Probe", "instance", "hostjvmtest/Probe", "Zürich",
                             "splash", "hostjvmtest/Probe", "bool", "hostjvmtest/Probe", "firstRun",
                             "bool", "hostjvmtest/Probe", "interruptSelf", "bool", "hostjvmtest/Probe", "wasInterrupted",
                             "bool", "hostjvmtest/Probe", "wasInterrupted", "destroy",
                             options=["-Dprobe.firstRun=true"])
    assert run.rc == 0, run
    described = "true|-7|8364|-300|123456789|-1234567890123|1.5|-0.25|text"
    for form in ("variadic", "list", "array"):
        assert run.index(f"describe {form} {described}") > 0
    assert run.index(f"describe utf {described} length {len(described)}") > 0
    for line in ("same class 1", "toString Probe(Zürich)", "int 6", "long 42000000000", "double 2500",
                 "float 1000", "char 90", "short 6", "byte 90", "boolean 0", "touched Zürich",
                 "missing method null", "instance method as static null"):
        assert line in run.lines, (line, run)
    # The splash call's 14 arguments in order; NewStringUTF takes modified
    # UTF-8 and, as the VM does, a stray ANSI byte as its Latin-1 character.
    assert run.index("splash true false [Grüße] 10 -20 [0,0,0] 1 2 [café] 30 40 [255,255,255] -5 2147483647") > 0
    called = run.index("firstRun called")
    assert run.lines[called + 1] == "bool 1"
    # A method that leaves the main thread interrupted: the flag is still
    # set at the next call (and only there), as on a thread of the VM.
    assert run.lines[called + 3:called + 8:2] == ["bool 1", "bool 1", "bool 0"], run
    assert run.lines[-1] == "destroy 0"


def test_exceptions_stay_pending_and_print_their_stack_trace(hostjvm):
    run = hostjvm.run_driver("create", "main", "hostjvmtest/Fail", 1, "x",
                             "bool", "hostjvmtest/Probe", "failingCheck",
                             "findclass", "hostjvmtest/Missing", "findclass", "hostjvmtest.Echo",
                             "findclass", "hostjvmtest/Broken",
                             "thrownew", "java/lang/IllegalArgumentException", "bad argument", "destroy")
    assert run.rc == 0, run
    # main's exception is pending when the call returns; Throw puts it back
    # and ExceptionDescribe prints and clears it.
    failing = run.index("failing")
    assert run.lines[failing + 1:failing + 6] == [
        "main returned", "exception java.lang.IllegalStateException: boom x check=0", "pending 1",
        "after describe pending 0", "bool 0"]
    assert run.index("exception java.lang.UnsupportedOperationException: no check check=0") > 0
    assert run.lines.count("findclass null pending 1") == 3
    assert run.index("exception java.lang.NoClassDefFoundError: hostjvmtest/Missing check=0") > 0
    # FindClass takes slash names only, as the VM does.
    assert run.index("exception java.lang.NoClassDefFoundError: hostjvmtest.Echo check=0") > 0
    assert run.index("exception java.lang.ExceptionInInitializerError check=0") > 0
    assert run.index("thrownew 0") > 0
    assert run.index("exception java.lang.IllegalArgumentException: bad argument check=0") > 0

    err = run.err
    assert err.startswith('Exception in thread "main" java.lang.IllegalStateException: boom x\n'
                          "\tat hostjvmtest.Fail.deep(Fail.java:11)\n"
                          "\tat hostjvmtest.Fail.main(Fail.java:7)\n"
                          "Caused by: java.lang.RuntimeException: root cause\n"), err
    assert 'Exception in thread "main" java.lang.UnsupportedOperationException: no check\n' \
           "\tat hostjvmtest.Probe.failingCheck(Probe.java:38)\n" in err
    assert 'Exception in thread "main" java.lang.NoClassDefFoundError: hostjvmtest/Missing\n' in err
    assert "Caused by: java.lang.IllegalStateException: cannot initialise\n" in err
    assert "\tat hostjvmtest.Broken.<clinit>(Broken.java:5)\n" in err
    # Nothing of the bridge or of reflection shows in the traces.
    for plumbing in ("com.vantrel.hostjvm", "jdk.internal.reflect", "java.lang.reflect", "java.lang.Class.forName"):
        assert plumbing not in err, err
    assert err.count("Exception in thread") == 6


def test_a_misused_or_missing_function_ends_the_process_with_its_name(hostjvm):
    run = hostjvm.run_driver("create", "again", "env", "stub", "destroy")
    assert run.rc == 1, run
    assert run.lines[:2] == ["create 0", "again -5"]
    for line in ("getenv 0 1", "getenv bad version -3", "attach 0 1", "version a0000",
                 "thread getenv -2 null", "thread attach -1"):
        assert line in run.lines, (line, run)
    assert "AttachCurrentThread from a second thread is not supported" in run.err
    assert run.lines[-1] == "calling GetFieldID"
    assert "hostjvm: JNI function GetFieldID is not supported by the host JVM bridge" in run.err


def test_bad_vm_options_make_creation_fail_with_the_vms_message(hostjvm):
    run = hostjvm.run_driver("create", "destroy", options=["-Xrs", "-Xmx=bad"])
    assert run.rc == 3, run
    assert run.lines == ["create -1"]
    assert run.err == "Invalid maximum heap size: -Xmx=bad\n"

    strict = hostjvm.run_driver("strict", "create", options=["-Xrs", "-Dok=1", "stray"])
    assert strict.rc == 3, strict
    assert strict.lines == ["create -1"]
    assert strict.err == "Unrecognized option: stray\n"


def test_java_exe_gives_the_host_version_line_as_the_launcher_reads_it(hostjvm):
    host = subprocess.run(["java", "-version"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True,
                          env={"PATH": "/usr/bin:/bin", "LC_ALL": "C.UTF-8"})
    host_line = host.stderr.decode().splitlines()[0]
    assert host_line.startswith('openjdk version "') or host_line.startswith('java version "')
    java_exe = hostjvm.winpath(hostjvm.HOME / "bin" / "java.exe")
    run = subprocess.run(hostjvm.WINE + [str(hostjvm.DRIVER), "unused.dll", "version", java_exe],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=hostjvm.wine_env(), timeout=90)
    lines = hostjvm.normalise(run.stdout).splitlines()
    assert run.returncode == 0, run
    assert lines[1:] == ["version exit 0", "version line " + host_line], lines

    bad = hostjvm.run_java_exe("-Xmx=bad", "-version")
    assert bad.rc == 1, bad
    assert bad.err.startswith("Invalid maximum heap size: -Xmx=bad\n"), bad
