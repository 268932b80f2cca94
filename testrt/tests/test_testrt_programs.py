"""The test runtime's java.exe and unpack200.exe, and the homes the
generator builds from them."""
import homes


class TestJavaExe:
    def test_version_line_exit_code_and_record(self, wine, tmp_path):
        home = homes.make_home(tmp_path / "jre", version_line='openjdk version "17.0.2" 2022-01-18', exit_code=3)
        run = wine(home.java_exe, "-version")
        assert run.rc == 3
        assert run.err == 'openjdk version "17.0.2" 2022-01-18\n'
        assert run.out == ""
        wine(home.java_exe, "-version")
        runs = home.java_runs()
        assert len(runs) == 2
        assert all(r.endswith(" -version") and "java.exe" in r for r in runs)

    def test_option_notices_come_first_and_the_line_end_is_configurable(self, wine, tmp_path):
        home = homes.make_home(tmp_path / "jre", version_line='openjdk version "21.0.2" 2024-01-16')
        run = wine(home.java_exe, "-version", env={"JAVA_TOOL_OPTIONS": "-Da=1", "JDK_JAVA_OPTIONS": "-Db=2"})
        assert run.err.splitlines() == ["NOTE: Picked up JDK_JAVA_OPTIONS: -Db=2", "Picked up JAVA_TOOL_OPTIONS: -Da=1",
                                        'openjdk version "21.0.2" 2024-01-16']
        home.set_java('java version "1.8.0_121"', line_end="")
        assert wine(home.java_exe, "-version").err == 'java version "1.8.0_121"'

    def test_empty_version_line_prints_nothing(self, wine, tmp_path):
        home = homes.make_home(tmp_path / "jre", version_line="")
        run = wine(home.java_exe, "-version")
        assert (run.rc, run.err) == (0, "")

    def test_delay(self, wine, tmp_path):
        home = homes.make_home(tmp_path / "jre", delay_ms=1500)
        quick = wine(homes.make_home(tmp_path / "quick").java_exe, "-version")
        slow = wine(home.java_exe, "-version")
        assert slow.rc == 0 and slow.seconds >= quick.seconds + 1.2

    def test_jdk_layout_records_every_java_in_the_home(self, wine, tmp_path):
        home = homes.make_home(tmp_path / "jdk", jdk=True, javaw=True)
        assert (home.root / "lib" / "tools.jar").exists()
        assert home.java_exe == home.root / "jre" / "bin" / "java.exe"
        assert (home.root / "bin" / "javaw.exe").exists() and (home.root / "jre" / "bin" / "javaw.exe").exists()
        assert [p.relative_to(home.root).as_posix() for p in home.jvm_dlls()] == ["jre/bin/server/jvm.dll"]
        wine(home.root / "jre" / "bin" / "java.exe", "-version")
        wine(home.root / "bin" / "javaw.exe", "-version")
        runs = home.java_runs()
        assert "\\jre\\bin\\java.exe" in runs[0] and "\\bin\\javaw.exe" in runs[1]

    def test_bad_settings_file_is_refused(self, wine, home):
        (home.java_exe.parent / "testrt-java.ini").write_text("versoin_line = x\n")
        run = wine(home.java_exe, "-version")
        assert run.rc == 96 and "unknown key versoin_line" in run.err


class TestHomes:
    def test_vm_type_folders_and_variants(self, tmp_path, build):
        home = homes.make_home(tmp_path / "a", vm_types=("client", "hotspot"))
        assert [p.parent.name for p in home.jvm_dlls()] == ["client", "hotspot"]
        assert homes.make_home(tmp_path / "b", variant="nojvm").jvm_dlls() == []
        noexport = homes.make_home(tmp_path / "c", variant="noexport").jvm_dlls()[0]
        assert noexport.read_bytes() == (build / "testrt" / "jvm_noexport.dll").read_bytes()

    def test_touch_java_changes_the_last_write_time(self, home):
        before = home.java_exe.stat().st_mtime
        home.touch_java()
        assert home.java_exe.stat().st_mtime > before


class TestUnpack200:
    def test_failing_and_hanging_tool(self, wine, tmp_path):
        home = homes.make_home(tmp_path / "jre", unpack200=True)
        pack = home.add_pack("lib/rt.jar.pack", b"0123456789")
        jar = home.root / "lib" / "rt.jar"
        home.set_unpack200(exit_code=4)
        run = wine(home.root / "bin" / "unpack200.exe", "-r", homes.winpath(pack), homes.winpath(jar))
        assert run.rc == 4
        assert jar.read_bytes() == b"01234" and pack.exists()
        home.set_unpack200(delay_ms=1500)
        run = wine(home.root / "bin" / "unpack200.exe", "-r", homes.winpath(pack), homes.winpath(jar))
        assert run.rc == 0 and run.seconds >= 1.2
        assert jar.read_bytes() == b"0123456789" and not pack.exists()

    def test_writes_the_jar_and_records_its_command_line(self, wine, tmp_path):
        home = homes.make_home(tmp_path / "jre", unpack200=True)
        pack = home.add_pack("lib/rt.jar.pack", b"PK\x03\x04 jar bytes \x00\xff")
        jar = home.root / "lib" / "rt.jar"
        run = wine(home.root / "bin" / "unpack200.exe", homes.winpath(pack), homes.winpath(jar))
        assert run.rc == 0, run
        assert jar.read_bytes() == b"PK\x03\x04 jar bytes \x00\xff"
        assert pack.exists()
        assert home.unpack_runs()[0].endswith(f"{homes.winpath(pack)} {homes.winpath(jar)}")

    def test_r_removes_the_pack_file(self, wine, tmp_path):
        home = homes.make_home(tmp_path / "jre", unpack200=True)
        pack = home.add_pack("lib/ext/x.jar.pack")
        run = wine(home.root / "bin" / "unpack200.exe", "-r", homes.winpath(pack),
                   homes.winpath(home.root / "lib" / "ext" / "x.jar"))
        assert run.rc == 0, run
        assert not pack.exists() and (home.root / "lib" / "ext" / "x.jar").exists()
        assert " -r " in home.unpack_runs()[0]

    def test_not_a_pack_file(self, wine, tmp_path):
        home = homes.make_home(tmp_path / "jre", unpack200=True)
        bad = home.root / "lib" / "bad.jar.pack"
        bad.parent.mkdir(exist_ok=True)
        bad.write_bytes(b"real pack200 data")
        run = wine(home.root / "bin" / "unpack200.exe", homes.winpath(bad), homes.winpath(home.root / "lib" / "bad.jar"))
        assert run.rc == 1 and "not a test pack file" in run.err
        assert not (home.root / "lib" / "bad.jar").exists()
