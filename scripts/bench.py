#!/usr/bin/env python3
"""Speed and size figures of the launcher, one figure a line.

Run with `bash scripts/bench.sh` after a build. Everything runs on this
machine under wine64 with the x86_64 build and the recording test runtime,
whose jvm.dll measures the time from process creation to the
JNI_CreateJavaVM call."""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "integration"))
sys.path.insert(0, str(ROOT / "testrt"))
import vtlblock  # noqa: E402
from homes import make_home, winpath  # noqa: E402

# Absolute, so tests that run programs from another directory still find them.
BUILD64 = Path(os.environ.get("VTL_BUILD_WIN64", ROOT / "build" / "win64")).resolve()
WINE64 = str(ROOT / "scripts" / "wine64")  # see the script for why
RUNS = int(os.environ.get("VTL_BENCH_RUNS", "9"))
ENV = dict(os.environ, WINEDEBUG="-all", WINEPREFIX=os.environ.get("WINEPREFIX", str(ROOT / "build" / "wineprefix")))
ENV.pop("VANTREL_LOG", None)
ENV.pop("MORLIN_LOG", None)
ENV.pop("DISPLAY", None)


def run(*cmd, check=True):
    p = subprocess.run([WINE64, *map(str, cmd)], env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if check and p.returncode != 0:
        raise SystemExit(f"bench: {cmd} failed with {p.returncode}: {p.stderr.decode(errors='replace')}")
    return p


def startup_us(home):
    values = [int(e.args[0]) for e in home.trace() if e.name == "startup-us"] if home.trace_path.exists() else []
    return values[-1] if values else None


def median_startup(home, cmd, before=None):
    samples = []
    for _ in range(RUNS):
        if before:
            before()
        home.clear_trace()
        run(*cmd)
        samples.append(startup_us(home))
    return statistics.median(samples) / 1000.0


def clear_cache():
    run("reg.exe", "delete", "HKCU\\SOFTWARE\\brevane\\morlin\\jvms", "/f", check=False)


def pack(directory, config, files=None, name="bench.exe"):
    directory.mkdir(parents=True, exist_ok=True)
    out = directory / name
    vtlblock.pack(BUILD64 / "vtlstub.exe", out, vtlblock.build_block(config, {1000: "Error"}, None, files))
    return out


def base_config(home):
    return {101: "bench", 107: "4", 2001: "m", 122: "com.example.Main", 128: "B" + home.winpath()}


JAVASOFT = "HKLM\\SOFTWARE\\JavaSoft\\Java Runtime Environment"
TEMURIN = "HKLM\\SOFTWARE\\Eclipse Adoptium"


def registry_search(work, home, direct):
    """The registry entry (Y) on a Java 8-era machine (a JavaSoft
    registration) and on a current one (only a Temurin MSI registration),
    both with a warm version cache."""
    cfg = base_config(home)
    cfg[128] = "Y"
    exe = pack(work / "registry", cfg)
    try:
        run("reg.exe", "add", JAVASOFT + "\\1.8.0_121", "/v", "JavaHome", "/d", home.winpath(), "/f")
        run(exe, "/run")
        ms = median_startup(home, [exe, "/run"])
        print(f"registry search, JavaSoft registration: {ms:.2f} ms to JNI_CreateJavaVM "
              f"({ms - direct:+.2f} ms over a B entry)")
        run("reg.exe", "delete", JAVASOFT, "/f")
        run("reg.exe", "add", TEMURIN + "\\JDK\\17.0.10.7\\hotspot\\MSI", "/v", "Path", "/d",
            home.winpath() + "\\", "/f")
        if run(exe, "/run", check=False).returncode != 0:
            print("registry search, Temurin registration only: no runtime found")
            return
        ms = median_startup(home, [exe, "/run"])
        print(f"registry search, Temurin registration only: {ms:.2f} ms to JNI_CreateJavaVM "
              f"({ms - direct:+.2f} ms over a B entry)")
    finally:
        run("reg.exe", "delete", JAVASOFT, "/f", check=False)
        run("reg.exe", "delete", TEMURIN, "/f", check=False)


H2_JAR = Path("/usr/share/java/h2.jar")
H2_QUERY = ["-url", "jdbc:h2:mem:bench", "-user", "sa", "-sql", "SELECT COUNT(*) FROM INFORMATION_SCHEMA.TABLES"]


def host_jdk(feature):
    """A host JDK of this feature version under /usr/lib/jvm, or None."""
    for release in sorted(Path("/usr/lib/jvm").glob("*/release")):
        for line in release.read_text(errors="replace").splitlines():
            if line.startswith('JAVA_VERSION="') and line[len('JAVA_VERSION="'):].split(".")[0].rstrip('"') == str(feature):
                java = release.parent / "bin" / "java"
                if java.exists():
                    return java
    return None


def class_data_sharing(work):
    """The H2 shell running one query, through the launcher and the host-JVM
    runtime: class-data sharing off against auto from the second start on,
    for each host JDK there is. The VM's part is the host VM's own run time
    (the stand-in runtime's wrapper records it); java -cp is the same
    application started by the JDK's own launcher."""
    home = BUILD64 / "hostjvm" / "home"
    runtime_jar = ROOT / "build" / "native" / "runtime" / "vtlruntime.jar"
    helper = BUILD64 / "runtime" / "vtlinst" / "vtlinst.dll"
    missing = [p for p in (H2_JAR, home / "bin" / "server" / "jvm.dll", runtime_jar, helper) if not p.exists()]
    if missing:
        print(f"class-data sharing: skipped ({', '.join(map(str, missing))} missing)")
        return
    envrun = BUILD64 / "tests" / "envrun.exe"
    query = " ".join(f'"{a}"' if " " in a else a for a in H2_QUERY)
    for feature in (17, 25):
        java = host_jdk(feature)
        if java is None:
            print(f"class-data sharing, Java {feature}: skipped (no such JDK under /usr/lib/jvm)")
            continue
        base = work / f"cds{feature}"
        app = base / "app"
        (app / "lib").mkdir(parents=True)
        (app / ".vantrel").mkdir()
        shutil.copyfile(H2_JAR, app / "lib" / "h2.jar")
        shutil.copyfile(runtime_jar, app / ".vantrel" / "vtlruntime.jar")
        shutil.copyfile(helper, app / ".vantrel" / "vtlinst.dll")
        jdk = base / "jdk"  # a home of its own: the version cache knows a runtime by its java.exe
        shutil.copytree(home, jdk, symlinks=True)
        cache = base / "LocalAppData"
        cache.mkdir()
        times = base / "vm-times.txt"
        env = dict(ENV, VTL_HOST_JAVA=str(java), VTL_HOSTJVM_TIMES=str(times))
        config = {107: "4", 2001: "v", 10003: ".", 122: "org.h2.tools.Shell", 121: "A1lib\\h2.jar", 124: query,
                  128: "B" + winpath(jdk), 123: "-Xmx128m"}
        figures = {}
        for mode, value in (("off", "0"), ("auto", "1")):
            exe = pack(app, {**config, 190: value}, name=f"h2{mode}.exe")
            cmd = [WINE64, str(envrun), f"LOCALAPPDATA={winpath(cache)}", "--", str(exe), "/run"]
            first = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            if first.returncode != 0 or b"COUNT(*)" not in first.stdout:
                print(f"class-data sharing, Java {feature}: the H2 shell failed ({first.returncode}): "
                      f"{first.stderr.decode(errors='replace')[-300:]}")
                break
            if mode == "auto":
                subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)  # moves it into place
            times.write_text("")
            walls = []
            for _ in range(RUNS):
                start = time.perf_counter()
                subprocess.run(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                walls.append((time.perf_counter() - start) * 1000)
            vm = [int(line) for line in times.read_text().split()]
            figures[mode] = (statistics.median(walls), statistics.median(vm))
        if len(figures) != 2:
            continue
        direct = []
        for _ in range(RUNS):
            start = time.perf_counter()
            subprocess.run([str(java), "-Xmx128m", "-cp", str(H2_JAR), "org.h2.tools.Shell", *H2_QUERY],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=dict(os.environ, LC_ALL="C.UTF-8"))
            direct.append((time.perf_counter() - start) * 1000)
        files = [f for f in cache.rglob("java*") if f.suffix in (".jsa", ".aot")]
        size = sum(f.stat().st_size for f in files) / 1e6
        (off_wall, off_vm), (auto_wall, auto_vm) = figures["off"], figures["auto"]
        goal = 2.2 if feature >= 25 else 1.8
        print(f"class-data sharing, Java {feature}, H2 shell with one query: the VM's part {off_vm:.0f} ms off, "
              f"{auto_vm:.0f} ms auto (ratio {off_vm / auto_vm:.2f}; goal >= {goal}); the whole start through "
              f"the launcher and the stand-in runtime {off_wall:.0f} ms off, {auto_wall:.0f} ms auto (ratio "
              f"{off_wall / auto_wall:.2f}); java -cp {statistics.median(direct):.0f} ms; archive {size:.1f} MB")


def main():
    work = Path(tempfile.mkdtemp(prefix="vtlbench-"))
    try:
        home = make_home(work / "jre", version_line='java version "1.8.0_121"', vm_types=("server",))
        exe = pack(work / "app", base_config(home))
        jvm = home.jvm_dlls()[0]

        baseline = median_startup(home, [BUILD64 / "tests" / "loadcall.exe", winpath(jvm)])
        print(f"baseline: load jvm.dll and call it: {baseline:.2f} ms to JNI_CreateJavaVM")
        registry = median_startup(home, [BUILD64 / "tests" / "loadcall_registry.exe", winpath(jvm)])
        print(f"baseline with one registry read (advapi32 loaded): {registry:.2f} ms to JNI_CreateJavaVM")
        run(exe, "/run")  # fill the version cache
        warm = median_startup(home, [exe, "/run"])
        print(f"launcher, warm version cache: {warm:.2f} ms to JNI_CreateJavaVM "
              f"({warm - baseline:+.2f} ms over the baseline, {warm - registry:+.2f} ms over the one with "
              f"the registry read; goal < 5 ms)")
        cold = median_startup(home, [exe, "/run"], before=clear_cache)
        print(f"launcher, cold version cache: {cold:.2f} ms to JNI_CreateJavaVM "
              f"({cold - baseline:+.2f} ms, including one java -version run)")

        registry_search(work, home, warm)

        for count in (0, 1000, 10000):
            lib = work / f"scan{count}" / "lib"
            lib.mkdir(parents=True)
            for i in range(count):
                (lib / f"a{i:05d}.jar").write_bytes(b"")
            cfg = base_config(home)
            cfg[121] = "S0lib"
            scan_exe = pack(work / f"scan{count}", cfg)
            run(scan_exe, "/run")
            ms = median_startup(home, [scan_exe, "/run"])
            if count == 0:
                empty = ms
                print(f"class path scan of an empty folder: {ms:.2f} ms to JNI_CreateJavaVM")
            else:
                print(f"class path scan of {count} archives: {ms:.2f} ms to JNI_CreateJavaVM "
                      f"({(ms - empty) * 1000 / count:.1f} us per archive)")

        size = 100 * 1024 * 1024
        payload = os.urandom(1024 * 1024) * 100
        big_dir = work / "big"
        cfg = base_config(home)
        cfg.update({2002: "1", 2003: "payload.bin"})
        big = pack(big_dir, cfg, files=[payload])
        small = pack(work / "small", base_config(home))
        tempbase = work / "tempbase"
        tempbase.mkdir()
        envrun = BUILD64 / "tests" / "envrun.exe"
        tmpvars = [f"TMP={winpath(tempbase)}", f"TEMP={winpath(tempbase)}"]

        def timed(exe_path):
            start = time.perf_counter()
            run(envrun, *tmpvars, "--", exe_path, "/run")
            return time.perf_counter() - start

        with_payload, without = [], []
        for _ in range(5):
            with_payload.append(timed(big))
            without.append(timed(small))
            for d in tempbase.iterdir():
                shutil.rmtree(d, ignore_errors=True) if d.is_dir() else d.unlink()
        extract_s = statistics.median(with_payload) - statistics.median(without)
        src = work / "payload.bin"
        src.write_bytes(payload)
        cp_times = []
        for i in range(3):
            dst = work / f"copy{i}.bin"
            start = time.perf_counter()
            subprocess.run(["cp", str(src), str(dst)], check=True)
            cp_times.append(time.perf_counter() - start)
            dst.unlink()
        cp_s = statistics.median(cp_times)
        mbps = size / extract_s / 1e6 if extract_s > 0 else float("inf")
        cp_mbps = size / cp_s / 1e6
        print(f"extraction of a 100 MB payload: {mbps:.0f} MB/s against cp {cp_mbps:.0f} MB/s "
              f"({100 * mbps / cp_mbps:.0f}% of cp; goal >= 70%)")
        # The extraction copies through one 6000-byte buffer; the same bare
        # loop at that size and at 64 KiB shows what the chunk size costs.
        for chunk in (6000, 65536):
            samples = []
            for i in range(3):
                dst = work / f"chunk{i}.bin"
                out = run(BUILD64 / "tests" / "chunkcopy.exe", winpath(src), winpath(dst), chunk).stdout.decode()
                samples.append(int(out.split()[1]) / 1e6)
                dst.unlink()
            loop_mbps = size / statistics.median(samples) / 1e6
            print(f"bare ReadFile/WriteFile loop, {chunk}-byte chunks: {loop_mbps:.0f} MB/s "
                  f"({100 * loop_mbps / cp_mbps:.0f}% of cp)")

        class_data_sharing(work)

        for arch in ("i686", "x86_64"):
            stub = ROOT / "dist" / "stubs" / f"vantrel-{arch}.exe"
            if stub.exists():
                print(f"stub size {arch}: {stub.stat().st_size / 1024:.0f} KB stripped (goal < 250 KB)")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
