"""The test runtime's jvm.dll, loaded and driven by the test driver as the
launcher would: its trace, its script, and its failure variants."""
import pytest

import homes
import vtlwidth

CONTRACT_SEQUENCE = [
    "process", "script", "startup-us", "option", "option", "option", "JNI_CreateJavaVM",
    "FindClass", "GetStaticMethodID", "NewStringUTF", "NewStringUTF", "NewStringUTF", "NewStringUTF",
    "CallStaticVoidMethod", "DeleteLocalRef", "DeleteLocalRef", "DeleteLocalRef", "DeleteLocalRef",
    "FindClass", "GetStaticMethodID", "CallStaticVoidMethod", "DeleteLocalRef",
    "FindClass", "GetStaticMethodID", "CallStaticBooleanMethod", "ExceptionOccurred",
    "FindClass", "GetStaticMethodID", "FindClass", "NewObjectArray",
] + ["NewString", "SetObjectArrayElement"] * 7 + [
    "CallStaticVoidMethod"] + ["main-arg"] * 7 + ["main-result", "ExceptionOccurred", "DestroyJavaVM"]


def jvm(home):
    return home.jvm_dlls()[0]


class TestTrace:
    def test_full_launch_is_traced_in_order(self, driver, home):
        run = driver(jvm(home), "launch", "--splash", "--first-run", "a", "b c")
        assert run.rc == 0, run
        trace = home.trace()
        assert trace.names() == CONTRACT_SEQUENCE
        assert trace.options() == ["-Ddriver.option=1", "-Djava.class.path=a.jar;b.jar", "-Dlatin=caf\u00e9"]
        assert trace.first("JNI_CreateJavaVM").args == ["0x00010002", 3, True]
        assert trace.first("JNI_CreateJavaVM").result == 0
        assert trace.main_args() == ["false", "com.example.Main", "", "", "false", "a", "b c"]
        assert trace.static_calls() == [
            ("com/morlin/runtime/WinLauncher", "initAwtSplashConfig",
             [True, False, "Loading \u00e9", 10, 20, "0,0,0", 3, 4, "v1.2", 30, 40, "255,255,255", 5, 6]),
            ("com/vantrel/runtime/installer/platform/win32/Common", "initFromLauncher", [True]),
            ("com/vantrel/runtime/launcher/FirstRun", "firstRun", []),
            ("com/vantrel/runtime/launcher/WinLauncher", "main", ["@10"]),
        ]
        assert trace.first("CallStaticBooleanMethod").result is True
        assert trace.first("main-result").args == ["return"]
        assert trace.warnings() == []
        assert 0 < trace.startup_us() < 60_000_000
        assert trace.first("script").args == [homes.winpath(home.script_path)]

    def test_morlin_family_main(self, driver, home):
        assert driver(jvm(home), "launch", "--family", "m").rc == 0
        assert home.trace().static_calls()[-1][:2] == ("com/morlin/runtime/WinLauncher", "main")

    def test_trace_environment_variable_and_explicit_script(self, driver, home, tmp_path):
        script = tmp_path / "other.ini"
        script.write_text("main = exit\nmain_exit_code = 4\n")
        trace = tmp_path / "elsewhere.log"
        run = driver(jvm(home), "launch", env={"VTL_TESTRT_TRACE": homes.winpath(trace),
                                               "VTL_TESTRT_SCRIPT": homes.winpath(script)})
        assert run.rc == 4
        assert not home.trace_path.exists()
        assert homes.read_trace(trace).first("main-result").args == ["exit", 4]


class TestScript:
    def test_main_throws(self, driver, home):
        home.write_script(main="throw", main_exception="java.lang.IllegalStateException: boom \u00e9")
        run = driver(jvm(home), "launch")
        assert run.rc == 1
        assert "exception: java.lang.IllegalStateException: boom \u00e9" in run.out
        assert run.err.startswith("java.lang.IllegalStateException: boom \u00e9\n\tat testrt.")
        trace = home.trace()
        assert trace.first("main-result").args == ["throw", "java.lang.IllegalStateException: boom \u00e9"]
        assert trace.first("ExceptionOccurred", ).result == trace.first("GetObjectClass").args[0]
        assert trace.first("CallObjectMethod").args[1:3] == ["toString", "()Ljava/lang/String;"]
        assert trace.first("ExceptionDescribe").args == ["java.lang.IllegalStateException: boom \u00e9"]

    def test_main_exits_with_a_code_and_prints(self, driver, home):
        home.write_script(main="exit", main_exit_code=7, main_stdout="from main\n", main_stderr="on stderr\n")
        run = driver(jvm(home), "launch")
        assert (run.rc, run.out, run.err) == (7, "from main\n", "on stderr\n")
        assert home.trace().names()[-1] == "main-result"

    def test_create_failure(self, driver, home):
        home.write_script(create_result=-1)
        run = driver(jvm(home), "launch")
        assert run.rc == 2 and "JNI_CreateJavaVM failed -1" in run.out
        assert home.trace().first("JNI_CreateJavaVM").result == -1

    def test_missing_class_leaves_a_pending_error(self, driver, home):
        home.write_script(missing_classes=["com/vantrel/runtime/launcher/WinLauncher"])
        run = driver(jvm(home), "launch")
        assert run.rc == 3 and "missing class com/vantrel/runtime/launcher/WinLauncher" in run.out
        trace = home.trace()
        assert trace.calls("FindClass")[-1].result is None
        assert trace.first("pending").args == ["java.lang.NoClassDefFoundError: com/vantrel/runtime/launcher/WinLauncher"]

    def test_missing_method(self, driver, home):
        home.write_script(missing_methods=["com/morlin/runtime/WinLauncher.initAwtSplashConfig"])
        run = driver(jvm(home), "launch", "--splash")
        assert run.rc == 3 and "missing method initAwtSplashConfig" in run.out
        assert home.trace().first("pending").args == ["java.lang.NoSuchMethodError: initAwtSplashConfig"]

    def test_first_run_false_and_throw(self, driver, home):
        home.write_script(first_run="false")
        run = driver(jvm(home), "launch", "--first-run")
        assert run.rc == 0 and "first run stopped the launch" in run.out
        assert "main-arg" not in home.trace().names()
        home.clear_trace()
        home.write_script(first_run="throw", first_run_exception="java.lang.Error: no first run")
        run = driver(jvm(home), "launch", "--first-run")
        assert "exception: java.lang.Error: no first run" in run.out
        assert home.trace().first("CallStaticBooleanMethod").result is False

    def test_destroy_waits_for_a_non_daemon_thread(self, driver, home):
        quick = driver(jvm(home), "launch")
        home.clear_trace()
        home.write_script(destroy_wait_ms=1500)
        slow = driver(jvm(home), "launch")
        assert slow.rc == 0 and slow.seconds >= quick.seconds + 1.2
        assert home.trace().first("DestroyJavaVM").args == [1500]

    def test_main_waits_for_the_stop_line(self, driver, home):
        home.write_script(main="wait-stop")
        run = driver(jvm(home), "launch", stdin=b"hello\r\n1\n0\nnot read\n")
        assert run.rc == 0
        trace = home.trace()
        assert [line.args for line in trace.calls("stdin-line")] == [["hello"], ["1"], ["0"]]
        assert trace.first("stdin-stop").args == ["0"]
        assert trace.first("main-result").args == ["exit", 0]

    def test_main_stops_at_end_of_input_and_may_return(self, driver, home):
        home.write_script(main="wait-stop", stop_action="return")
        run = driver(jvm(home), "launch", stdin=b"partial")
        assert run.rc == 0 and "main returned" in run.out
        trace = home.trace()
        assert trace.first("stdin-line").args == ["partial"]
        assert trace.first("stdin-stop").args == ["eof"]
        assert trace.first("main-result").args == ["return"]

    def test_bad_script_is_refused(self, driver, home):
        home.write_script("main = explode\n")
        run = driver(jvm(home), "launch")
        assert run.rc == 96 and "main must be return, throw, exit or wait-stop" in run.err


class TestFaults:
    def test_unimplemented_function_ends_the_process(self, driver, home):
        run = driver(jvm(home), "unimplemented")
        assert run.rc == 97
        assert run.err == "testrt: unimplemented JNI function MonitorEnter\n"
        assert home.trace().names()[-1] == "unimplemented"

    def test_unimplemented_invocation_function(self, driver, home):
        run = driver(jvm(home), "invoke-unimplemented")
        assert run.rc == 97 and "DetachCurrentThread" in run.err

    def test_deleted_reference_is_caught(self, driver, home):
        run = driver(jvm(home), "double-delete")
        assert run.rc == 98 and "deleted reference @1 passed to DeleteLocalRef" in run.err

    def test_call_with_an_exception_pending_is_flagged(self, driver, home):
        assert driver(jvm(home), "pending").rc == 0
        assert home.trace().warnings() == ["FindClass called with an exception pending"]


class TestVariants:
    def test_library_without_the_entry(self, driver, tmp_path):
        home = homes.make_home(tmp_path / "jre", variant="noexport")
        run = driver(jvm(home), "load")
        assert run.rc == 4 and "no JNI_CreateJavaVM" in run.out

    def test_wrong_width_library_fails_with_193(self, driver, tmp_path, foreign_build):
        home = homes.make_home(tmp_path / "jre", variant="foreign")
        run = driver(jvm(home), "load")
        assert run.rc == 4 and "LoadLibrary failed 193" in run.out

    def test_script_found_above_a_jdk_runtime(self, driver, tmp_path):
        home = homes.make_home(tmp_path / "jdk", jdk=True, script={"main": "exit", "main_exit_code": 5})
        assert driver(jvm(home), "launch").rc == 5
        assert home.trace().first("main-result").args == ["exit", 5]


# What a launcher looks up, and how many argument bytes each entry removes
# from the stack on return in a 32-bit runtime (JNICALL is __stdcall there).
JNI_ENTRIES = {"JNI_CreateJavaVM": 12, "JNI_GetDefaultJavaVMInitArgs": 4, "JNI_GetCreatedJavaVMs": 12}


def entry_returns(dll, objdump):
    """{export name: the set of operands of the return instructions in its
    code (0 for a plain ret)}, read with pefile and the width's objdump. The
    code runs from the export's address to the next symbol or padding."""
    import re
    import subprocess
    import pefile
    pe = pefile.PE(str(dll))
    base = pe.OPTIONAL_HEADER.ImageBase
    found = {}
    for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols:
        name = symbol.name.decode() if symbol.name else None
        if not name or not name.lstrip("_").startswith("JNI_"):
            continue
        start = base + symbol.address
        code = subprocess.run([objdump, "-d", f"--start-address={start:#x}", f"--stop-address={start + 65536:#x}",
                               str(dll)], capture_output=True, text=True, check=True).stdout
        body = code.split(">:\n", 1)[1] if ">:\n" in code else code
        body = re.split(r"^[0-9a-f]+ <", body, maxsplit=1, flags=re.M)[0]
        found[name] = {int(m.group(1) or "0", 16)
                       for m in re.finditer(r"\tret[lq]?\s*(?:\$0x([0-9a-f]+))?\s*$", body, re.M)}
    return found


class TestExports:
    """A runtime's jvm.dll as the launcher of each width meets it: the
    entries under their plain names (a 32-bit runtime exports them
    undecorated, without _name@n), and in a 32-bit library the callee
    clears its arguments, as __stdcall requires; a caller that got the
    convention wrong would be left with a shifted stack."""

    @pytest.mark.parametrize("library", ["testrt", "hostjvm"])
    @pytest.mark.parametrize("width", ["x86_64", "i686"])
    def test_jni_entries_are_undecorated_and_stdcall_on_32_bit(self, library, width):
        tree = vtlwidth.BUILD32 if width == "i686" else vtlwidth.BUILD64
        dll = tree / ("testrt/jvm.dll" if library == "testrt" else "hostjvm/home/bin/server/jvm.dll")
        if not dll.exists():
            pytest.skip(f"{dll} not built")
        objdump = "i686-w64-mingw32-objdump" if width == "i686" else "x86_64-w64-mingw32-objdump"
        returns = entry_returns(dll, objdump)
        assert set(returns) == set(JNI_ENTRIES), returns
        expected = {name: {pops if width == "i686" else 0} for name, pops in JNI_ENTRIES.items()}
        assert returns == expected
