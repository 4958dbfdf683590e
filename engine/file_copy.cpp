// Block copy with the cancel protocol. The copy goes into a temporary file beside the
// destination, which replaces the destination only once it holds the whole source: a full disk,
// a read error, a cancel or a killed process never leaves an installed file cut short.
#include "engine/file_copy.h"

#include <cstdio>

#include "engine/setup_engine.h"
#include "engine/text.h"

unsigned char copyBuffer[kCopyBlockSize];

namespace {

// The source's size and the copy's size must agree exactly before the copy may replace anything.
bool holdsWholeSource(const char* temporary, uint32_t sourceSize) {
    return fileSize(temporary) == sourceSize;
}

bool replaceWith(const char* temporary, const char* destination) {
    if (MoveFileExA(temporary, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteFileA(temporary);
    return false;
}

// Requested becomes Acknowledged at a block boundary; the other states go on copying.
bool acknowledgeCancel(std::atomic<CancelState>& cancelState) {
    if (cancelState != CancelState::Requested) return false;
    cancelState = CancelState::Acknowledged;
    return true;
}

}  // namespace

uint32_t fileSize(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD size = GetFileSize(file, nullptr);
    CloseHandle(file);
    return size;
}

bool SetupEngine::copyFile(const char* destination, const char* source) {
    char temporary[MAX_PATH];
    if (!formatText(temporary, sizeof temporary, "%s.~tmp", destination)) return false;
    DWORD attributes = GetFileAttributesA(destination);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
    srcFile = fopen(source, "rb");
    if (!srcFile) return false;
    dstFile = fopen(temporary, "wb");
    if (!dstFile) {
        fclose(srcFile);
        srcFile = nullptr;
        return false;
    }
    uint32_t countOnEntry = bytesCopied;
    bool cutOff = acknowledgeCancel(cancelState);
    bool written = true;
    while (!cutOff) {
        size_t read = fread(copyBuffer, 1, kCopyBlockSize, srcFile);
        bytesCopied += static_cast<uint32_t>(read);
        written = fwrite(copyBuffer, 1, read, dstFile) == read && written;
        if (read < kCopyBlockSize) {
            written = !ferror(srcFile) && written;
            break;
        }
        cutOff = acknowledgeCancel(cancelState);
    }
    fclose(srcFile);
    written = fclose(dstFile) == 0 && written;
    srcFile = dstFile = nullptr;

    uint32_t sourceSize = fileSize(source);
    bool whole = written && holdsWholeSource(temporary, sourceSize);
    if (cutOff || (!whole && cancelState != CancelState::None)) {
        // A cancelled copy leaves the destination as it was.
        DeleteFileA(temporary);
        return true;
    }
    if (!whole) {
        // Once more with the platform's whole-file copy, which counts as the whole source.
        CopyFileA(source, temporary, FALSE);
        bytesCopied = countOnEntry + sourceSize;
        whole = holdsWholeSource(temporary, sourceSize);
    }
    if (!whole) {
        DeleteFileA(temporary);
        return false;
    }
    return replaceWith(temporary, destination);
}
