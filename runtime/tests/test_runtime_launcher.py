"""The launcher classes' main: redirection, the application's arguments and
how failures leave (as exceptions, so the native launcher exits with 1)."""
import subprocess

import pytest

from vtlruntime_support import MORLIN_LAUNCHER, VANTREL_LAUNCHER, check_rolled_lines, java_command, java_env


def echo_lines(text):
    return text.split("\n")


class TestArguments:
    def test_application_arguments_arrive_unchanged_and_in_order(self, launch):
        args = ["a", "", "two words", "-Dsun.x=1", "-Jx", "ünïcode €", "+", "$x"]
        run = launch("EchoApp", *args)
        assert run.rc == 0, run
        lines = echo_lines(run.out)
        assert lines[1] == f"count={len(args)}"
        assert lines[2:2 + len(args)] == [f"arg[{i}]={a}" for i, a in enumerate(args)]
        assert run.err == "err-line\n"

    def test_no_application_arguments(self, launch):
        run = launch("EchoApp")
        assert run.rc == 0, run
        assert "count=0\n" in run.out

    def test_launcher_flags_are_kept_for_the_application(self, launch):
        assert launch("EchoApp", gui="true", flag="false").out.startswith("gui=true flag=false\n")
        assert launch("EchoApp", gui="false", flag="true").out.startswith("gui=false flag=true\n")

    def test_slash_form_of_the_main_class_is_accepted(self, launch):
        assert launch("EchoApp".replace(".", "/"), "x").rc == 0

    def test_morlin_launcher_class_behaves_the_same(self, launch, tmp_path):
        run = launch("EchoApp", "m1", out=tmp_path / "o.log", launcher=MORLIN_LAUNCHER)
        assert run.rc == 0, run
        assert "arg[0]=m1" in (tmp_path / "o.log").read_text()


class TestRedirection:
    def test_without_plus_the_file_is_started_afresh(self, launch, tmp_path):
        err, out = tmp_path / "err.log", tmp_path / "out.log"
        err.write_text("old error text\n")
        out.write_text("old output text\n")
        run = launch("EchoApp", "x", err=err, out=out)
        assert run.rc == 0, run
        assert run.out == "" and run.err == ""
        assert err.read_text() == "err-line\n"
        assert out.read_text().startswith("gui=false")
        # text printed without a line feed is not lost at the end
        assert out.read_text().endswith("arg[0]=x\ntail-without-newline")

    def test_trailing_plus_appends_and_is_not_part_of_the_name(self, launch, tmp_path):
        err, out = tmp_path / "err.log", tmp_path / "out.log"
        err.write_text("old error text\n")
        out.write_text("old output text\n")
        for _ in range(2):
            assert launch("EchoApp", err=f"{err}+", out=f"{out}+").rc == 0
        assert err.read_text() == "old error text\nerr-line\nerr-line\n"
        assert out.read_text().startswith("old output text\ngui=false")
        assert out.read_text().count("tail-without-newline") == 2
        assert not (tmp_path / "err.log+").exists()

    def test_only_one_stream_redirected(self, launch, tmp_path):
        out = tmp_path / "out.log"
        run = launch("EchoApp", out=out)
        assert run.err == "err-line\n"
        assert run.out == ""
        assert "count=0" in out.read_text()

    def test_both_streams_into_one_file_lose_nothing(self, launch, tmp_path):
        both = tmp_path / "both.log"
        run = launch("EchoApp", "z", err=both, out=both)
        assert run.rc == 0, run
        text = both.read_text()
        assert "err-line\n" in text and "arg[0]=z\n" in text and text.endswith("tail-without-newline")

    def test_no_redir_property_keeps_the_console(self, launch, tmp_path):
        err, out = tmp_path / "err.log", tmp_path / "out.log"
        run = launch("EchoApp", err=err, out=out, props={"vantrel.noRedir": "true"})
        assert run.rc == 0, run
        assert run.err == "err-line\n"
        assert "count=0" in run.out
        assert not err.exists() and not out.exists()

    def test_no_redir_other_than_true_still_redirects(self, launch, tmp_path):
        out = tmp_path / "out.log"
        run = launch("EchoApp", out=out, props={"vantrel.noRedir": "false"})
        assert run.out == "" and out.exists()

    def test_dollar_name_is_relative_to_the_working_directory(self, launch, tmp_path):
        work = tmp_path / "work"
        work.mkdir()
        run = launch("EchoApp", err="$logs/err.log+", out="$out.log", cwd=work)
        assert run.rc == 0, run
        assert (work / "logs" / "err.log").read_text() == "err-line\n"
        assert "count=0" in (work / "out.log").read_text()

    def test_unexpanded_variable_is_not_used_as_a_file(self, launch, tmp_path):
        run = launch("EchoApp", err="${NOT_DEFINED}\\err.log", cwd=tmp_path)
        assert run.rc == 0, run
        assert "undefined variable" in run.err and "err-line" in run.err
        assert list(tmp_path.iterdir()) == []

    def test_missing_folders_are_created(self, launch, tmp_path):
        out = tmp_path / "a" / "b" / "out.log"
        assert launch("EchoApp", out=out).rc == 0
        assert out.exists()

    def test_unwritable_file_warns_and_the_application_still_runs(self, launch, tmp_path):
        folder = tmp_path / "is-a-folder"
        folder.mkdir()
        run = launch("EchoApp", out=folder)
        assert run.rc == 0, run
        assert "cannot redirect standard output" in run.err
        assert "count=0" in run.out


class TestRolling:
    """The redirection files roll by size when the launcher passes
    vantrel.redirect.maxSize (and vantrel.redirect.keep)."""

    LINE = 100  # LinesApp writes lines of this length, line end excluded

    def test_four_threads_on_a_shared_file_lose_and_split_no_line(self, launch, tmp_path):
        both = tmp_path / "logs" / "both.log"
        max_size, threads, per_thread = 64 * 1024, 4, 1000  # about 400 KB: six rolls
        run = launch("LinesApp", str(threads), str(per_thread), str(self.LINE), err=both, out=both,
                     props={"vantrel.redirect.maxSize": max_size, "vantrel.redirect.keep": 8})
        assert run.rc == 0 and run.out == "" and run.err == "", run
        numbers, files = check_rolled_lines(both, max_size, 8, self.LINE)
        assert files >= 4
        assert numbers == set(range(threads * per_thread))

    def test_only_keep_old_files_remain_and_the_newest_lines_are_kept(self, launch, tmp_path):
        out, err = tmp_path / "out.log", tmp_path / "err.log"
        run = launch("LinesApp", "2", "1000", str(self.LINE), err=err, out=out,
                     props={"vantrel.redirect.maxSize": 8192, "vantrel.redirect.keep": 2})
        assert run.rc == 0, run
        for path, parity in ((out, 0), (err, 1)):
            numbers, files = check_rolled_lines(path, 8192, 2, self.LINE)
            assert files == 3
            assert {n % 2 for n in numbers} == {parity}
            assert max(numbers) >= 1998  # the last lines are never the ones dropped

    def test_a_fresh_start_rolls_the_last_output_away(self, launch, tmp_path):
        out = tmp_path / "out.log"
        props = {"vantrel.redirect.maxSize": 4096}
        assert launch("EchoApp", "first", out=out, props=props).rc == 0
        assert launch("EchoApp", "second", out=out, props=props).rc == 0
        assert "arg[0]=second" in out.read_text()
        assert "arg[0]=first" in (tmp_path / "out.1.log").read_text()
        # With "+" the file goes on where it was.
        assert launch("EchoApp", "third", out=f"{out}+", props=props).rc == 0
        assert "arg[0]=second" in out.read_text() and "arg[0]=third" in out.read_text()
        assert not (tmp_path / "out.2.log").exists()

    def test_unusable_properties_leave_the_files_unrolled(self, launch, tmp_path):
        out = tmp_path / "out.log"
        out.write_text("old\n")
        run = launch("EchoApp", out=out, props={"vantrel.redirect.maxSize": "ten"})
        assert run.rc == 0
        assert "vtlruntime: not rolling the redirection files" in run.err
        assert out.read_text().startswith("gui=") and not (tmp_path / "out.1.log").exists()


class TestFailures:
    def test_exception_from_main_reaches_the_caller_unwrapped(self, launch):
        run = launch("ThrowApp")
        assert run.rc != 0
        assert "before the failure" in run.out
        assert "java.lang.IllegalStateException: boom from the application" in run.err
        assert "ThrowApp.failDeeper" in run.err
        assert "InvocationTargetException" not in run.err

    def test_exception_stack_trace_goes_to_the_redirected_error_file(self, launch, tmp_path):
        err = tmp_path / "err.log"
        run = launch("ThrowApp", err=err)
        assert run.rc != 0
        assert "boom from the application" in err.read_text() + run.err

    def test_missing_main_class(self, launch):
        run = launch("no.such.Application")
        assert run.rc != 0
        assert "ClassNotFoundException: no.such.Application" in run.err

    def test_missing_main_method(self, launch):
        run = launch("NoMainApp")
        assert run.rc != 0
        assert "NoSuchMethodException" in run.err and "never called" not in run.out

    def test_main_that_is_not_static(self, launch):
        run = launch("InstanceMainApp")
        assert run.rc != 0
        assert "must be public static void" in run.err

    @pytest.mark.parametrize("elements", [[], ["false", "EchoApp", "", ""]])
    def test_too_few_launcher_elements(self, runtime_jar, apps, elements):
        proc = subprocess.run(java_command(runtime_jar, apps, VANTREL_LAUNCHER, elements),
                              capture_output=True, env=java_env(), timeout=30)
        assert proc.returncode != 0
        assert b"expected at least 5 launcher arguments" in proc.stderr

    def test_empty_main_class(self, launch):
        run = launch("")
        assert run.rc != 0 and "no main class given" in run.err
