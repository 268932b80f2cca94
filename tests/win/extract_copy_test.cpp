// The copy loop of extraction against real handles: files, and a
// message-mode pipe whose reader sees every WriteFile as one message, so
// the chunking is visible.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "config/block.h"
#include "files/extract_win.h"

namespace {

std::vector<unsigned char> pattern(size_t size) {
    std::vector<unsigned char> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<unsigned char>(i * 31 + (i >> 8));
    return data;
}

std::string scratchPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "vtl_copytest_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

// A file holding data XOR-ed with the payload mask, opened for reading.
HANDLE maskedSource(const std::string& path, const std::vector<unsigned char>& data) {
    HANDLE w = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::vector<unsigned char> masked(data);
    for (auto& b : masked) b ^= kPayloadMask;
    DWORD written = 0;
    if (!masked.empty()) WriteFile(w, masked.data(), static_cast<DWORD>(masked.size()), &written, nullptr);
    CloseHandle(w);
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

std::vector<unsigned char> fileBytes(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    std::vector<unsigned char> data(GetFileSize(h, nullptr));
    DWORD got = 0;
    if (!data.empty()) ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
    CloseHandle(h);
    data.resize(got);
    return data;
}

struct MessagePipe {
    HANDLE server = INVALID_HANDLE_VALUE;  // the copy writes here
    HANDLE client = INVALID_HANDLE_VALUE;  // the test reads messages here
    MessagePipe() {
        std::string name = "\\\\.\\pipe\\vtl_copytest_" + std::to_string(GetCurrentProcessId());
        server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_MESSAGE | PIPE_WAIT, 1, 1 << 20, 1 << 20,
                                  0, nullptr);
        client = CreateFileA(name.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(client, &mode, nullptr, nullptr);
    }
    ~MessagePipe() {
        CloseHandle(client);
        CloseHandle(server);
    }
    // Sizes of the messages written so far, and their bytes joined.
    std::vector<size_t> drain(std::vector<unsigned char>* joined) {
        std::vector<size_t> sizes;
        CloseHandle(server);
        server = INVALID_HANDLE_VALUE;
        std::vector<unsigned char> buffer(1 << 16);
        DWORD got = 0;
        while (ReadFile(client, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            sizes.push_back(got);
            joined->insert(joined->end(), buffer.begin(), buffer.begin() + got);
        }
        return sizes;
    }
};

class CopyUnmasked : public ::testing::Test {
protected:
    std::string source = scratchPath("source");
    std::string target = scratchPath("target");
    void TearDown() override {
        DeleteFileA(source.c_str());
        DeleteFileA(target.c_str());
    }
};

}  // namespace

TEST_F(CopyUnmasked, WritesWholeChunksOfSixThousandBytesUnmasked) {
    const std::vector<std::pair<size_t, std::vector<size_t>>> cases = {
        {1, {1}}, {5999, {5999}}, {6000, {6000}}, {6001, {6000, 1}}, {12000, {6000, 6000}}, {12001, {6000, 6000, 1}}};
    for (const auto& c : cases) {
        std::vector<unsigned char> data = pattern(c.first);
        HANDLE in = maskedSource(source, data);
        ASSERT_NE(in, INVALID_HANDLE_VALUE);
        MessagePipe pipe;
        ASSERT_NE(pipe.client, INVALID_HANDLE_VALUE);
        EXPECT_EQ(copyUnmasked(in, pipe.server, static_cast<int64_t>(c.first)), 0) << c.first;
        CloseHandle(in);
        std::vector<unsigned char> joined;
        EXPECT_EQ(pipe.drain(&joined), c.second) << c.first;
        EXPECT_EQ(joined, data) << c.first;
    }
}

TEST_F(CopyUnmasked, StopsAtTheLengthAndLeavesTheRestUnread) {
    std::vector<unsigned char> data = pattern(7000);
    HANDLE in = maskedSource(source, data);
    HANDLE out = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(copyUnmasked(in, out, 6500), 0);
    EXPECT_EQ(SetFilePointer(in, 0, nullptr, FILE_CURRENT), 6500u);
    EXPECT_EQ(copyUnmasked(in, out, 0), 0);
    EXPECT_EQ(copyUnmasked(in, out, -5), 0);
    EXPECT_EQ(SetFilePointer(in, 0, nullptr, FILE_CURRENT), 6500u);
    CloseHandle(in);
    CloseHandle(out);
    EXPECT_EQ(fileBytes(target), std::vector<unsigned char>(data.begin(), data.begin() + 6500));
}

TEST_F(CopyUnmasked, SourceThatEndsEarlyIsAReadFailureAfterCopyingWhatWasThere) {
    std::vector<unsigned char> data = pattern(6100);
    HANDLE in = maskedSource(source, data);
    HANDLE out = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(copyUnmasked(in, out, 20000), kExtractReadFailed);
    CloseHandle(in);
    CloseHandle(out);
    EXPECT_EQ(fileBytes(target), data);
}

TEST_F(CopyUnmasked, UnreadableSourceIsAReadFailure) {
    CloseHandle(maskedSource(source, pattern(10)));
    HANDLE writeOnly = CreateFileA(source.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(copyUnmasked(writeOnly, out, 10), kExtractReadFailed);
    CloseHandle(writeOnly);
    CloseHandle(out);
    EXPECT_TRUE(fileBytes(target).empty());
}

TEST_F(CopyUnmasked, UnwritableTargetIsAWriteFailure) {
    HANDLE in = maskedSource(source, pattern(7000));
    HANDLE create = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(create);
    HANDLE readOnly = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(copyUnmasked(in, readOnly, 7000), kExtractWriteFailed);
    // It stopped at the first chunk.
    EXPECT_EQ(SetFilePointer(in, 0, nullptr, FILE_CURRENT), 6000u);
    CloseHandle(in);
    CloseHandle(readOnly);
}
