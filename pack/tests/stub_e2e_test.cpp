// The real launcher stub of this build, packed by vtlpack and started:
// the launcher must find and read the block (it fails at start-up on a
// bad one) and answer /help with its usage line.
#ifdef _WIN32
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>

#include "pack/commands.h"
#include "pack/block_report.h"
#include "pack/pe_stub.h"
#include "pack/tests/test_support.h"

namespace {

// Runs a program with its standard output in a file; returns the exit code.
DWORD runCaptured(const std::wstring& commandLine, const std::filesystem::path& outputFile) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileW(outputFile.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 9999;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::wstring mutableLine = commandLine;
    DWORD code = 9998;
    if (CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    return code;
}

TEST(RealStub, PackedLauncherReadsItsBlock) {
    TempDir dir;
    dir.file("payload/app.jar", "PK\x03\x04 not really a jar");
    std::filesystem::path project = dir.file("app.toml", R"(
[application]
main_class = "com.example.Main"
service_name = "VtlPackE2E"
[[files]]
source = "payload/app.jar"
name = 'lib\app.jar'
)");
    std::filesystem::path exe = dir.path() / "PackedApp.exe";
    std::ostringstream out, err;
    ASSERT_EQ(runVtlpack({"build", project.u8string(), "-o", exe.u8string(), "--stub", VTL_STUB_PATH}, "vtlpack", out,
                         err),
              0)
        << err.str();

    FileByteSource source;
    ASSERT_TRUE(source.open(exe));
    BlockReport report;
    inspectExecutable(source, &report);
    ASSERT_EQ(report.status, InspectStatus::Ok) << report.problem;
    ASSERT_EQ(report.files.size(), 1u);

    // The linker's checksum of the stub is an independent check of ours,
    // and the packed file must carry a valid one too.
    for (const std::filesystem::path& file : {std::filesystem::u8path(VTL_STUB_PATH), exe}) {
        std::string image = readBytes(file);
        StubLayout layout;
        std::string error;
        ASSERT_TRUE(readStubLayout(image, &layout, &error)) << error;
        ASSERT_NE(layout.checksum, 0u) << file.u8string();
        image.replace(layout.checksumOffset, 4, std::string(4, '\0'));
        PeChecksum checksum;
        checksum.add(image.data(), image.size());
        EXPECT_EQ(checksum.finish(), layout.checksum) << file.u8string();
    }

    std::filesystem::path captured = dir.path() / "help.txt";
    DWORD code = runCaptured(L"\"" + exe.wstring() + L"\" /help", captured);
    EXPECT_EQ(code, 0u);
    EXPECT_NE(readBytes(captured).find("Usage: PackedApp.exe /install"), std::string::npos) << readBytes(captured);
}

}  // namespace
#endif
