"""The Maven plugin (maven/), built once for this module with a real offline
Maven against Debian's repository and used by the projects in maven/tests:
the sample application is packed by "mvn package" into a windowed executable
with an icon and the POM's version information, and then runs and serves
under Wine on the host JVM; wrong configurations fail the build with their
messages; and the plugin writes the very bytes vtlpack writes for the same
configuration, resources included."""
import os
import shutil
import struct
import subprocess
import zipfile
from pathlib import Path

import pefile
import pytest

from svc_helpers import keepalive, services, wait_for  # noqa: F401
from vtltest import BUILD, ROOT, WIDTH

MAVEN = ROOT / "maven"
PROJECTS = MAVEN / "tests"
DIST = ROOT / "dist"
HOSTJVM_HOME = BUILD / "hostjvm" / "home"
PLUGIN_VERSION = "1.0.0"
OTHER_SEARCH_VARIABLES = ["JAVA_HOME", "JDK_HOME", "MORLIN_JAVA_HOME", "VANTREL_JAVA_HOME"]


def mvn(pom, repository, *args, timeout=600):
    """Runs Maven offline on Debian's repository; returns (exit code, output)."""
    cmd = ["mvn", "-B", "-o", "-s", str(MAVEN / "offline-settings.xml"), "-Daether.offline.protocols=file",
           f"-Dmaven.repo.local={repository}", "-f", str(pom), *args]
    env = {k: v for k, v in os.environ.items() if not k.startswith("MAVEN_")}
    proc = subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          env=env, timeout=timeout)
    return proc.returncode, proc.stdout.decode("utf-8", errors="replace")


@pytest.fixture(scope="module")
def repository(tmp_path_factory):
    """A local repository holding the plugin, built and installed from maven/
    with the launcher products of dist/."""
    needed = [DIST / "stubs" / "vantrel-x86_64.exe", DIST / "stubs" / "vantrel-i686.exe",
              DIST / "stubs" / "vantrelw-x86_64.exe", DIST / "stubs" / "vantrelw-i686.exe",
              DIST / "runtime" / "vtlruntime.jar", DIST / "runtime" / "x86_64" / "vtlinst.dll",
              DIST / "runtime" / "i686" / "vtlinst.dll", DIST / "catalogue.tsv", DIST / "vtlpack"]
    for path in needed:
        if not path.exists():
            pytest.fail(f"{path} is missing; run scripts/build.sh first")
    work = tmp_path_factory.mktemp("maven")
    repo = work / "repository"
    rc, out = mvn(MAVEN / "pom.xml", repo, f"-Dvantrel.dist={DIST}", f"-Dvantrel.buildDirectory={work / 'plugin'}",
                  "install")
    assert rc == 0, out[-4000:]
    jar = repo / "org" / "vantrel" / "vantrel-maven-plugin" / PLUGIN_VERSION / f"vantrel-maven-plugin-{PLUGIN_VERSION}.jar"
    with zipfile.ZipFile(jar) as z:
        for product in ("stubs/vantrel-x86_64.exe", "stubs/vantrel-i686.exe", "stubs/vantrelw-x86_64.exe",
                        "stubs/vantrelw-i686.exe", "runtime/vtlruntime.jar",
                        "runtime/i686/vtlinst.dll", "runtime/x86_64/vtlinst.dll", "catalogue.tsv"):
            assert z.read("vantrel/" + product) == (DIST / product).read_bytes(), product
    return repo


def copy_project(name, tmp_path):
    target = tmp_path / name
    shutil.copytree(PROJECTS / name, target)
    return target


def test_sample_project_runs_and_serves_under_wine(wine, repository, services, tmp_path):
    sample = copy_project("sample", tmp_path)
    name = services.name("mvn")
    rc, out = mvn(sample / "pom.xml", repository, f"-Dsample.runtime={HOSTJVM_HOME}",
                  f"-Dsample.serviceName={name}", f"-Dsample.arch={WIDTH}", "package")
    assert rc == 0, out[-4000:]

    app = sample / "target" / "vantrel" / "greeter"
    exe = app / "greeter.exe"
    files = sorted(str(p.relative_to(app)) for p in app.rglob("*") if p.is_file() and "jre" not in p.parts)
    assert files == [".vantrel/vtlinst.dll", ".vantrel/vtlruntime.jar", "greeter.exe",
                     "lib/commons-lang3-3.12.0.jar", "lib/greeter-1.0.jar"]
    assert (app / ".vantrel" / "vtlinst.dll").read_bytes() == (DIST / "runtime" / WIDTH / "vtlinst.dll").read_bytes()
    assert (app / "jre" / "bin" / "server" / "jvm.dll").is_file()
    with zipfile.ZipFile(sample / "target" / "vantrel" / "greeter.zip") as z:
        zipped = {n for n in z.namelist() if not n.endswith("/")}
        assert {"greeter/" + f for f in files} <= zipped
        assert z.read("greeter/greeter.exe") == exe.read_bytes()

    # A windowed executable with the POM's icon and version information.
    pe = pefile.PE(str(exe))
    assert pe.OPTIONAL_HEADER.Subsystem == 2
    assert pe.verify_checksum()
    strings = {k.decode(): v.decode() for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
               for table in info.StringTable for k, v in table.entries.items()}
    assert strings == {"CompanyName": "Example Ltd", "FileDescription": "Says hello, in the foreground and as a "
                       "service.", "FileVersion": "1.0", "InternalName": "greeter", "OriginalFilename": "greeter.exe",
                       "ProductName": "Greeter", "ProductVersion": "1.0"}
    assert pe.VS_FIXEDFILEINFO[0].FileVersionMS == 0x10000 and pe.VS_FIXEDFILEINFO[0].FileVersionLS == 0
    icon = (sample / "src" / "main" / "icon" / "greeter.ico").read_bytes()
    groups = [e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == 14]
    group = groups[0].directory.entries[0].directory.entries[0].data.struct
    data = pe.get_data(group.OffsetToData, group.Size)
    count = struct.unpack_from("<H", icon, 4)[0]
    assert data[:6] == icon[:6]
    for i in range(count):  # each image as the icon file describes it
        assert data[6 + 14 * i:6 + 14 * i + 12] == icon[6 + 16 * i:6 + 16 * i + 12]

    # The bundled runtime is found beside the executable; nothing else may help.
    r = wine.run(exe, "/run", "maven", "user", unset=OTHER_SEARCH_VARIABLES, cwd=app, timeout=120)
    assert (r.rc, r.out) == (0, "Hello there, Maven user! (resu nevam)\n"), r

    heartbeat = app / "heartbeat.log"
    r = wine.run(exe, "/install")
    assert (r.rc, r.out) == (0, f"Installed service '{name}'.\n"), r
    assert services.description(name) == "Greeter: a sample application packed by Maven."
    r = wine.run(exe, "/start")
    assert (r.rc, r.out) == (0, f"Starting service '{name}'.\n"), r
    wait_for(lambda: heartbeat.exists() and "beat 2" in heartbeat.read_text(), 60, "the service's heartbeat")
    r = wine.run(exe, "/status")
    assert (r.rc, r.out.splitlines()[0]) == (0, "Running."), r
    # Typed in a prompt, the windowed executable prints in that console.
    r = wine.run(BUILD / "tests" / "conrun.exe", wine.winpath(exe), "/status")
    assert (r.rc, r.out) == (0, "Running.\nexit 0\n"), r
    r = wine.run(exe, "/stop", timeout=120)
    assert (r.rc, r.out) == (0, f"Stopping service '{name}'.\nService stopped\n"), r
    assert heartbeat.read_text().splitlines()[-1] == "stopped"
    r = wine.run(exe, "/status")
    assert (r.rc, r.out.splitlines()[0]) == (3, "Not running."), r
    r = wine.run(exe, "/uninstall")
    assert (r.rc, r.out) == (0, f"Service is already stopped.\nUninstalled service '{name}'.\n"), r


def test_configuration_errors_fail_the_build_and_write_nothing(repository, tmp_path):
    errors = copy_project("errors", tmp_path)
    # An earlier build's folder must stay as it was when the next one fails.
    earlier = errors / "unsafe-name" / "target" / "vantrel" / "unsafe-name" / "unsafe-name.exe"
    earlier.parent.mkdir(parents=True)
    earlier.write_bytes(b"earlier build")
    rc, out = mvn(errors / "pom.xml", repository, "-fae", "-Dlong.argument=" + "x" * 2000, "package")
    assert rc != 0, out[-4000:]
    expected = {
        "missing-main": "vantrel: mainClass: is not set; add <mainClass>com.example.Main</mainClass>",
        "too-long": "vantrel: arguments: is 2000 characters long; the launcher reads at most 1999 of it",
        "unsafe-name": "vantrel: files[0].name: '..\\escape.xml' contains '..'; embedded files stay inside the "
                       "temporary directory",
        "unknown-search": 'vantrel: search[0]: unknown type "bundeld"; did you mean "bundled"?',
        "bad-icon": f"vantrel: icon: the icon {errors / 'bad-icon' / 'pom.xml'} is neither a Windows icon file "
                    "(.ico) nor a PNG image",
        "bad-version": "vantrel: versionInfo.fileVersion: '1.70000' has a number above 65535",
        "unknown-restart": 'vantrel: restart: "on_failure" is unknown; did you mean "on-failure"?',
    }
    for module, message in expected.items():
        assert f"[ERROR] {message}" in out, (module, out[-6000:])
        assert f"[ERROR] Failed to execute goal org.vantrel:vantrel-maven-plugin:{PLUGIN_VERSION}:pack (default) on " \
               f"project {module}: vantrel: 1 configuration problem; nothing written" in out, (module, out[-6000:])
    assert not (errors / "missing-main" / "target" / "vantrel").exists()
    assert not (errors / "too-long" / "target" / "vantrel").exists()
    assert not (errors / "unknown-search" / "target" / "vantrel").exists()
    assert not (errors / "bad-icon" / "target" / "vantrel").exists()
    assert not (errors / "bad-version" / "target" / "vantrel").exists()
    assert not (errors / "unknown-restart" / "target" / "vantrel").exists()
    assert sorted(p.name for p in (errors / "unsafe-name" / "target" / "vantrel").iterdir()) == ["unsafe-name"]
    assert earlier.read_bytes() == b"earlier build"


def inspect(exe):
    r = subprocess.run([str(DIST / "vtlpack"), "inspect", str(exe)], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert r.returncode == 0, r.stderr.decode()
    # The report names the file it read; the rest must match line for line.
    return r.stdout.decode("utf-8").replace(str(exe), "EXE").splitlines()


def test_plugin_and_vtlpack_write_the_same_executable(repository, tmp_path):
    """The POM packs twice, on the x86_64 stub and on the i686 stub without
    the default translations; vtlpack packs its twin project file for both."""
    twin = copy_project("twin", tmp_path)
    # A jar left over from an earlier build must not stay in lib/.
    stale = twin / "target" / "vantrel" / "Twin" / "lib" / "commons-lang3-3.11.jar"
    stale.parent.mkdir(parents=True)
    stale.write_bytes(b"earlier build")
    rc, out = mvn(twin / "pom.xml", repository, "package")
    assert rc == 0, out[-4000:]
    assert sorted(p.name for p in stale.parent.iterdir()) == ["commons-lang3-3.12.0.jar", "twin-1.0.jar"]
    assert sorted(p.name for p in (twin / "target" / "vantrel").iterdir()) == ["Twin", "Twin32"]
    for name, arch, options in (("Twin", "x86_64", []), ("Twin32", "i686", ["--no-default-translations"])):
        folder = twin / "target" / "vantrel" / name
        from_maven = folder / f"{name}.exe"
        from_vtlpack = tmp_path / f"{name}-vtlpack.exe"
        r = subprocess.run([str(DIST / "vtlpack"), "build", str(twin / "twin.toml"), "-o", str(from_vtlpack),
                            "--arch", arch, *options], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        assert r.returncode == 0, r.stderr.decode()

        report = inspect(from_maven)
        assert report == inspect(from_vtlpack), arch
        # The configuration really is the rich one of the POM.
        for line in ("TwinService", "EXTRA_CP", "notes.txt", "Twin needs Java 11 to 21", "D Hauptklass"):
            assert any(line in l for l in report), line
        assert any(l.split() == ["170", "service.stop_timeout", '"45"'] for l in report), "stop timeout"
        # ... and so are the resources, on the windowed stub.
        for line in ("  subsystem      windows (a windowed program: no console window)",
                     "  Icon group 1 (3 images)", "  Version        file 3.2.1.0, product 3.2.0.0",
                     '    ProductName       "Twin Äpp"', '    LegalCopyright    "© 2026 Example Ltd"'):
            assert line in report, line
        assert any(l.endswith("execution level requireAdministrator") for l in report), report
        assert any(l.split() == ["190", "jvm.class_data_sharing", '"1"'] for l in report), "class-data sharing"
        unattended = {"171": '"on-failure"', "172": '"5"', "173": '"120"', "174": '"900"', "175": '"7"',
                      "176": '"restart 60;restart 300;none"', "177": '"3600"', "178": '"delayed-auto"',
                      "179": '"NT SERVICE\\\\TwinService"', "180": '"logs\\\\twin-service.log"',
                      "181": '"524288"', "182": '"3"', "183": '"10485760"', "184": '"4"'}
        shown = {l.split()[0]: l[l.index('"'):] for l in report if l.split() and l.split()[0] in unattended}
        assert shown == unattended, shown
        # Without the defaults only the project's own texts remain in "de".
        assert any(l.startswith('Language section "de" (1 messages)') for l in report) == bool(options), arch
        assert from_maven.read_bytes() == from_vtlpack.read_bytes(), arch
        helper = DIST / "runtime" / arch / "vtlinst.dll"
        assert (folder / ".vantrel" / "vtlinst.dll").read_bytes() == helper.read_bytes(), arch
