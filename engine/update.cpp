// The update: every listed file in the product folder beside the program replaces the installed
// file of the same name and gives it its times; the user learns whether all of them arrived.
#include <cstring>

#include "engine/setup_engine.h"
#include "engine/text.h"
#include "platform/user.h"

namespace {

const char kUpdateCompleted[] = "アップデートが完了しました。";
const char kUpdateIncomplete[] = "%s\nをアップデートできませんでした。\nアップデートは完了していません。";
const char kCompletionCaption[] = "終了";
const char kWarningCaption[] = "確認";

bool exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// Gives the destination the source's creation, last-access and last-write times. False when
// the destination cannot be opened at all.
bool copyFileTimes(const char* destination, const char* source) {
    HANDLE from = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (from == INVALID_HANDLE_VALUE) return true;
    HANDLE to = CreateFileA(destination, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (to == INVALID_HANDLE_VALUE) {
        CloseHandle(from);
        return false;
    }
    FILETIME created, accessed, written;
    GetFileTime(from, &created, &accessed, &written);
    SetFileTime(to, &created, &accessed, &written);
    CloseHandle(from);
    CloseHandle(to);
    return true;
}

}  // namespace

void SetupEngine::runUpdate() {
    if (GetModuleFileNameA(nullptr, sourceDir, MAX_PATH) >= MAX_PATH) sourceDir[0] = '\0';
    if (char* separator = lastSeparator(sourceDir)) *separator = '\0';

    // The first file that did not arrive; the update goes on past it, as far as it can.
    const char* failedFile = nullptr;
    bool stopped = false;
    for (StringList list : {installFiles, updateFiles}) {
        for (size_t i = 0; list && list[i][0] != '\0' && !stopped; ++i) {
            char source[MAX_PATH];
            char destination[MAX_PATH];
            bool replaced = false;
            if (formatText(source, sizeof source, "%s\\%s\\%s", sourceDir, productFolder, list[i]) &&
                formatText(destination, sizeof destination, "%s\\%s", installDir, list[i])) {
                // Cleared before the copy too, so that a read-only file receives the new content.
                SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
                replaced = copyFile(destination, source);
                SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
                if (!replaced && !exists(source)) continue;
            }
            // A destination that cannot be opened for its times ends the update there.
            stopped = replaced && !copyFileTimes(destination, source);
            if ((!replaced || stopped) && !failedFile) failedFile = list[i];
        }
    }

    if (failedFile) {
        char message[1024];
        formatText(message, sizeof message, kUpdateIncomplete, failedFile);
        MessageBoxA(ownerWindow, message, kWarningCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    MessageBoxA(ownerWindow, kUpdateCompleted, kCompletionCaption, MB_OK | MB_ICONWARNING);
}
