// The command line end to end: build, inspect, init and help, against a
// synthetic stub in a temporary folder.
#include <gtest/gtest.h>

#include <sstream>

#include "pack/commands.h"
#include "pack/pe_stub.h"
#include "pack/tests/test_support.h"

namespace {

struct ToolRun {
    int code;
    std::string out, err;
};

ToolRun vtlpack(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int code = runVtlpack(args, "vtlpack", out, err);
    return {code, out.str(), err.str()};
}

std::string u8(const std::filesystem::path& p) { return p.u8string(); }

size_t filesIn(const std::filesystem::path& dir) {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) n += entry.is_regular_file() ? 1 : 0;
    return n;
}

TEST(Commands, BuildThenInspect) {
    TempDir dir;
    std::filesystem::path stub = dir.file("stub.exe", makePe(PeShape()));
    dir.file("payload/app.jar", "jar content");
    std::filesystem::path project = dir.file("app.toml", R"(
[application]
main_class = "com.example.Main"
service_name = "Svc"
[[files]]
source = "payload/app.jar"
name = 'lib\app.jar'
)");
    std::filesystem::path out = dir.path() / "app.exe";
    ToolRun build = vtlpack({"build", u8(project), "-o", u8(out), "--stub", u8(stub)});
    ASSERT_EQ(build.code, 0) << build.err;
    EXPECT_NE(build.out.find("wrote"), std::string::npos);

    // The stub's sections as they were, the resource section after them,
    // and the block right behind that, where the launcher looks.
    std::string image = readBytes(out), error;
    StubLayout layout;
    ASSERT_TRUE(readStubLayout(image, &layout, &error)) << error;
    ASSERT_EQ(layout.sections.size(), 3u);
    EXPECT_EQ(layout.sections[2].name, ".rsrc");
    EXPECT_EQ(image.substr(0x400, 0x400), readBytes(stub).substr(0x400, 0x400));
    EXPECT_EQ(le32(image, layout.blockOffset), 0xE8E413D5u);

    ToolRun inspect = vtlpack({"inspect", u8(out)});
    EXPECT_EQ(inspect.code, 0) << inspect.err;
    EXPECT_NE(inspect.out.find("com.example.Main"), std::string::npos);
    EXPECT_NE(inspect.out.find("lib\\app.jar"), std::string::npos);
    EXPECT_NE(inspect.out.find("11 bytes"), std::string::npos) << inspect.out;
    EXPECT_NE(inspect.out.find("Language section \"fr\""), std::string::npos);

    // The packed executable is no stub any more.
    ToolRun again = vtlpack({"build", u8(project), "-o", u8(dir.path() / "again.exe"), "--stub", u8(out)});
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.err.find("already carries a configuration block"), std::string::npos) << again.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "again.exe"));

    ToolRun plain = vtlpack({"inspect", u8(stub)});
    EXPECT_EQ(plain.code, 1);
    EXPECT_NE(plain.out.find("no configuration block"), std::string::npos);
}

TEST(Commands, ErrorsWriteNothingAndKeepTheOldOutput) {
    TempDir dir;
    std::filesystem::path stub = dir.file("stub.exe", makePe(PeShape()));
    std::filesystem::path out = dir.file("app.exe", "previous build");
    std::filesystem::path bad = dir.file("bad.toml", "[application]\nmain_clas = \"x\"\n");
    size_t before = filesIn(dir.path());

    ToolRun r = vtlpack({"build", u8(bad), "-o", u8(out), "--stub", u8(stub)});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("bad.toml:2:1: error: unknown setting 'main_clas'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing written"), std::string::npos);
    EXPECT_EQ(readBytes(out), "previous build");
    EXPECT_EQ(filesIn(dir.path()), before);

    std::filesystem::path good = dir.file("good.toml", "[application]\nmain_class = \"x.Y\"\n");
    PeShape signedShape;
    signedShape.certOffset = 0x800;
    signedShape.certSize = 8;
    signedShape.certificate = "CERTDATA";
    std::filesystem::path signedStub = dir.file("signed.exe", makePe(signedShape));
    before = filesIn(dir.path());
    r = vtlpack({"build", u8(good), "-o", u8(out), "--stub", u8(signedStub)});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("signed"), std::string::npos);
    EXPECT_EQ(readBytes(out), "previous build");
    EXPECT_EQ(filesIn(dir.path()), before);

    r = vtlpack({"build", u8(good), "-o", u8(out), "--stub", u8(signedStub), "--strip-signature"});
    EXPECT_EQ(r.code, 0) << r.err;
    StubLayout layout;
    std::string image = readBytes(out), error;
    ASSERT_TRUE(readStubLayout(image, &layout, &error)) << error;
    EXPECT_EQ(layout.certOffset, 0u);
    EXPECT_EQ(le32(image, layout.blockOffset), 0xE8E413D5u);

    r = vtlpack({"build", u8(good), "-o", u8(dir.path() / "missing-folder" / "x.exe"), "--stub", u8(stub)});
    EXPECT_EQ(r.code, 1);
    r = vtlpack({"build", u8(good), "-o", u8(dir.path() / "x.exe"), "--stub", u8(dir.path() / "nostub.exe")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("cannot read the launcher stub"), std::string::npos);
    r = vtlpack({"build", u8(good), "-o", u8(good), "--stub", u8(stub)});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("one of the inputs"), std::string::npos);
}

TEST(Commands, OutputChecksumCoversTheWholeFile) {
    TempDir dir;
    PeShape input;
    input.checksum = 0xABCDE;
    std::filesystem::path stub = dir.file("stub.exe", makePe(input));
    dir.file("data.bin", std::string(12345, 'd'));
    std::filesystem::path project = dir.file("p.toml", "[[files]]\nsource = \"data.bin\"\n");
    std::filesystem::path out = dir.path() / "o.exe";
    ToolRun r = vtlpack({"build", u8(project), "-o", u8(out), "--stub", u8(stub)});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string image = readBytes(out);
    uint32_t stored = le32(image, kTestChecksumOffset);
    image.replace(kTestChecksumOffset, 4, std::string(4, '\0'));
    PeChecksum checksum;
    checksum.add(image.data(), image.size());
    EXPECT_EQ(stored, checksum.finish());
    EXPECT_NE(stored, 0xABCDEu);
}

TEST(Commands, StubFromTheProjectFile) {
    TempDir dir;
    dir.file("stubs/my-stub.exe", makePe(PeShape()));
    std::filesystem::path project = dir.file("p.toml", "[build]\nstub = \"stubs/my-stub.exe\"\n");
    ToolRun r = vtlpack({"build", u8(project), "-o", u8(dir.path() / "o.exe")});
    EXPECT_EQ(r.code, 0) << r.err;
    // An explicit --arch overrides the project's stub (and that stub is absent).
    r = vtlpack({"build", u8(project), "-o", u8(dir.path() / "o2.exe"), "--arch", "x86_64"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vantrel-x86_64.exe"), std::string::npos) << r.err;

    // Neither given: the 64-bit stub; the 32-bit one only when asked for.
    std::filesystem::path plain = dir.file("plain.toml", "[application]\nmain_class = \"a.B\"\n");
    r = vtlpack({"build", u8(plain), "-o", u8(dir.path() / "o3.exe")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vantrel-x86_64.exe"), std::string::npos) << r.err;
    std::filesystem::path old = dir.file("old.toml", "[build]\narch = \"i686\"\n");
    r = vtlpack({"build", u8(old), "-o", u8(dir.path() / "o4.exe")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vantrel-i686.exe"), std::string::npos) << r.err;
}

TEST(Commands, WindowedStubsAreChosenAndChecked) {
    TempDir dir;
    auto errorOf = [&](const std::string& text, std::vector<std::string> extra) {
        std::filesystem::path project = dir.file("p.toml", text);
        std::vector<std::string> args = {"build", u8(project), "-o", u8(dir.path() / "o.exe")};
        args.insert(args.end(), extra.begin(), extra.end());
        return vtlpack(args).err;
    };
    // No stubs beside this test: the error names the one that was chosen.
    EXPECT_NE(errorOf("[application]\nexecutable_type = \"gui\"\n", {}).find("vantrelw-x86_64.exe"),
              std::string::npos);
    EXPECT_NE(errorOf("[application]\nexecutable_type = \"gui\"\n", {"--arch", "i686"})
                  .find("vantrelw-i686.exe"),
              std::string::npos);
    EXPECT_NE(errorOf("[application]\nexecutable_type = \"gui\"\nwindowed = false\n", {})
                  .find("vantrel-x86_64.exe"),
              std::string::npos);
    EXPECT_NE(errorOf("[application]\nwindowed = true\n", {}).find("vantrelw-x86_64.exe"), std::string::npos);

    // A named stub is taken as it is, unless windowed asks for the other kind.
    std::filesystem::path console = dir.file("console.exe", makePe(PeShape()));
    PeShape windowedShape;
    windowedShape.subsystem = 2;
    std::filesystem::path windowed = dir.file("windowed.exe", makePe(windowedShape));
    EXPECT_EQ(errorOf("[application]\nexecutable_type = \"gui\"\n", {"--stub", u8(console)}), "");
    std::string error = errorOf("[application]\nwindowed = true\n", {"--stub", u8(console)});
    EXPECT_NE(error.find("it is a console program, but [application] windowed = true"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "o.exe.tmp"));
    EXPECT_EQ(errorOf("[application]\nwindowed = true\n", {"--stub", u8(windowed)}), "");
    EXPECT_NE(errorOf("[application]\nwindowed = false\n", {"--stub", u8(windowed)}).find("windowed program"),
              std::string::npos);
}

TEST(Commands, BadIconsAndVersionsWriteNothing) {
    TempDir dir;
    std::filesystem::path stub = dir.file("stub.exe", makePe(PeShape()));
    std::string good = testIconFile({{0, testPng(256, 256)}, {32, testBitmap(32)}});
    dir.file("good.ico", good);
    dir.file("cut.ico", good.substr(0, good.size() - 10));
    dir.file("empty.ico", testIconFile({}));
    dir.file("huge.png", testPng(1024, 1024));
    std::filesystem::path out = dir.path() / "app.exe";
    const struct {
        const char* setting;
        const char* words;
    } cases[] = {
        {"[application]\nicon = \"cut.ico\"\n", "the icon 'cut.ico' is cut off or damaged: image 2 (32x32)"},
        {"[application]\nicon = \"empty.ico\"\n", "the icon 'empty.ico' holds no image"},
        {"[application]\nicon = \"huge.png\"\n", "the icon 'huge.png' is a PNG image that is 1024x1024 pixels"},
        {"[application]\nicon = \"missing.ico\"\n", "the icon 'missing.ico' was not found"},
        {"[version]\nfile_version = \"1.2.65536\"\n", "above 65535"},
    };
    dir.file("p.toml", "");
    size_t before = filesIn(dir.path());
    for (const auto& c : cases) {
        std::filesystem::path project = dir.file("p.toml", c.setting);
        ToolRun r = vtlpack({"build", u8(project), "-o", u8(out), "--stub", u8(stub)});
        EXPECT_EQ(r.code, 1) << c.setting;
        EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing written"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out));
        EXPECT_EQ(filesIn(dir.path()), before);
    }

    std::filesystem::path project = dir.file("p.toml", "[application]\nicon = \"good.ico\"\n[version]\n"
                                                        "product_name = \"Good\"\nfile_version = \"3.0-rc1\"\n");
    ToolRun r = vtlpack({"build", u8(project), "-o", u8(out), "--stub", u8(stub)});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("an icon of 2 images"), std::string::npos) << r.out;
    ToolRun inspect = vtlpack({"inspect", u8(out)});
    EXPECT_NE(inspect.out.find("subsystem      console"), std::string::npos) << inspect.out;
    EXPECT_NE(inspect.out.find("  Icon group 1 (2 images)\n    256x256, 32 bits, PNG, "), std::string::npos)
        << inspect.out;
    EXPECT_NE(inspect.out.find("    32x32, 32 bits, bitmap, "), std::string::npos);
    EXPECT_NE(inspect.out.find("  Version        file 3.0.0.0, product 3.0.0.0\n"), std::string::npos);
    EXPECT_NE(inspect.out.find("    ProductVersion    \"3.0-rc1\"\n"), std::string::npos);
    EXPECT_NE(inspect.out.find("    OriginalFilename  \"app.exe\"\n"), std::string::npos);
    EXPECT_NE(inspect.out.find("execution level asInvoker"), std::string::npos);
}

TEST(Commands, InitWritesAStarterOnceAndItBuilds) {
    TempDir dir;
    std::filesystem::path file = dir.path() / "new.toml";
    ToolRun r = vtlpack({"init", u8(file)});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string first = readBytes(file);
    EXPECT_NE(first.find("main_class"), std::string::npos);
    r = vtlpack({"init", u8(file)});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("already exists"), std::string::npos);
    EXPECT_EQ(readBytes(file), first);

    std::filesystem::path stub = dir.file("stub.exe", makePe(PeShape()));
    r = vtlpack({"build", u8(file), "-o", u8(dir.path() / "app.exe"), "--stub", u8(stub)});
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST(Commands, HelpAndUsageErrors) {
    EXPECT_EQ(vtlpack({"--help"}).code, 0);
    EXPECT_NE(vtlpack({"--help"}).out.find("vtlpack build PROJECT.toml"), std::string::npos);
    EXPECT_NE(vtlpack({"help", "build"}).out.find("--strip-signature"), std::string::npos);
    EXPECT_NE(vtlpack({"inspect", "--help"}).out.find("Usage: vtlpack inspect"), std::string::npos);
    EXPECT_EQ(vtlpack({"help", "frobnicate"}).code, 2);
    EXPECT_EQ(vtlpack({}).code, 2);
    EXPECT_EQ(vtlpack({"pack"}).code, 2);
    EXPECT_EQ(vtlpack({"build", "p.toml"}).code, 2);  // no output
    EXPECT_EQ(vtlpack({"build", "p.toml", "-o"}).code, 2);
    EXPECT_EQ(vtlpack({"build", "p.toml", "-o", "x.exe", "--stub", "s", "--arch", "i686"}).code, 2);
    EXPECT_EQ(vtlpack({"build", "p.toml", "-o", "x.exe", "--arch", "arm"}).code, 2);
    EXPECT_EQ(vtlpack({"build", "p.toml", "-o", "x.exe", "--frob"}).code, 2);
    EXPECT_EQ(vtlpack({"inspect"}).code, 2);
    ToolRun missing = vtlpack({"inspect", "/nonexistent/x.exe"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

}  // namespace
