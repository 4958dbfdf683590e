// The machine root, its settings file and the code page conversions of the stand-in.
#include "platform/standin/machine.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cctype>
#include <fstream>
#include <sstream>

namespace standin {
namespace {

const char kDefaultDrives[] =
    "# <letter>: <type> <label> <folder>\n"
    "#   type: fixed cdrom removable ramdisk remote\n"
    "#   label: a word, \"\" for an empty label, - for a volume that cannot be read\n"
    "#   folder: the rest of the line, relative to the machine root or absolute\n"
    "c: fixed \"\" drive_c\n"
    "z: fixed \"\" /\n";

bool makeFolders(const std::string& path) {
    for (size_t slash = 1; slash <= path.size(); ++slash) {
        if (slash != path.size() && path[slash] != '/') continue;
        std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Writes the file through a temporary name so that a second process never sees half of it.
bool writeFileOnce(const std::string& path, const char* content) {
    if (access(path.c_str(), F_OK) == 0) return true;
    std::string temporary = path + ".new." + std::to_string(getpid());
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    size_t length = strlen(content);
    bool written = write(fd, content, length) == static_cast<ssize_t>(length);
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string defaultRoot() {
    const char* data = getenv("XDG_DATA_HOME");
    if (data && *data) return std::string(data) + "/windows-machine";
    const char* home = getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/windows-machine";
}

bool convert(const char* to, const char* from, std::string_view in, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(in.size() * 3 + 4, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) return false;
    out.resize(out.size() - outLeft);
    return true;
}

}  // namespace

void reportProblem(const std::string& message) { fprintf(stderr, "windows machine: %s\n", message.c_str()); }

std::string machineRoot() {
    const char* configured = getenv("WINDOWS_ROOT");
    std::string root = configured && *configured ? configured : defaultRoot();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    std::string drives = root + "/drives";
    if (access(drives.c_str(), F_OK) == 0) return root;
    // Drive c: holds the folders that every Windows installation has and the shell names.
    if (!makeFolders(root) || !makeFolders(root + "/drive_c/Program Files") ||
        !makeFolders(root + "/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs") ||
        !writeFileOnce(drives, kDefaultDrives)) {
        reportProblem("cannot create the machine root " + root + ": " + strerror(errno));
        return {};
    }
    return root;
}

std::string machinePath(std::string_view name) {
    std::string root = machineRoot();
    if (root.empty()) return {};
    return root + "/" + std::string(name);
}

Settings readSettings() {
    Settings settings;
    std::string path = machinePath("settings");
    std::ifstream file(path);
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword) || keyword[0] == '#') continue;
        bool understood = false;
        if (keyword == "workarea") {
            understood = static_cast<bool>(words >> settings.workArea[0] >> settings.workArea[1] >>
                                           settings.workArea[2] >> settings.workArea[3]);
        } else if (keyword == "freespace") {
            std::string drive;
            uint64_t megabytes = 0;
            understood = (words >> drive >> megabytes) && drive.size() == 2 && drive[1] == ':' &&
                         isalpha(static_cast<unsigned char>(drive[0]));
            if (understood) settings.freeMegabytes[tolower(drive[0])] = megabytes;
        } else if (keyword == "opener") {
            std::getline(words >> std::ws, settings.opener);
            understood = !settings.opener.empty();
        } else if (keyword == "fail") {
            std::string operation, code;
            understood = static_cast<bool>(words >> operation);
            std::optional<uint32_t> result;
            if (understood && words >> code) {
                char* end = nullptr;
                unsigned long value = strtoul(code.c_str(), &end, 0);
                understood = *end == '\0';
                result = static_cast<uint32_t>(value);
            }
            if (understood) settings.failures[operation] = result;
        }
        std::string rest;
        if (!understood || (keyword != "opener" && words >> rest)) {
            reportProblem(path + ":" + std::to_string(number) + ": cannot read \"" + line + "\"");
            settings.valid = false;
        }
    }
    return settings;
}

bool injectedFailure(std::string_view operation, uint32_t fallback, uint32_t* result) {
    Settings settings = readSettings();
    auto failure = settings.failures.find(std::string(operation));
    if (failure == settings.failures.end()) return false;
    *result = failure->second.value_or(fallback);
    return true;
}

std::string foldName932(std::string_view name) {
    std::string folded(name);
    for (size_t i = 0; i < folded.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(folded[i]);
        if (isLeadByte932(byte)) {
            ++i;
        } else if (byte >= 'a' && byte <= 'z') {
            folded[i] = static_cast<char>(byte - 'a' + 'A');
        }
    }
    return folded;
}

bool cp932ToUtf8(std::string_view cp932, std::string& utf8) {
    return convert("UTF-8", "CP932", cp932, utf8);
}

bool utf8ToCp932(std::string_view utf8, std::string& cp932) {
    return convert("CP932", "UTF-8", utf8, cp932);
}

bool utf16ToCp932(std::u16string_view utf16, std::string& cp932) {
    // Spelled out as little-endian bytes so that the host's byte order does not matter.
    std::string bytes;
    bytes.reserve(utf16.size() * 2);
    for (char16_t unit : utf16) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return convert("CP932", "UTF-16LE", bytes, cp932);
}

}  // namespace standin
