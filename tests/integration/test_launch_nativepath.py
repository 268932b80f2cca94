"""The native library path end to end: configured directories in front of
PATH, the library-path option built from it, and values too long for their
buffers."""
import shutil

from launch_support import Launch, library_path
from vtltest import BUILD

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


def test_long_path_reaches_the_runtime_and_the_library_path(wine, make_launcher, tmp_path, tempbase):
    """A 13,000-character PATH: the runtime's bin directory is still
    appended, so a library the VM loads from there by name is found, and the
    VM's library path holds the whole value."""
    launch = Launch(wine, make_launcher, tmp_path, tempbase, {10004: "c:\\native"},
                    script={"load_libraries": "vtlnative.dll"})
    shutil.copyfile(BUILD / "testrt" / "jvm_noexport.dll", launch.home.root / "bin" / "vtlnative.dll")
    long_path = ";".join(f"c:\\dir{i:05d}" for i in range(1182))  # 13001 characters
    assert len(long_path) > 13000
    r = launch.run(winenv={"PATH": long_path})
    assert r.rc == 0, r
    assert native_setting(r) == "c:\\native;" + long_path
    bin_folder = launch.home.winpath("bin").lower()
    assert library_path(r) == f"c:\\native;{long_path};{bin_folder}"
    assert r.option("-Djava.library.path=") == library_path(r)
    assert [(l.args[0], l.result) for l in r.trace.calls("load-library")] == [("vtlnative.dll", True)]


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
    # PATH as it was, with the runtime's bin directory, is the library path.
    assert r.option("-Djava.library.path=") == long_path + ";" + launch.home.winpath("bin").lower()
