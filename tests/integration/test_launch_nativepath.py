"""The native library path end to end: configured directories in front of
PATH, the library-path option built from it, and values too long for their
buffers."""
from launch_support import Launch, library_path

WINDOWS = "c:\\windows"


def native_setting(r):
    return r.value("Setting PATH (native libs) ")


def test_directories_go_in_front_of_path(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {10004: "lib;c:\\native;;${VANTREL_EXEDIR}x64;"})
    r = launch.run(winenv={"PATH": WINDOWS})
    assert r.rc == 0, r
    assert r.has("native lib dir is lib;c:\\native;;${VANTREL_EXEDIR}x64;")
    assert native_setting(r) == ";".join([launch.win("lib"), "c:\\native", launch.win("x64"), WINDOWS])
    # The VM's library path starts with the same value (the runtime's bin
    # folder was appended to PATH while jvm.dll was loaded).
    assert r.option("-Djava.library.path=") == library_path(r)
    assert library_path(r).startswith(native_setting(r) + ";")

    # Nothing configured: PATH is set again to its own value.
    launch.configure({})
    r = launch.run(winenv={"PATH": WINDOWS})
    assert r.rc == 0, r
    assert r.has("native lib dir is ")
    assert native_setting(r) == WINDOWS

    # PATH undefined: the directories and one separator.
    launch.configure({10004: "c:\\only"})
    r = launch.run(unset=["PATH"])
    assert r.rc == 0, r
    assert native_setting(r) == "c:\\only;"


def test_library_path_option_without_value_when_path_is_too_long(wine, make_launcher, tmp_path, tempbase):
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {10004: "c:\\native"})
    long_path = ";".join(f"c:\\dir{i:05d}" for i in range(1100))  # 12099 characters
    r = launch.run(winenv={"PATH": long_path})
    assert r.rc == 0, r
    assert native_setting(r) == "c:\\native;" + long_path
    assert "-Djava.library.path=" in r.options()

    # Just short enough: 11979 characters in all, bin folder included.
    bin_folder = ";" + launch.home.winpath("bin").lower()
    room = 11979 - len("c:\\native;") - len(bin_folder)
    fitting = ("c:\\" + "p" * 100 + ";") * (room // 104)
    fitting += "c:\\" + "q" * (room - len(fitting) - 3)
    r = launch.run(winenv={"PATH": fitting})
    assert r.rc == 0, r
    value = r.option("-Djava.library.path=")
    assert len(value) == 11979 and value == library_path(r)


def test_a_path_too_long_for_its_buffer_is_left_unchanged(wine, make_launcher, tmp_path, tempbase):
    """30000 characters of PATH and 20000 of resolved directories do not fit
    48000 bytes: PATH stays as it was, nothing is cut."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase)
    count = 20000 // (len(launch.win("d")) + 1)
    launch.configure({10004: ";".join(["d"] * count)})
    long_path = ";".join(f"c:\\{'p' * 95}{i:04d}" for i in range(300))
    assert len(long_path) > 30000
    r = launch.run(winenv={"PATH": long_path})
    assert r.rc == 0, r
    assert not r.starting("Setting PATH (native libs) ")
    assert r.has("ERROR: native library directories and PATH exceed 48000 bytes, PATH left unchanged")
    # PATH, still over 11979 characters, leaves the library path empty.
    assert "-Djava.library.path=" in r.options()
