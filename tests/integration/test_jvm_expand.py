"""Variable expansion end to end. The search expands each entry of the
search sequence before it logs "Testing location %S (type %c)", and the
start-up expands the working directory (config key 146) in its wide form;
those log lines show what the launcher made of each text."""
import subprocess
from types import SimpleNamespace

from vtltest import BITS, normalise, only_log, temp_env
from jvm_support import CONSOLE, LOG_ON, MESSAGES, SEARCH_VARIABLES, Run, run_launcher


def locations_tested(r):
    prefix, suffix = "Testing location ", " (type A)"
    return [l[len(prefix):-len(suffix)] for l in r.lines if l.startswith(prefix) and l.endswith(suffix)]


def launcher(make_launcher, entries, **config):
    values = {**CONSOLE, 128: ";".join("A" + e for e in entries)}
    values.update({int(k[1:]): v for k, v in config.items()})
    return make_launcher(values, messages=MESSAGES)


def test_launcher_rows_and_environment_references(wine, make_launcher, tempbase, tmp_path):
    entries = [
        "${launcher:sys.launcherDirectory}lib",
        "%MORLIN_EXEDIR%|%VANTREL_EXEDIR%|${MORLIN_EXEDIR}|${VANTREL_EXEDIR}",
        "[%MORLIN_TEMPDIR%][%VANTREL_TEMPDIR%][${MORLIN_TEMPDIR}][${launcher:sys.launcherTempDirectory}]",
        "[%MORLIN_JVM_HOME%][${VANTREL_JVM_HOME}][${launcher:sys.jvmHome}]",
        "%MORLIN_PATHLIST_SEPARATOR%%VANTREL_PATHLIST_SEPARATOR%${MORLIN_PATHLIST_SEPARATOR}"
        "${VANTREL_PATHLIST_SEPARATOR}${launcher:sys.pathlistSeparator}",
        "${launcher:sys.tempDir}",
        "${PATH}|${Path}|${path}|%PATH%",
        "${VtlMixed}|${VTLMIXED}|${vtlmixed}|%VtlMixed%|${VtlUnknown}",
        "${VtlLate}",
        "${VTLSELF}",
        "${launcher:sys.launcherDirectory}${launcher:sys.launcherDirectory}",
    ]
    winenv = {"VtlMixed": "mixed value", "VtlLate": "${launcher:sys.jvmHome}", "VTLSELF": "<${VTLSELF}>"}
    r = run_launcher(wine, launcher(make_launcher, entries), tempbase, winenv=winenv)
    app = wine.winpath(tmp_path / "app") + "\\"
    path = next(l for l in r.lines if l.startswith("Setting PATH (native libs) "))[len("Setting PATH (native libs) "):]
    assert locations_tested(r) == [
        app + "lib",
        "|".join([app] * 4),
        "[][][][]",
        "[][][]",
        ";;;;;",
        wine.winpath(tempbase) + "\\",
        # Wine keeps the variable as PATH: only that spelling and its upper case match.
        f"{path}|${{Path}}|${{path}}|%PATH%",
        "mixed value|mixed value|${vtlmixed}|%VtlMixed%|${VtlUnknown}",
        # Rows run before the environment: a value is not expanded again.
        "${launcher:sys.jvmHome}",
        "<${VTLSELF}>",
        app + app,
    ]
    assert f"expanding2 ${{VtlMixed}} to mixed value in mixed value|${{VTLMIXED}}|${{vtlmixed}}|%VtlMixed%|" \
           "${VtlUnknown}." in r.lines


def run_with_unix_environment(wine, exe, tempbase, assignments, winenv):
    """Like run_launcher, with assignments that Python cannot put in an
    environment (a name starting with "="): Wine takes them over from the
    Unix side, as the hidden per-drive entries of the block."""
    env = temp_env(wine, tempbase)
    env.update(winenv)
    unset = [v for v in SEARCH_VARIABLES if v not in env]
    command = ["env", *assignments] + wine.command(exe, ("/run",), env, unset)
    proc = subprocess.run(command, env=wine.env(LOG_ON), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=120)
    result = SimpleNamespace(rc=proc.returncode, out=normalise(proc.stdout), err=normalise(proc.stderr))
    return Run(result, only_log(tempbase))


def test_per_drive_entry_and_overlong_results(wine, make_launcher, tempbase):
    big = "x" * 7000
    exe = launcher(make_launcher, ["[${}]", "${VtlBig}", "${VtlBig}${VtlBig}"])
    r = run_with_unix_environment(wine, exe, tempbase, ["=C:=C:\\work"], {"VtlBig": big})
    locations = locations_tested(r)
    assert locations[0] == "[C:=C:\\work]"
    # Cut at the 6000-character buffer, and said so.
    assert locations[1:] == ["x" * 5999, "x" * 5999]
    assert r.count("ERROR: expansion of ${VtlBig} cut to 5999 characters") == 2
    assert r.rc == 1
    assert r.err.startswith(f"no jvm {BITS}\n")


def test_working_directory_is_expanded_in_wide_form(wine, make_launcher, tempbase, tmp_path):
    target = tmp_path / "wd \u00e9t\u00e9"
    target.mkdir()
    exe = make_launcher({**CONSOLE, 146: "${VtlWorkDir}"}, messages=MESSAGES)
    r = run_launcher(wine, exe, tempbase, winenv={"VtlWorkDir": wine.winpath(target)}, args=("/help",))
    assert f"change working directory to {wine.winpath(target)}" in r.lines
    assert r.rc == 0
