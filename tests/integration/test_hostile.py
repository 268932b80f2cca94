"""Hostile inputs against the packed launcher: over-long configuration
values, environment values and PATH past their buffers, thousands of
arguments, monstrous option files and blocks whose counts and lengths lie.
Every case must end with its specified error or a cut value: exit code 0
or 1, within its time, and never a crash."""
import os
import struct
import sys
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import pytest

import vtlblock
from vtltest import ROOT, temp_env

sys.path.insert(0, str(ROOT / "testrt"))
from homes import make_home  # noqa: E402

# Every configuration value the launcher reads as text.
TEXT_KEYS = [101, 103, 105, 121, 122, 123, 124, 126, 127, 128, 146, 149, 152, 160, 2001, 2003,
             10003, 10004, 10111, 10114, 10118, 10121, 10201, 10202]
LENGTHS = [5999, 6000, 20000]
CRASH_MARKS = ("Unhandled", "page fault", "stack overflow", "Assertion", "terminate called")


def assert_clean(result, allowed=(0, 1)):
    text = result.out + result.err
    assert result.rc in allowed, result
    for mark in CRASH_MARKS:
        assert mark not in text, result


@pytest.fixture
def home(tmp_path):
    return make_home(tmp_path / "jre", version_line='java version "1.8.0_121"')


def base_config(home):
    # Errors on standard error; a runtime that loads; flags that make the
    # launch read every text key (redirection, splash, version lines).
    return {107: "4", 2001: "v", 122: "com.example.Main", 128: "B" + home.winpath(),
            102: "1", 104: "1", 108: "1", 10123: "1", 10200: "1", 125: "1"}


def long_value(key, length):
    # Texts that are also plausible for the key: paths, lists, versions.
    unit = {121: "A0x;", 128: "Bx;", 126: "1.", 127: "9.", 10004: "d;", 149: "s,", 2003: "f;"}.get(key, "a")
    return (unit * (length // len(unit) + 1))[:length]


@pytest.mark.parametrize("length", LENGTHS)
def test_every_text_key_at_the_buffer_limits(wine, make_launcher, home, tmp_path, tempbase, length):
    def one(key):
        config = base_config(home)
        config[key] = long_value(key, length)
        if key == 2003:
            config[2002] = "1"
        exe = make_launcher(config, {1000: "Error"}, name=f"k{key}.exe", directory=tmp_path / f"k{key}")
        return key, wine.run(exe, "/run", "x", winenv=temp_env(wine, tempbase), timeout=120)

    with ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(one, TEXT_KEYS))
    for key, result in results:
        assert_clean(result), key


def test_environment_values_and_path_past_their_buffers(wine, make_launcher, home, tmp_path, tempbase):
    config = base_config(home)
    config[121] = "E0BIG_CP;E1BIG_CP"
    config[128] = "EBIG_HOME;B" + home.winpath()
    config[123] = "-Dx=${BIG_CP}"
    exe = make_launcher(config, {1000: "Error"})
    env = dict(temp_env(wine, tempbase))
    env.update({"BIG_CP": "c" * 7000, "BIG_HOME": "h" * 7000, "PATH": "C:\\windows;" + "p" * 50000})
    assert_clean(wine.run(exe, "/run", winenv=env, timeout=120))
    env["PATH"] = "C:\\windows;" + "q" * 11990
    assert_clean(wine.run(exe, "/run", winenv=env, timeout=120))


def test_thousands_of_arguments(wine, make_launcher, home, tempbase):
    exe = make_launcher(base_config(home), {1000: "Error"})
    # 3000 arguments come close to the 32767-character limit of a Windows
    # command line.
    args = ["/run"] + [f"-J-Da{i}=1" if i % 3 == 0 else f"arg{i}" for i in range(3000)]
    result = wine.run(exe, *args, winenv=temp_env(wine, tempbase), timeout=120)
    assert_clean(result, allowed=(0,))


@pytest.mark.parametrize("kind", ["enormous_line", "include_cycle", "binary_garbage", "self_include"])
def test_hostile_option_files(wine, make_launcher, home, tmp_path, tempbase, kind):
    exe = make_launcher(base_config(home), {1000: "Error"}, name="app.exe")
    options = exe.with_suffix(".vmoptions")
    if kind == "enormous_line":
        options.write_bytes(b"-Dbig=" + b"z" * 200000 + b"\r\n-Xmx64m\r\n")
    elif kind == "include_cycle":
        options.write_text("-include-options a.vmoptions\n")
        (exe.parent / "a.vmoptions").write_text("-Da=1\n-include-options b.vmoptions\n")
        (exe.parent / "b.vmoptions").write_text("-Db=1\n-include-options a.vmoptions\n")
    elif kind == "self_include":
        options.write_text("-include-options app.vmoptions\n")
    else:
        options.write_bytes(os.urandom(100000) + b"\x00\n\x00" * 1000)
    assert_clean(wine.run(exe, "/run", winenv=temp_env(wine, tempbase), timeout=120))


def lying_blocks():
    head = struct.pack("<IIIq", vtlblock.MAGIC, 0, 0xEAFD0C88, 0)
    i = lambda v: struct.pack("<i", v)  # noqa: E731
    return {
        "huge_record_count": head + i(0x7FFFFFFF) + i(101) + i(3) + b"svc",
        "negative_string_length": head + i(1) + i(101) + i(-5),
        "string_longer_than_file": head + i(1) + i(101) + i(0x40000000) + b"abc",
        "odd_wide_length": head + i(0) + i(1) + i(1000) + i(3) + b"abc" + i(0) + bytes(8),
        "huge_message_count": head + i(0) + i(0x7FFFFFFF),
        "huge_section_count": head + i(0) + i(0) + i(0x7FFFFFFF) + i(2) + b"de",
        "negative_wide_length": head + i(0) + i(1) + i(1000) + i(-2),
    }


@pytest.mark.parametrize("name", sorted(lying_blocks()))
def test_blocks_whose_counts_and_lengths_lie(wine, make_launcher, tempbase, name):
    exe = make_launcher(block=lying_blocks()[name])
    from vtltest import read_message_box
    box, rc = read_message_box(wine, exe, "/help")
    assert rc in (0, 1)
    if rc == 1:
        assert box and box.startswith("Error|Internal Error: ")


@pytest.mark.parametrize("area", ["length_past_the_end", "negative_length", "more_names_than_count",
                                  "count_beyond_records"])
def test_file_areas_that_lie(wine, make_launcher, home, tmp_path, tempbase, area):
    config = base_config(home)
    if area == "length_past_the_end":
        config.update({2002: "1", 2003: "a.bin"})
        block = vtlblock.build_block(config, {1000: "Error"}, None, [], tail=False) + struct.pack("<q", 1 << 40) + b"x"
    elif area == "negative_length":
        config.update({2002: "2", 2003: "a.bin;b.bin"})
        block = vtlblock.build_block(config, {1000: "Error"}, None, [], tail=False) + struct.pack("<q", -7) + \
            struct.pack("<q", 2) + bytes([0x41 ^ 0xA7, 0x42 ^ 0xA7])
    elif area == "more_names_than_count":
        config.update({2002: "1", 2003: "a.bin;b.bin;c.bin"})
        block = vtlblock.build_block(config, {1000: "Error"}, None, [b"one"])
    else:
        config.update({2002: "50", 2003: ";".join(f"f{i}.bin" for i in range(50))})
        block = vtlblock.build_block(config, {1000: "Error"}, None, [b"one"])
    exe = make_launcher(block=block)
    assert_clean(wine.run(exe, "/run", winenv=temp_env(wine, tempbase), timeout=120))
