"""The compiled runtime against launch/runtime_contract.h, the header the
launcher takes its class names, method names and descriptors from."""
import functools
import re
import subprocess
import zipfile

import pytest

from vtlruntime_support import ROOT, java_command, java_env

HEADER = ROOT / "launch" / "runtime_contract.h"


def header_constants():
    text = HEADER.read_text()
    narrow = dict(re.findall(r'^constexpr char (k\w+)\[\] = "((?:[^"\\]|\\.)*)";', text, re.M))
    wide = dict(re.findall(r'^constexpr wchar_t (k\w+)\[\] = L"((?:[^"\\]|\\.)*)";', text, re.M))
    ints = {k: int(v) for k, v in re.findall(r'^constexpr int (k\w+) = (\d+);', text, re.M)}
    return narrow, wide, ints


def header_static_methods():
    text = HEADER.read_text()
    narrow, _, _ = header_constants()
    block = re.search(r'kRuntimeStaticMethods\[\] = \{(.*?)\n\};', text, re.S)
    assert block, "kRuntimeStaticMethods table not found"
    rows = re.findall(r'\{(k\w+), (k\w+), (k\w+)\}', block.group(1))
    assert rows, "kRuntimeStaticMethods table is empty"
    return [tuple(narrow[name] for name in row) for row in rows]


@functools.lru_cache(maxsize=None)
def javap_listing(jar):
    """{dotted class name: (listing, {(name, descriptor): declaration})} of
    every contract class, from one javap run."""
    names = sorted({row[0].replace("/", ".") for row in header_static_methods()})
    proc = subprocess.run(["javap", "-s", "-public", "-cp", str(jar)] + names, capture_output=True, text=True)
    classes = {}
    current = None
    for line in proc.stdout.splitlines():
        header = re.match(r"public (?:final )?(?:abstract )?class (\S+)", line)
        if header:
            current = header.group(1)
            classes[current] = [line + "\n", {}, None]
            continue
        if current is None:
            continue
        entry = classes[current]
        entry[0] += line + "\n"
        desc = re.match(r"\s+descriptor: (\S+)", line)
        if desc and entry[2]:
            name = re.search(r"(\w+)\(", entry[2])
            if name:
                entry[1][(name.group(1), desc.group(1))] = entry[2].strip()
        entry[2] = line
    return {name: (listing, methods) for name, (listing, methods, _) in classes.items()}


def javap_methods(jar, class_name):
    """(listing, {(name, descriptor): declaration}) of the public methods of a class."""
    found = javap_listing(jar).get(class_name.replace("/", "."))
    assert found, f"{class_name} is not a public class of the runtime archive"
    return found


def test_header_is_parsed_completely():
    narrow, wide, ints = header_constants()
    # every constexpr line of the header must be understood here
    declared = re.findall(r"^constexpr \w+ (k\w+)", HEADER.read_text(), re.M)
    assert set(declared) == set(narrow) | set(wide) | set(ints) | {"kRuntimeStaticMethods"}
    for name, value in wide.items():
        assert narrow[name[:-1]] == value, f"{name} differs from its narrow twin"


@pytest.mark.parametrize("row", header_static_methods(), ids=lambda r: f"{r[0]}.{r[1]}")
def test_every_static_method_of_the_contract_exists(runtime_jar, row):
    class_name, method, descriptor = row
    listing, methods = javap_methods(runtime_jar, class_name)
    assert f"public final class {class_name.replace('/', '.')}" in listing or \
        f"public class {class_name.replace('/', '.')}" in listing
    declaration = methods.get((method, descriptor))
    assert declaration, f"{class_name}.{method}{descriptor} missing; found {sorted(methods)}"
    assert declaration.startswith("public static "), declaration


def test_contract_lists_the_calls_the_launcher_makes():
    narrow, _, _ = header_constants()
    rows = header_static_methods()
    assert (narrow["kVantrelLauncherClass"], "main", "([Ljava/lang/String;)V") in rows
    assert (narrow["kMorlinLauncherClass"], "main", "([Ljava/lang/String;)V") in rows
    assert (narrow["kSplashClass"], "initAwtSplashConfig",
            "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V") in rows
    assert (narrow["kCommonClass"], "initFromLauncher", "(Z)V") in rows
    assert (narrow["kFirstRunClass"], "firstRun", "()Z") in rows


def test_properties_the_runtime_reads_are_the_contract_names(runtime_jar):
    narrow, _, _ = header_constants()
    with zipfile.ZipFile(runtime_jar) as jar:
        classes = b"".join(jar.read(n) for n in jar.namelist() if n.endswith(".class"))
    for key in ("kPropIsService", "kPropNoRedirect", "kPropRedirectMaxSize", "kPropRedirectKeep"):
        # a CONSTANT_Utf8 entry: tag 1, two length bytes, the text
        value = narrow[key].encode()
        entry = b"\x01" + len(value).to_bytes(2, "big") + value
        assert entry in classes, f"the runtime does not read {narrow[key]}"


def test_file_names_match_the_products(runtime_jar):
    narrow, _, _ = header_constants()
    assert runtime_jar.name == narrow["kRuntimeArchive"]
    cmake = (ROOT / "runtime" / "vtlinst" / "CMakeLists.txt").read_text()
    assert re.search(r"OUTPUT_NAME (\w+)", cmake).group(1) + ".dll" == narrow["kHelperLibrary"]
    assert narrow["kRegisterNativesExport"] in (ROOT / "runtime" / "vtlinst" / "vtlinst.cpp").read_text()


def test_argument_positions_match_the_runtime(launch):
    _, _, ints = header_constants()
    assert [ints[k] for k in ("kArgGuiType", "kArgMainClass", "kArgErrorFile", "kArgOutputFile",
                              "kArgRuntimeFlag", "kArgFirstApplication")] == [0, 1, 2, 3, 4, 5]
    run = launch("EchoApp", "first", gui="true")
    assert run.out.startswith("gui=true flag=false\ncount=1\narg[0]=first\n")


class TestJavaSideEntries:
    """The splash, helper and first-run entries, called as the launcher calls them."""

    def probe(self, runtime_jar, apps, props=None):
        cmd = java_command(runtime_jar, apps, "ContractProbe", [], props)
        proc = subprocess.run(cmd, capture_output=True, text=True, env=java_env(), timeout=30)
        assert proc.returncode == 0, proc.stderr
        return proc.stdout.splitlines()

    def test_splash_and_helper_values_are_kept(self, runtime_jar, apps):
        lines = self.probe(runtime_jar, apps)
        assert lines[0] == "splash-before=null"
        assert lines[1] == ("splash=SplashConfig[true false [Loading 10,20 0,0,0 3 4] "
                            "[v1.2 30,40 255,0,0 5 6]]")
        assert lines[2:4] == ["common-before=false/0", "common=true/1"]

    def test_first_run_without_a_class_goes_on(self, runtime_jar, apps):
        assert self.probe(runtime_jar, apps)[4] == "firstRun=true"

    def test_first_run_class_decides(self, runtime_jar, apps):
        lines = self.probe(runtime_jar, apps, {"vantrel.firstRunClass": "FirstRunNo"})
        assert lines[4:] == ["first-run step ran", "firstRun=false"]

    def test_first_run_failure_is_an_exception(self, runtime_jar, apps):
        lines = self.probe(runtime_jar, apps, {"vantrel.firstRunClass": "FirstRunFails"})
        assert lines[4] == "firstRun threw java.lang.UnsupportedOperationException: first-run failed"
        lines = self.probe(runtime_jar, apps, {"vantrel.firstRunClass": "no.such.Step"})
        assert lines[4].startswith("firstRun threw java.lang.ClassNotFoundException")
