"""Code signing: a signed launcher still finds its block, also one with an
icon and version information, and the packing tool refuses (or cleanly
strips) a stub that is already signed."""
import shutil
import struct
import subprocess
import zlib

import pefile

import pytest

from vtltest import BUILD, BUILDNATIVE

USAGE = "Usage: app.exe /install | /uninstall | /stop | /start | /status | /run | /run-redirect\n"

PROJECT = """
[application]
main_class = "com.example.Main"
service_name = "SignedApp"
"""


@pytest.fixture(scope="module")
def certificate(tmp_path_factory):
    d = tmp_path_factory.mktemp("cert")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Vantrel Test Signing", "-keyout", str(d / "key.pem"),
                    "-out", str(d / "cert.pem")], check=True, capture_output=True)
    return d / "cert.pem", d / "key.pem"


def sign(certificate, source, target):
    cert, key = certificate
    subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key), "-n", "Vantrel test",
                    "-in", str(source), "-out", str(target)], check=True, capture_output=True)


def vtlpack():
    tool = BUILDNATIVE / "pack" / "vtlpack"
    if not tool.exists():
        pytest.fail(f"no packing tool at {tool}")
    return tool


def test_signed_launcher_still_reads_its_block(wine, make_launcher, certificate, tmp_path):
    exe = make_launcher({101: "svc"})
    signed = tmp_path / "signed" / "app.exe"
    signed.parent.mkdir()
    sign(certificate, exe, signed)
    assert signed.stat().st_size > exe.stat().st_size
    verify = subprocess.run(["osslsigncode", "verify", "-CAfile", str(certificate[0]), "-in", str(signed)],
                            capture_output=True, text=True)
    assert verify.returncode == 0, verify.stdout + verify.stderr
    r = wine.run(signed, "/help")
    assert (r.rc, r.out) == (0, USAGE)


def test_packing_tool_refuses_a_signed_stub_and_can_strip_it(wine, certificate, tmp_path):
    stub = tmp_path / "stub.exe"
    signed_stub = tmp_path / "signed-stub.exe"
    shutil.copy(BUILD / "vtlstub.exe", stub)
    sign(certificate, stub, signed_stub)
    project = tmp_path / "app.toml"
    project.write_text(PROJECT)
    out = tmp_path / "out" / "app.exe"
    out.parent.mkdir()

    refused = subprocess.run([str(vtlpack()), "build", str(project), "-o", str(out), "--stub", str(signed_stub)],
                             capture_output=True, text=True)
    assert refused.returncode != 0
    assert "sign" in refused.stderr.lower()
    assert not out.exists()

    stripped = subprocess.run([str(vtlpack()), "build", str(project), "-o", str(out), "--stub", str(signed_stub),
                               "--strip-signature"], capture_output=True, text=True)
    assert stripped.returncode == 0, stripped.stderr
    r = wine.run(out, "/help")
    assert (r.rc, r.out) == (0, USAGE)
    # The packed result can be signed again and still works.
    resigned = tmp_path / "resigned" / "app.exe"
    resigned.parent.mkdir()
    sign(certificate, out, resigned)
    assert wine.run(resigned, "/help").out == USAGE


def test_packed_executable_with_icon_and_version_signs_and_verifies(wine, certificate, tmp_path):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    rows = b"".join(b"\x00" + b"\x10\x60\xc0\xff" * 256 for _ in range(256))
    header = chunk(b"IHDR", struct.pack(">IIBBBBB", 256, 256, 8, 6, 0, 0, 0))
    (tmp_path / "app.png").write_bytes(b"\x89PNG\r\n\x1a\n" + header + chunk(b"IDAT", zlib.compress(rows))
                                       + chunk(b"IEND", b""))
    project = tmp_path / "app.toml"
    project.write_text(PROJECT + 'icon = "app.png"\n[version]\nfile_version = "4.5.6"\nproduct_name = "Signed"\n')
    packed = tmp_path / "packed" / "app.exe"
    packed.parent.mkdir()
    r = subprocess.run([str(vtlpack()), "build", str(project), "-o", str(packed), "--stub",
                        str(BUILD / "vtlstub.exe")], capture_output=True, text=True)
    assert r.returncode == 0, r.stderr
    signed = tmp_path / "signed" / "app.exe"
    signed.parent.mkdir()
    sign(certificate, packed, signed)
    verify = subprocess.run(["osslsigncode", "verify", "-CAfile", str(certificate[0]), "-in", str(signed)],
                            capture_output=True, text=True)
    assert verify.returncode == 0, verify.stdout + verify.stderr
    pe = pefile.PE(str(signed))
    assert pe.verify_checksum()
    strings = {k.decode(): v.decode() for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
               for table in info.StringTable for k, v in table.entries.items()}
    assert (strings["ProductName"], strings["FileVersion"]) == ("Signed", "4.5.6")
    assert wine.run(signed, "/help").out == USAGE
    probe = wine.run(BUILD / "tests" / "resprobe.exe", wine.winpath(signed))
    assert "fixed 4.5.6.0 4.5.6.0" in probe.out and "icons 1" in probe.out, probe
