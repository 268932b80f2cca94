"""The helper library vtlinst.dll, called as the launcher calls it, against
the test runtime's JNI environment."""
import homes


def test_register_natives_logs_once_and_succeeds(driver, home, build):
    helper = build / "runtime" / "vtlinst" / "vtlinst.dll"
    run = driver(home.jvm_dlls()[0], "launch", "--helper", homes.winpath(helper))
    assert run.rc == 0, run
    assert run.out.splitlines()[:2] == ["errorLog: vtlinst: natives ready", "registerNatives returned 1"]
    # it registers nothing, so it makes no JNI call of its own
    trace = home.trace()
    names = trace.names()
    common = names.index("CallStaticVoidMethod")
    assert names[common + 1:common + 3] == ["DeleteLocalRef", "FindClass"]
    assert trace.warnings() == []
