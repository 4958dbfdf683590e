// The stand-in machine: its root folder, its settings and the services its parts share.
// Only the stand-in includes this header.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace standin {

// The machine root as a host path without a trailing slash: $WINDOWS_ROOT, else a default under
// the user's data folder. Created on first use with the default drives file and drive c:'s
// folder, which holds Program Files and the common start menu's Programs folder. Empty when it
// cannot be made (the reason is on standard error).
std::string machineRoot();

// A host path inside the machine root.
std::string machinePath(std::string_view name);

// The machine's `settings` file: what a scenario gives the machine beyond its drives.
struct Settings {
    bool valid = true;  // false when a line could not be read (each one is reported)
    int workArea[4] = {0, 0, 1024, 768};
    std::map<char, uint64_t> freeMegabytes;  // by lowercase drive letter
    std::string opener;
    std::map<std::string, std::optional<uint32_t>> failures;  // operation -> result it gives
};
Settings readSettings();

// True when the machine's settings hold `fail <operation> [<result>]`; *result receives the
// result given there, or `fallback` when the line gives none.
bool injectedFailure(std::string_view operation, uint32_t fallback, uint32_t* result);

// Threads that CreateThread started and that have not ended.
int threadsRunning();

// Every complaint about the machine's own files goes to standard error through here, so that a
// bad line or a damaged file is never passed over in silence.
void reportProblem(const std::string& message);

// The first byte of a code page 932 double-byte character, whose second byte may look like a
// letter or a backslash (ア is 83 41, ソ is 83 5C).
inline bool isLeadByte932(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The form in which Windows' names (registry keys and values, window classes) are compared:
// single-byte letters upper-cased, double-byte characters untouched.
std::string foldName932(std::string_view name);

// Text conversions through iconv. False when the input is not valid in its code page.
bool cp932ToUtf8(std::string_view cp932, std::string& utf8);
bool utf8ToCp932(std::string_view utf8, std::string& cp932);
bool utf16ToCp932(std::u16string_view utf16, std::string& cp932);

}  // namespace standin
