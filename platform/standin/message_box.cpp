// Message boxes on the stand-in: answered by the test driver when one is set, else shown on
// standard output as a line of the plain protocol and answered as a user who walks away would.
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/standin/machine.h"
#include "platform/standin/test_machine.h"
#include "platform/user.h"

namespace {
std::mutex answererLock;
standin::MessageBoxAnswerer answerer;

std::string quoted(const char* cp932) {
    std::string utf8;
    if (!standin::cp932ToUtf8(cp932 ? cp932 : "", utf8)) utf8 = "?";
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}
}  // namespace

namespace standin {
void setMessageBoxAnswerer(MessageBoxAnswerer newAnswerer) {
    std::lock_guard<std::mutex> hold(answererLock);
    answerer = std::move(newAnswerer);
}
}  // namespace standin

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    bool yesNo = (type & 0xF) == MB_YESNO;
    standin::MessageBoxAnswerer current;
    {
        std::lock_guard<std::mutex> hold(answererLock);
        current = answerer;
    }
    if (current) return current(owner, text ? text : "", caption ? caption : "", type);
    printf("messagebox %s %s %s\n", quoted(caption).c_str(), quoted(text).c_str(),
           yesNo ? "yesno" : "ok");
    fflush(stdout);
    return yesNo ? IDNO : IDOK;
}
