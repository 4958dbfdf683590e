// ShellExecuteA: the shell hands a file, folder or address to the front end, which opens what it
// can; the program only learns whether the file was there.
#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/standin/files.h"
#include "platform/standin/machine.h"
#include "platform/standin/paths.h"
#include "platform/standin/shell/shell_shared.h"
#include "platform/standin/ui/desktop.h"

namespace {

constexpr uintptr_t kStarted = 42;      // any value above 32 tells success
constexpr DWORD kNoAssociation = 1155;  // ERROR_NO_ASSOCIATION

bool sameWord(const char* a, const char* b) {
    return strcasecmp(a, b) == 0;
}

// "https://...", "mailto:...": a scheme of two or more characters before the colon, so that a
// drive letter is none.
bool isAddress(const std::string& file) {
    size_t colon = file.find(':');
    if (colon == std::string::npos || colon < 2 || !isalpha(static_cast<unsigned char>(file[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(file[i]);
        if (!isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

bool isAbsolute(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') ||
           (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

HINSTANCE failure(DWORD error, int code) {
    SetLastError(error);
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(code));
}

}  // namespace

HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand) {
    if (verb && *verb && !sameWord(verb, "open") && !sameWord(verb, "explore")) {
        return failure(kNoAssociation, SE_ERR_NOASSOC);
    }
    if (!file || !*file)
        return failure(ERROR_FILE_NOT_FOUND, SE_ERR_FNF);
    std::string given = file;
    std::string target;
    if (isAddress(given)) {
        if (!standin::cp932ToUtf8(given, target))
            return failure(ERROR_INVALID_NAME, SE_ERR_FNF);
    } else {
        // A relative name is looked for in the given directory, else in the current one.
        std::string path = !isAbsolute(given) && directory && *directory
                               ? std::string(directory) + "\\" + given
                               : given;
        DWORD error = ERROR_SUCCESS;
        struct stat info;
        if (!standin::hostPathOf(path.c_str(), target, &error)) {
            return failure(error, error == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF : SE_ERR_FNF);
        }
        if (stat(target.c_str(), &info) != 0) {
            // Nothing is opened and the front end is not told, as Windows opens nothing.
            error = standin::win32ErrorOf(errno, target);
            return failure(error, error == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF : SE_ERR_FNF);
        }
    }
    standin::ui::Event opened;
    opened.kind = standin::ui::Event::Open;
    opened.window = owner;
    opened.text = given;
    opened.caption = parameters ? parameters : "";
    opened.type = static_cast<UINT>(showCommand);
    opened.target = target;
    standin::ui::emit(opened);
    return reinterpret_cast<HINSTANCE>(kStarted);
}
