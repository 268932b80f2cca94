"""Extraction of the files embedded behind the configuration block.

The launcher stub runs the whole launch sequence; with no Java runtime
offered it ends at the runtime search with exit code 1, through the
clean-up that removes the temporary directory. Its log shows what was
extracted. extractrun.exe, packed with the same block, runs the same
start-up and extraction and then ends normally, so the files stay and are
compared byte for byte."""
import re
import struct
from pathlib import Path

import pytest

import vtlblock
from vtltest import BUILD, log_files, only_log, temp_env

EXTRACTRUN = BUILD / "tests" / "extractrun.exe"
MESSAGES = {1009: "Internal error {0}"}


def embedded(names, count=None):
    return {2002: str(len(names) if count is None else count), 2003: ";".join(names)}


def run_logged(wine, exe, base, *args, env=None):
    return wine.run(exe, *args, env={"VANTREL_LOG": "yes", **(env or {})}, winenv=temp_env(wine, base))


def temp_dirs(base):
    return sorted(p for p in Path(base).iterdir() if p.is_dir() and re.fullmatch(r"mrl.*\.tmp_dir\d+", p.name))


def log_temp_dir(log):
    """The temporary directory the log names, as a Windows path."""
    found = re.findall(r"^Temp dir3: (.*)$", log, re.M)
    assert len(found) == 1, log
    return found[0]


def extractrun(wine, make_launcher, base, files, config, *args):
    """Packs extractrun.exe, runs it, and returns (result, temp dir path on
    the Unix side or None, unextracted position, packed executable)."""
    exe = make_launcher({**config}, MESSAGES, files=files, stub=EXTRACTRUN, name="xr.exe")
    r = run_logged(wine, exe, base, *args)
    fields = dict(line.split(" ", 1) for line in r.out.splitlines() if " " in line)
    assert "result" in fields, r
    directory = fields["tempDirectory"].strip()
    unix = None
    if directory:
        assert directory.startswith(wine.winpath(base) + "\\mrl"), directory
        unix = Path(base) / directory[len(wine.winpath(base)) + 1:]
    return int(fields["result"]), unix, int(fields["unextracted"]), exe, r


def file_area_bounds(exe, files):
    """Offsets of each file record in the packed executable, and the end of
    the area (the tail follows it)."""
    image = Path(exe).read_bytes()
    end = len(image) - len(vtlblock.TAIL)
    start = end - sum(8 + len(f) for f in files)
    offsets = [start]
    for f in files:
        assert image[offsets[-1]:offsets[-1] + 8] == struct.pack("<q", len(f))
        offsets.append(offsets[-1] + 8 + len(f))
    return offsets


def content(size, seed):
    """Every byte value, in an order that differs per file."""
    return bytes((i * 7 + seed + (i >> 8)) & 0xFF for i in range(size))


# --- the launcher's own run: log lines and clean-up -------------------------

@pytest.mark.parametrize("config", [{}, {2002: "0", 2003: "a.txt"}, {2002: "-1", 2003: "a.txt"}],
                         ids=["absent", "zero", "negative"])
def test_no_embedded_files_creates_nothing(wine, make_launcher, tempbase, config):
    exe = make_launcher(config, MESSAGES, files=[b"abc"] if config else None)
    r = run_logged(wine, exe, tempbase, "/run")
    assert r.rc == 1, r  # the runtime search finds nothing
    lines = only_log(tempbase).splitlines()
    i = lines.index("extracting files")
    assert lines[i + 1] == "Included files: %s" % config.get(2002, "0")
    assert not any(l.startswith(("Temp dir3:", "extracting Z:", "tempFile is")) for l in lines)
    assert "extracting files done" not in lines
    assert [p for p in tempbase.iterdir() if p.is_dir()] == []


def test_launch_logs_each_file_and_removes_the_directory_at_a_failed_end(wine, make_launcher, tempbase):
    files = [b"hello", content(7000, 1), b"", b"tail"]
    exe = make_launcher(embedded(["a.txt", "lib\\b.jar", "empty.txt", "lib\\c.txt"]), MESSAGES, files=files)
    r = run_logged(wine, exe, tempbase, "/run")
    assert r.rc == 1, r
    log = only_log(tempbase)
    lines = log.splitlines()
    d = log_temp_dir(log)
    base = wine.winpath(tempbase)
    i = lines.index("extracting files")
    assert lines[i:i + 4] == ["extracting files", "Included files: 4", "tempPath is %s\\" % base,
                              lines[i + 3]]
    temp_file = re.fullmatch(r"tempFile is (.*\\mrl[0-9A-F]+\.tmp)", lines[i + 3], re.I).group(1)
    assert re.fullmatch(re.escape(temp_file) + r"_dir\d+", d)
    j = lines.index("Temp dir3: " + d)
    assert lines[j + 1:j + 8] == [
        "extracting %s\\a.txt (size: 5)" % d,
        "creating directory %s\\lib" % d,
        "extracting %s\\lib\\b.jar (size: 7000)" % d,
        "extracting %s\\empty.txt (size: 0)" % d,
        "creating directory %s\\lib" % d,  # already there: no error line
        "extracting %s\\lib\\c.txt (size: 4)" % d,
        "extracting files done",
    ]
    assert not any(l.startswith("ERROR:") for l in lines[i:lines.index("extracting files done")])
    # The failed launch ended through the clean-up: the directory is gone,
    # with every file that was in it; the empty name file stays in the base.
    assert "emptying %s" % d in lines
    assert "attempting to delete %s\\lib\\b.jar" % d in lines
    assert temp_dirs(tempbase) == []
    assert (tempbase / Path(temp_file.replace("\\", "/")).name).is_file()


def test_two_directory_levels_end_with_internal_error_11(wine, make_launcher, tempbase):
    config = {**embedded(["ok.txt", "a\\b\\c.txt"]), 107: "4"}
    exe = make_launcher(config, MESSAGES, files=[b"fine", b"deep"])
    r = run_logged(wine, exe, tempbase, "/run")
    assert r.rc == 1
    log = only_log(tempbase)
    d = log_temp_dir(log)
    lines = log.splitlines()
    j = lines.index("Temp dir3: " + d)
    assert lines[j + 1:j + 4] == ["extracting %s\\ok.txt (size: 4)" % d, "creating directory %s\\a" % d,
                                  "extracting %s\\a\\b\\c.txt (size: 4)" % d]
    assert "extracting files done" not in lines
    log_path = wine.winpath(log_files(tempbase)[0])
    assert r.err == "Internal error 11\n\nLog: %s\n" % log_path
    assert temp_dirs(tempbase) == []  # ok.txt and the directory a went with it


def test_internal_error_11_without_log_is_the_message_alone(wine, make_launcher, tempbase):
    exe = make_launcher({**embedded(["a\\b\\c.txt"]), 107: "4"}, MESSAGES, files=[b"deep"])
    r = wine.run(exe, "/run", winenv=temp_env(wine, tempbase))
    assert (r.rc, r.err, r.out) == (1, "Internal error 11\n", "")
    assert list(tempbase.glob("*.tmp_dir*")) == []


def test_length_that_cannot_be_read_is_a_readlong_error(wine, make_launcher, tempbase):
    # Two files announced, one record present and nothing behind it.
    block = vtlblock.build_block({**embedded(["a.txt", "b.txt"]), 107: "4"}, MESSAGES, files=[b"first"],
                                 tail=False)
    exe = make_launcher(block=block)
    r = run_logged(wine, exe, tempbase, "/run")
    assert r.rc == 1
    assert r.err.startswith("Internal Error: readLong\n\nLog: ")
    log = only_log(tempbase)
    d = log_temp_dir(log)
    lines = log.splitlines()
    k = lines.index("extracting %s\\a.txt (size: 5)" % d)
    assert lines[k + 1:k + 3] == ["error 0", ""]  # the reader's own line ends in a line feed
    assert not any(l.startswith("extracting %s\\b.txt" % d) for l in lines)
    assert temp_dirs(tempbase) == []


@pytest.mark.parametrize("length,present,copied", [(6001, 6000, 6000), (6001, 5999, 5999), (12001, 12000, 12000),
                                                   (10, 0, 0)])
def test_content_that_ends_early_is_internal_error_16(wine, make_launcher, tempbase, length, present, copied):
    # The record promises more bytes than the file holds: everything present
    # is copied, then the read that finds nothing more is the failure.
    block = vtlblock.build_block({**embedded(["big.bin"]), 107: "4"}, MESSAGES, tail=False)
    block += struct.pack("<q", length) + bytes(b ^ vtlblock.MASK for b in content(present, 3))
    exe = make_launcher(block=block)
    r = run_logged(wine, exe, tempbase, "/run")
    assert r.rc == 1
    assert r.err.startswith("Internal error 16\n\nLog: ")
    log = only_log(tempbase)
    d = log_temp_dir(log)
    lines = log.splitlines()
    k = lines.index("extracting %s\\big.bin (size: %d)" % (d, length))
    assert lines[k + 1:k + 3] == ["ERROR: ReadFile failed 0 0 %d" % copied, "ERROR: Failed to extract %s\\big.bin" % d]
    assert temp_dirs(tempbase) == []


@pytest.mark.parametrize("name", ["..\\evil.txt", "lib\\..\\..\\evil.txt", "../evil.txt", "\\evil.txt",
                                  "C:\\evil.txt", "c:evil.txt", "... \\evil.txt", "lib\\nul.txt", "com1", "ABSOLUTE"])
def test_names_outside_the_temporary_directory_are_refused(wine, make_launcher, tempbase, tmp_path, name):
    outside = tmp_path / "outside"
    outside.mkdir()
    if name == "ABSOLUTE":
        name = wine.winpath(outside / "evil.txt")
    exe = make_launcher({**embedded(["good.txt", name, "after.txt"]), 107: "4"}, MESSAGES,
                        files=[b"good", b"evil", b"after"])
    r = run_logged(wine, exe, tempbase, "/run")
    assert r.rc == 1
    assert r.err.startswith("Internal error 16\n\nLog: ")
    log = only_log(tempbase)
    d = log_temp_dir(log)
    lines = log.splitlines()
    k = lines.index("extracting %s\\good.txt (size: 4)" % d)
    assert lines[k + 1] == "ERROR: refusing to extract %s: not a path inside the temporary directory" % name
    assert not any("evil" in l and l.startswith(("extracting", "creating directory")) for l in lines)
    assert not any("after.txt" in l for l in lines)
    # Nothing landed beside the temporary directory, in the test's folders
    # or at the drive root.
    assert not list(tmp_path.rglob("evil.txt"))
    assert not Path("/evil.txt").exists()
    assert temp_dirs(tempbase) == []


# --- extraction that ends normally: the files stay ------------------------

def test_sizes_around_the_chunk_are_copied_exactly(wine, make_launcher, tempbase):
    sizes = [1, 5999, 6000, 6001, 12000, 12001, 70000]
    files = [content(n, n) for n in sizes]
    names = ["f%d.bin" % n for n in sizes]
    result, directory, position, exe, r = extractrun(wine, make_launcher, tempbase, files, embedded(names))
    assert result == 0
    for name, data in zip(names, files):
        assert (directory / name).read_bytes() == data, name
    assert sorted(p.name for p in directory.iterdir()) == sorted(names)
    assert position == file_area_bounds(exe, files)[-1]
    # A normal end leaves the temporary directory in place.
    assert temp_dirs(tempbase) == [directory]


def test_zero_length_entry_creates_no_file_and_the_next_follows(wine, make_launcher, tempbase):
    files = [b"", b"after the empty one", b"", b"x"]
    result, directory, position, exe, _ = extractrun(
        wine, make_launcher, tempbase, files, embedded(["zero.txt", "one.txt", "lib\\zero2.txt", "two.txt"]))
    assert result == 0
    assert sorted(p.name for p in directory.iterdir()) == ["lib", "one.txt", "two.txt"]
    assert list((directory / "lib").iterdir()) == []  # the directory level is made before the length is read
    assert (directory / "one.txt").read_bytes() == b"after the empty one"
    assert (directory / "two.txt").read_bytes() == b"x"
    assert position == file_area_bounds(exe, files)[-1]


def test_one_directory_level_and_same_names(wine, make_launcher, tempbase):
    files = [b"first version", b"jar", b"second", b"other jar"]
    names = ["app.txt", "lib\\x.jar", "app.txt", "lib\\x.jar"]
    result, directory, _, _, r = extractrun(wine, make_launcher, tempbase, files, embedded(names))
    assert result == 0
    assert (directory / "app.txt").read_bytes() == b"second"
    assert (directory / "lib" / "x.jar").read_bytes() == b"other jar"
    assert sorted(str(p.relative_to(directory)) for p in directory.rglob("*")) == ["app.txt", "lib", "lib/x.jar"]
    log = only_log(tempbase)
    assert log.count("extracting %s\\app.txt" % log_temp_dir(log)) == 2


def test_names_beyond_the_count_are_ignored(wine, make_launcher, tempbase):
    files = [b"one", b"two", b"three"]
    result, directory, position, exe, _ = extractrun(wine, make_launcher, tempbase, files,
                                                     embedded(["a.txt", ";b.txt;", "c.txt"], count=2))
    assert result == 0
    assert sorted(p.name for p in directory.iterdir()) == ["a.txt", "b.txt"]
    assert (directory / "b.txt").read_bytes() == b"two"
    # The third record was not read: the application gets its offset.
    assert position == file_area_bounds(exe, files)[2]


def test_fewer_names_than_the_count_stop_after_the_last_name(wine, make_launcher, tempbase):
    files = [b"one", b"two", b"three"]
    result, directory, position, exe, _ = extractrun(wine, make_launcher, tempbase, files,
                                                     embedded([";;a.txt;;", "b.txt"], count=3))
    assert result == 0
    assert sorted(p.name for p in directory.iterdir()) == ["a.txt", "b.txt"]
    assert position == file_area_bounds(exe, files)[2]
    assert "extracting files done" in only_log(tempbase).splitlines()


def test_nothing_to_extract_leaves_position_zero(wine, make_launcher, tempbase):
    result, directory, position, _, _ = extractrun(wine, make_launcher, tempbase, [b"unused"], {2002: "0"})
    assert (result, directory, position) == (0, None, 0)


def test_fatal_clean_up_removes_what_a_normal_end_keeps(wine, make_launcher, tempbase, tmp_path):
    files = [b"top", b"inside"]
    config = embedded(["top.txt", "lib\\in.txt"])
    result, kept, _, _, _ = extractrun(wine, make_launcher, tempbase, files, config)
    assert result == 0 and (kept / "lib" / "in.txt").read_bytes() == b"inside"

    other = tmp_path / "base2"
    other.mkdir()
    result, removed, _, _, r = extractrun(wine, make_launcher, other, files, config, "--cleanup")
    assert r.rc == 0 and result == 0
    assert not removed.exists()
    assert temp_dirs(other) == []
    log = only_log(other)
    assert "attempting to remove %s\\lib (1)" % log_temp_dir(log) in log.splitlines()


def test_write_failure_is_logged_with_the_unwritten_count(wine, tempbase):
    # A target that refuses writes cannot be arranged inside a launch; the
    # Windows-layer test copies into a read-only handle with the log on.
    r = wine.run(BUILD / "tests" / "win_tests.exe", "--gtest_filter=CopyUnmasked.UnwritableTargetIsAWriteFailure",
                 env={"VANTREL_LOG": "yes"}, winenv=temp_env(wine, tempbase))
    assert r.rc == 0, r
    assert "1 test" in r.out and "PASSED" in r.out
    assert only_log(tempbase).splitlines()[-1] == "ERROR: WriteFile failed 6000 5"  # ERROR_ACCESS_DENIED


def test_completed_launch_leaves_the_files_in_place(wine, make_launcher, tmp_path, tempbase):
    # With a (recording) runtime the launch runs main to its end: no
    # clean-up, and the application is told where the files are.
    from launch_support import Launch
    files = [content(6001, 9), b"jar bytes"]
    launch = Launch(wine, make_launcher, tmp_path, tempbase, embedded(["data.bin", "lib\\x.jar"]), files=files)
    r = launch.run()
    assert r.rc == 0, r
    d = r.value("Temp dir3: ")
    assert r.option("-Dmorlin.tempDir=") == d
    directory = tempbase / d[len(wine.winpath(tempbase)) + 1:]
    assert (directory / "data.bin").read_bytes() == files[0]
    assert (directory / "lib" / "x.jar").read_bytes() == files[1]
    assert not r.starting("emptying ")
    assert r.option("-Dmorlin.unextractedPosition=") == str(file_area_bounds(launch.exe, files)[-1])
