// Copies the files embedded behind the configuration block into the
// per-run temporary directory.
#include <windows.h>

#include <string>

#include "config/block.h"
#include "config/block_reader_win.h"
#include "config/keys.h"
#include "config/store.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/state.h"
#include "files/extract_win.h"
#include "files/temp.h"

namespace {


[[noreturn]] void failFileArea(BlockError error) { fatalError(blockErrorText(error)); }

// Writes all of data, repeating on partial writes. Returns the bytes still
// unwritten (0 on success).
DWORD writeAll(HANDLE target, const unsigned char* data, DWORD count) {
    DWORD done = 0;
    while (done < count) {
        DWORD written = 0;
        SetLastError(ERROR_SUCCESS);
        // A write that reports success but moves nothing would spin forever.
        if (!WriteFile(target, data + done, count - done, &written, nullptr) || written == 0) break;
        done += written;
    }
    return count - done;
}

void createDirectoryLevel(const char* directory) {
    logLine(L"creating directory %S", directory);
    if (!CreateDirectoryA(directory, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        logError(L"failed to create directory %S", directory);
}

// Extracts one named entry; the executable's position is at its record.
int extractNamed(HANDLE executable, const char* name) {
    // The block is input: a name must not steer a write outside the
    // temporary directory, and an empty directory would put "\name" at
    // the root of the current drive.
    char target[kPathCapacity], subdirectory[kPathCapacity];
    if (!tempDirectory[0] || !isSafeEmbeddedName(name) ||
        !embeddedTargetPaths(tempDirectory, name, target, subdirectory, kPathCapacity)) {
        logError(L"refusing to extract %S: not a path inside the temporary directory", name);
        return kExtractRefused;
    }
    if (subdirectory[0]) createDirectoryLevel(subdirectory);
    int result = extractOneFile(executable, target);
    if (result != 0) logError(L"Failed to extract %S", target);
    return result;
}

}  // namespace

int copyUnmasked(HANDLE source, HANDLE target, int64_t length) {
    unsigned char buffer[kExtractChunk];
    int64_t total = 0;
    while (total < length) {
        int64_t left = length - total;
        DWORD ask = left < static_cast<int64_t>(kExtractChunk) ? static_cast<DWORD>(left)
                                                                 : static_cast<DWORD>(kExtractChunk);
        DWORD got = 0;
        // A clean end of file leaves the last error alone: report 0 then.
        SetLastError(ERROR_SUCCESS);
        BOOL ok = ReadFile(source, buffer, ask, &got, nullptr);
        if (!ok || got == 0) {
            int error = static_cast<int>(GetLastError());
            logError(L"ReadFile failed %d %d %I64d", static_cast<int>(got), error, static_cast<long long>(total));
            return kExtractReadFailed;
        }
        unmaskBytes(buffer, got);
        DWORD unwritten = writeAll(target, buffer, got);
        if (unwritten != 0) {
            logError(L"WriteFile failed %d %d", static_cast<int>(unwritten), static_cast<int>(GetLastError()));
            return kExtractWriteFailed;
        }
        total += got;
    }
    return 0;
}

int extractOneFile(HANDLE executable, const char* target) {
    HandleByteSource source(executable);
    int64_t length = 0;
    BlockError error = BlockError::None;
    if (!readLong(source, &length, &error)) failFileArea(error);
    logLine(L"extracting %S (size: %I64d)", target, static_cast<long long>(length));
    if (length <= 0) return 0;

    HANDLE file = CreateFileA(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) fatalInternalError(InternalError::ExtractedFileNotCreated);
    int result = copyUnmasked(executable, file, length);
    // Closed on failure too: the file was opened without sharing, and the
    // exit clean-up could not delete it while the handle stays open.
    CloseHandle(file);
    return result;
}

int extractEmbeddedFiles(bool mayCreateDirectory) {
    logLine(L"extracting files");
    int count = getConfigInt(key::EmbeddedFileCount);
    logLine(L"Included files: %d", count);
    // A negative count holds no records, like every count of the block.
    if (count <= 0) {
        if (mayCreateDirectory) tempDirectory[0] = 0;
        return 0;
    }
    if (mayCreateDirectory) createTempDirectory();

    HANDLE executable = openLauncherExecutable();
    HandleByteSource source(executable);
    if (!source.seek(configFileAreaOffset())) {
        logLine(L"error %d\n", source.lastError());
        failFileArea(BlockError::ReadLong);
    }

    std::string names = getConfigCopy(key::EmbeddedFileNames);
    char* cursor = &names[0];
    // Names beyond the count are ignored; with fewer names than the count
    // the remaining records are left unread.
    char* name = nullptr;
    for (int handled = 0; handled < count && (name = nextEmbeddedName(&cursor)) != nullptr; ++handled) {
        int result = extractNamed(executable, name);
        if (result != 0) {
            CloseHandle(executable);
            return result;
        }
    }
    unextractedBytes = source.position();
    CloseHandle(executable);
    logLine(L"extracting files done");
    return 0;
}

uint64_t unextractedPosition() { return unextractedBytes; }
