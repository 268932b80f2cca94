// The instance registry value of this test program's own path.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "instance/guard_win.h"

namespace {

const char kPids[] = "SOFTWARE\\brevane\\morlin\\pids";

// The value name: the program's path, lower-cased (letters only).
std::string valueName() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    for (auto& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}

void setRaw(DWORD type, const void* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kPids, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, valueName().c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

bool readRaw(DWORD* type, DWORD* data) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPids, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD size = sizeof *data;
    LONG status = RegQueryValueExA(key, valueName().c_str(), nullptr, type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && size == 4;
}

void removeValue() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPids, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, valueName().c_str());
    RegCloseKey(key);
}

class InstancePid : public ::testing::Test {
protected:
    void SetUp() override { removeValue(); }
    void TearDown() override { removeValue(); }
};

}  // namespace

TEST_F(InstancePid, WrittenAsDwordUnderTheLowerCasedPathAndReadBack) {
    EXPECT_EQ(readInstancePid(), 0u);
    writeInstancePid();
    DWORD type = 0, data = 0;
    ASSERT_TRUE(readRaw(&type, &data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, GetCurrentProcessId());
    EXPECT_EQ(readInstancePid(), GetCurrentProcessId());
}

TEST_F(InstancePid, LaterFirstInstanceOverwrites) {
    DWORD stale = 4242;
    setRaw(REG_DWORD, &stale, 4);
    EXPECT_EQ(readInstancePid(), 4242u);
    writeInstancePid();
    EXPECT_EQ(readInstancePid(), GetCurrentProcessId());
}

TEST_F(InstancePid, ValueOfAnotherSizeReadsAsZero) {
    unsigned long long wide = 77;
    setRaw(REG_QWORD, &wide, 8);
    EXPECT_EQ(readInstancePid(), 0u);
    unsigned short narrow = 77;
    setRaw(REG_BINARY, &narrow, 2);
    EXPECT_EQ(readInstancePid(), 0u);
    // Four bytes are taken whatever the type says.
    DWORD four = 78;
    setRaw(REG_BINARY, &four, 4);
    EXPECT_EQ(readInstancePid(), 78u);
}
