"""The packed executable as Windows sees it: the icon, version information
and manifest that vtlpack writes, read back with an independent PE reader
(pefile) and under Wine with the system's own functions (resprobe.exe:
GetFileVersionInfoW, VerQueryValueW, ExtractIconExW); the windowed stub,
which prints the lines of service commands in the console they were typed
in (conrun.exe plays the prompt); and icon and version inputs that are
refused without writing anything."""
import os
import shutil
import struct
import subprocess
import xml.etree.ElementTree as ET
import zlib

import pefile
import pytest

import vtlblock
from svc_helpers import keepalive, services  # noqa: F401
from vtltest import BUILD, BUILDNATIVE, IS_32, WIDTH

TOOLS = BUILD / "tests"
SUBSYSTEM_WINDOWS, SUBSYSTEM_CONSOLE = 2, 3
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
WINDOWS_7_TO_11 = {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
                   "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}


def png(size, colour=(30, 90, 200, 255)):
    """A real PNG image of size x size pixels."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    rows = b"".join(b"\x00" + bytes(colour) * size for _ in range(size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def bitmap(size):
    """A 32-bit icon bitmap with its mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"\x20\x80\xe0\xff" * (size * size) + bytes((size + 31) // 32 * 4 * size)


def icon(images):
    """An .ico file of (stated width, data) images; returns the file and its
    directory entries (width, height, colours, reserved, planes, bits, bytes)."""
    entries, offset = [], 6 + 16 * len(images)
    head = struct.pack("<HHH", 0, 1, len(images))
    for width, data in images:
        entry = (width, width, 0, 0, 1, 32, len(data))
        entries.append(entry)
        head += struct.pack("<BBBBHHII", *entry, offset)
        offset += len(data)
    return head + b"".join(data for _, data in images), entries


@pytest.fixture
def packer(tmp_path):
    """vtlpack with the stubs of the width under test beside it, as in
    dist/: pack(project text, files, output name) -> (process, exe)."""
    tool = tmp_path / "tool"
    (tool / "stubs").mkdir(parents=True)
    shutil.copy(BUILDNATIVE / "pack" / "vtlpack", tool / "vtlpack")
    shutil.copy(BUILD / "vtlstub.exe", tool / "stubs" / f"vantrel-{WIDTH}.exe")
    shutil.copy(BUILD / "vtlstubw.exe", tool / "stubs" / f"vantrelw-{WIDTH}.exe")

    def pack(text, files=None, name="MyApp.exe"):
        work = tmp_path / "work"
        out = tmp_path / "app"
        work.mkdir(exist_ok=True)
        out.mkdir(exist_ok=True)
        for file_name, content in (files or {}).items():
            (work / file_name).write_bytes(content)
        (work / "app.toml").write_text(text + f'\n[build]\narch = "{WIDTH}"\n', encoding="utf-8")
        exe = out / name
        proc = subprocess.run([str(tool / "vtlpack"), "build", str(work / "app.toml"), "-o", str(exe)],
                              capture_output=True, text=True)
        return proc, exe

    return pack


def resources(pe):
    """{(type, id): data} of every resource, with the language each has."""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for entry in kind.directory.entries:
            for language in entry.directory.entries:
                data = pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                found[(kind.id, entry.id)] = (language.id, data)
    return found


def version_strings(pe):
    return {k.decode(): v.decode() for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
            for table in info.StringTable for k, v in table.entries.items()}


def fixed(pe):
    f = pe.VS_FIXEDFILEINFO[0]
    return (f"{f.FileVersionMS >> 16}.{f.FileVersionMS & 0xFFFF}.{f.FileVersionLS >> 16}.{f.FileVersionLS & 0xFFFF}",
            f"{f.ProductVersionMS >> 16}.{f.ProductVersionMS & 0xFFFF}.{f.ProductVersionLS >> 16}."
            f"{f.ProductVersionLS & 0xFFFF}")


def check_layout(exe, stub):
    """A sound PE: the stub's sections unchanged, the resource section last
    and named by the directory, sizes and checksum right, the block behind
    it. Returns the pefile object."""
    pe = pefile.PE(str(exe))
    original = pefile.PE(str(stub))
    assert pe.FILE_HEADER.Machine == original.FILE_HEADER.Machine
    assert pe.verify_checksum(), "wrong PE checksum"
    rsrc = pe.sections[-1]
    assert rsrc.Name.rstrip(b"\0") == b".rsrc"
    assert len(pe.sections) == len(original.sections) + 1
    for new, old in zip(pe.sections, original.sections):
        assert new.get_data() == old.get_data(), new.Name
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]]
    assert (directory.VirtualAddress, directory.Size) == (rsrc.VirtualAddress, rsrc.Misc_VirtualSize)
    alignment = pe.OPTIONAL_HEADER.SectionAlignment
    assert rsrc.VirtualAddress % alignment == 0
    assert pe.OPTIONAL_HEADER.SizeOfImage == -(-(rsrc.VirtualAddress + rsrc.Misc_VirtualSize) // alignment) * alignment
    assert rsrc.PointerToRawData % pe.OPTIONAL_HEADER.FileAlignment == 0
    image = exe.read_bytes()
    offset = rsrc.PointerToRawData + rsrc.SizeOfRawData
    assert vtlblock.block_offset(image) == offset
    assert struct.unpack_from("<I", image, offset)[0] == vtlblock.MAGIC
    assert not pe.get_warnings(), pe.get_warnings()
    return pe


def probe(wine, exe):
    r = wine.run(TOOLS / "resprobe.exe", wine.winpath(exe))
    return r.rc, r.out.splitlines()


def conrun(wine, *args):
    """The lines a program shows in the console it was started from, and its
    exit code (conrun.exe reports both)."""
    r = wine.run(TOOLS / "conrun.exe", *[wine.winpath(a) if hasattr(a, "parent") else a for a in args],
                 timeout=120)
    assert r.rc == 0, r
    lines = r.out.splitlines()
    assert lines and lines[-1].startswith("exit "), r
    return lines[:-1], int(lines[-1][5:])


MANIFEST_NS = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3",
               "c": "urn:schemas-microsoft-com:compatibility.v1",
               "w5": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
               "w16": "http://schemas.microsoft.com/SMI/2016/WindowsSettings"}


def check_manifest(data, level):
    root = ET.fromstring(data)
    assert root.tag == "{urn:schemas-microsoft-com:asm.v1}assembly"
    assert {e.get("Id") for e in root.findall("c:compatibility/c:application/c:supportedOS", MANIFEST_NS)} \
        == WINDOWS_7_TO_11
    controls = root.find("v1:dependency/v1:dependentAssembly/v1:assemblyIdentity", MANIFEST_NS)
    assert (controls.get("name"), controls.get("version"), controls.get("publicKeyToken")) == \
        ("Microsoft.Windows.Common-Controls", "6.0.0.0", "6595b64144ccf1df")
    settings = root.find("v3:application/v3:windowsSettings", MANIFEST_NS)
    assert settings.find("w5:dpiAware", MANIFEST_NS).text == "true/PM"
    assert settings.find("w16:longPathAware", MANIFEST_NS).text == "true"
    # The block's narrow texts are read in the system's ANSI code page.
    assert b"activeCodePage" not in data
    requested = root.find("v3:trustInfo/v3:security/v3:requestedPrivileges/v3:requestedExecutionLevel",
                          MANIFEST_NS)
    assert (requested.get("level"), requested.get("uiAccess")) == (level, "false")


def test_icon_version_and_manifest_as_windows_reads_them(wine, packer):
    ico, entries = icon([(0, png(256)), (48, bitmap(48)), (16, bitmap(16))])
    proc, exe = packer("""
[application]
main_class = "com.example.Desk"
executable_type = "gui"
icon = "app.ico"
execution_level = "highestAvailable"
[version]
file_version = "2.1.0-SNAPSHOT"
product_version = "2.1"
product_name = "Desk Äpp"
file_description = "A desktop application ☕"
company_name = "Example Ltd"
copyright = "© 2026 Example Ltd"
original_filename = "DeskApp.exe"
internal_name = "desk"
""", {"app.ico": ico})
    assert proc.returncode == 0, proc.stderr
    pe = check_layout(exe, BUILD / "vtlstubw.exe")
    # gui packs the windowed stub.
    assert pe.OPTIONAL_HEADER.Subsystem == SUBSYSTEM_WINDOWS

    found = resources(pe)
    assert {language for language, _ in found.values()} == {0x0409}
    group = found[(RT_GROUP_ICON, 1)][1]
    assert struct.unpack_from("<HHH", group) == (0, 1, 3)
    images = [data for _, data in icon_images(ico)]
    for i, entry in enumerate(entries):
        *fields, image_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        assert tuple(fields) == entry
        assert found[(RT_ICON, image_id)][1] == images[i]
    assert version_strings(pe) == {
        "CompanyName": "Example Ltd", "FileDescription": "A desktop application ☕", "FileVersion": "2.1.0-SNAPSHOT",
        "InternalName": "desk", "LegalCopyright": "© 2026 Example Ltd", "OriginalFilename": "DeskApp.exe",
        "ProductName": "Desk Äpp", "ProductVersion": "2.1"}
    assert fixed(pe) == ("2.1.0.0", "2.1.0.0")
    check_manifest(found[(RT_MANIFEST, 1)][1], "highestAvailable")

    # Windows' own readers.
    rc, lines = probe(wine, exe)
    assert rc == 0, lines
    assert lines[0] == "fixed 2.1.0.0 2.1.0.0"
    assert "translation 040904B0" in lines
    assert "ProductName=Desk Äpp" in lines and "FileDescription=A desktop application ☕" in lines
    assert "LegalCopyright=© 2026 Example Ltd" in lines and "FileVersion=2.1.0-SNAPSHOT" in lines
    assert lines[-2:] == ["icons 1", "large-icon ok"]

    report = subprocess.run([str(BUILDNATIVE / "pack" / "vtlpack"), "inspect", str(exe)], capture_output=True,
                            text=True).stdout
    assert "  subsystem      windows (a windowed program: no console window)\n" in report
    assert "  Icon group 1 (3 images)\n    256x256, 32 bits, PNG, " in report
    assert "    16x16, 32 bits, bitmap, 1128 bytes\n" in report
    assert '  Version        file 2.1.0.0, product 2.1.0.0\n' in report
    assert '    ProductName       "Desk Äpp"\n' in report
    assert "execution level highestAvailable" in report


def icon_images(ico):
    count = struct.unpack_from("<H", ico, 4)[0]
    out = []
    for i in range(count):
        width, *_, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        out.append((width, ico[offset:offset + size]))
    return out


def test_every_executable_carries_a_manifest_and_version_information(wine, packer):
    # A PNG is an icon of one image; nothing else is set.
    logo = png(256)
    proc, exe = packer('[application]\nmain_class = "a.B"\nicon = "logo.png"\n', {"logo.png": logo}, "Plain.exe")
    assert proc.returncode == 0, proc.stderr
    pe = check_layout(exe, BUILD / "vtlstub.exe")
    assert pe.OPTIONAL_HEADER.Subsystem == SUBSYSTEM_CONSOLE
    found = resources(pe)
    assert struct.unpack_from("<HHHBBBBHHIH", found[(RT_GROUP_ICON, 1)][1]) == \
        (0, 1, 1, 0, 0, 0, 0, 1, 32, len(logo), 1)
    assert found[(RT_ICON, 1)][1] == logo
    # The application's name, from the executable's; no version numbers.
    assert version_strings(pe) == {"FileDescription": "Plain", "InternalName": "Plain",
                                   "OriginalFilename": "Plain.exe", "ProductName": "Plain"}
    assert fixed(pe) == ("0.0.0.0", "0.0.0.0")
    check_manifest(found[(RT_MANIFEST, 1)][1], "asInvoker")
    rc, lines = probe(wine, exe)
    assert lines[:2] == ["fixed 0.0.0.0 0.0.0.0", "translation 040904B0"] and "icons 1" in lines, lines
    # The launcher still reads its block, from a console as before.
    r = wine.run(exe, "/help")
    assert (r.rc, r.out) == (0, "Usage: Plain.exe /install | /uninstall | /stop | /start | /status | /run | "
                                "/run-redirect\n")


def test_windowed_commands_print_where_they_were_typed(wine, packer, services):
    name = services.name("win")
    proc, exe = packer(f'[application]\nmain_class = "a.B"\nservice_name = "{name}"\nwindowed = true\n',
                       name="Desk.exe")
    assert proc.returncode == 0, proc.stderr
    assert pefile.PE(str(exe), fast_load=True).OPTIONAL_HEADER.Subsystem == SUBSYSTEM_WINDOWS
    usage = "Usage: Desk.exe /install | /uninstall | /stop | /start | /status | /run | /run-redirect"

    # Typed in a prompt: the windowed executable attaches to that console.
    assert conrun(wine, exe, "/status") == (["Could not get status."], 1)
    assert conrun(wine, exe, "/install") == ([f"Installed service '{name}'."], 0)
    assert conrun(wine, exe, "/status") == (["Not running."], 3)
    assert conrun(wine, exe, "/help") == ([usage], 0)
    assert conrun(wine, exe) == ([usage], 1)  # no command word: the usage on standard error
    # Started without a console (from Explorer, a shortcut): the same exit
    # codes, and nothing written anywhere.
    assert conrun(wine, "--no-console", exe, "/status") == ([], 3)
    # Output redirected by the caller goes where it was sent.
    r = wine.run(exe, "/status")
    assert (r.rc, r.out) == (3, "Not running.\n")
    assert conrun(wine, exe, "/uninstall") == (["Service is already stopped.", f"Uninstalled service '{name}'."], 0)


CUT = icon([(16, bitmap(16))])[0]


@pytest.mark.parametrize("files, setting, words", [
    ({"a.ico": CUT[:30]}, 'icon = "a.ico"',
     "the icon 'a.ico' is cut off or damaged: image 1 (16x16) lies at offset 22 with 1128 bytes, past the end of "
     "the file (30 bytes)"),
    ({"a.ico": CUT[:12]}, 'icon = "a.ico"',
     "the icon 'a.ico' is cut off: its directory of 1 images needs 22 bytes, the file has 12"),
    ({"a.ico": struct.pack("<HHH", 0, 1, 0)}, 'icon = "a.ico"', "the icon 'a.ico' holds no image"),
    ({"a.ico": struct.pack("<HHH", 0, 1, 65) + bytes(16 * 65)}, 'icon = "a.ico"',
     "the icon 'a.ico' counts 65 images; an icon may have at most 64"),
    ({"a.ico": CUT[:18] + struct.pack("<I", 9999) + CUT[22:]}, 'icon = "a.ico"',
     "image 1 (16x16) lies at offset 9999 with 1128 bytes, past the end of the file"),
    ({"a.ico": struct.pack("<HHH", 0, 2, 1) + bytes(16)}, 'icon = "a.ico"', "the icon 'a.ico' is a cursor file"),
    ({"a.ico": b"GIF89a" + bytes(100)}, 'icon = "a.ico"',
     "the icon 'a.ico' is neither a Windows icon file (.ico) nor a PNG image"),
    ({"a.png": png(16)[:-5]}, 'icon = "a.png"', "the icon 'a.png' is a PNG image that is cut off"),
    ({"a.png": png(300)}, 'icon = "a.png"', "is a PNG image that is 300x300 pixels; icon images are 1 to 256"),
    ({"a.ico": bytes(16 * 1024 * 1024 + 1)}, 'icon = "a.ico"',
     "the icon 'a.ico' has 16777217 bytes; an icon may have at most 16777216"),
    ({}, 'icon = "missing.ico"', "the icon 'missing.ico' was not found"),
    ({}, '[version]\nfile_version = "4.70000"', "'4.70000' has a number above 65535"),
    ({}, '[version]\nproduct_version = "snapshot"', "'snapshot' does not start with a number"),
    ({}, '[version]\ncopyright = "line\\nbreak"', "version.copyright contains a control character"),
    ({}, f'[version]\nproduct_name = "{"x" * 1001}"', "is 1001 characters long; version texts may have at most 1000"),
])
def test_bad_icons_and_versions_are_refused_and_nothing_is_written(packer, files, setting, words):
    proc, exe = packer('[application]\nmain_class = "a.B"\n' + setting, files)
    assert proc.returncode == 1, proc.stderr
    assert words in proc.stderr, proc.stderr
    assert "nothing written" in proc.stderr
    assert os.listdir(exe.parent) == []
