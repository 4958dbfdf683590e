// Narrow texts to UTF-16.
#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "platform/standin/machine.h"
#include "platform/standin/shell/shell_shared.h"

namespace standin::shell {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Converts through iconv; a byte that starts no character becomes U+FFFD, or fails the whole
// text when `strict`.
bool decode(const char* codePage, std::string_view text, bool strict, std::u16string& out) {
    out.clear();
    iconv_t cd = iconv_open("UTF-16LE", codePage);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    bool ok = true;
    while (inLeft > 0) {
        char buffer[256];
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        int problem = rc == static_cast<size_t>(-1) ? errno : 0;
        for (const char* unit = buffer; unit + 1 < outPtr; unit += 2) {
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(unit[0]) |
                                                static_cast<unsigned char>(unit[1]) << 8));
        }
        if (problem == 0 || problem == E2BIG)
            continue;
        if (strict) {
            ok = false;
            break;
        }
        out.push_back(kReplacement);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return ok;
}

}  // namespace

bool cp932ToUtf16(std::string_view cp932, std::u16string& utf16) {
    return decode("CP932", cp932, true, utf16);
}

void copyCut(std::string_view text, char* buffer, size_t size) {
    size_t fit = 0;
    while (fit < text.size()) {
        size_t next = fit + (isLeadByte932(static_cast<unsigned char>(text[fit])) ? 2 : 1);
        if (next > size - 1 || next > text.size())
            break;
        fit = next;
    }
    memcpy(buffer, text.data(), fit);
    buffer[fit] = '\0';
}

}  // namespace standin::shell

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                               int wideSize) {
    const char* name = nullptr;
    if (codePage == CP_ACP || codePage == CP_OEMCP || codePage == 932)
        name = "CP932";
    if (codePage == CP_UTF8)
        name = "UTF-8";
    if (!name || !text || length == 0 || length < -1 || wideSize < 0 || (wideSize > 0 && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t size = length == -1 ? strlen(text) + 1 : static_cast<size_t>(length);
    std::u16string converted;
    if (!standin::shell::decode(name, std::string_view(text, size),
                                (flags & MB_ERR_INVALID_CHARS) != 0, converted)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    int needed = static_cast<int>(converted.size());
    if (wideSize == 0)
        return needed;
    if (needed > wideSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    memcpy(wide, converted.data(), converted.size() * sizeof(char16_t));
    return needed;
}
