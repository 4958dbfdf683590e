// Drives and volumes of the stand-in machine, from the drives file in its root.
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/kernel.h"
#include "platform/standin/machine.h"
#include "platform/standin/paths.h"

namespace standin {
namespace {

struct DriveTypeName {
    const char* name;
    UINT type;
};
const DriveTypeName kDriveTypes[] = {
    {"fixed", DRIVE_FIXED},       {"cdrom", DRIVE_CDROM},   {"removable", DRIVE_REMOVABLE},
    {"ramdisk", DRIVE_RAMDISK},   {"remote", DRIVE_REMOTE},
};

bool parseLabel(std::istringstream& words, Drive& drive) {
    words >> std::ws;
    std::string label;
    if (words.peek() == '"') {
        words.get();
        if (!std::getline(words, label, '"')) return false;
    } else if (!(words >> label)) {
        return false;
    } else if (label == "-") {
        drive.labelReadable = false;
        return true;
    }
    drive.labelReadable = true;
    return utf8ToCp932(label, drive.label);
}

bool parseDriveLine(const std::string& line, const std::string& root, Drive& drive) {
    std::istringstream words(line);
    std::string letter, type;
    if (!(words >> letter >> type) || letter.size() != 2 || letter[1] != ':' ||
        !isalpha(static_cast<unsigned char>(letter[0]))) {
        return false;
    }
    drive.letter = static_cast<char>(tolower(letter[0]));
    drive.type = DRIVE_UNKNOWN;
    for (const DriveTypeName& known : kDriveTypes) {
        if (type == known.name) drive.type = known.type;
    }
    if (drive.type == DRIVE_UNKNOWN || !parseLabel(words, drive)) return false;
    std::string folder;
    std::getline(words >> std::ws, folder);
    while (!folder.empty() && isspace(static_cast<unsigned char>(folder.back()))) folder.pop_back();
    if (folder.empty()) return false;
    drive.hostFolder = folder[0] == '/' ? folder : root + "/" + folder;
    while (drive.hostFolder.size() > 1 && drive.hostFolder.back() == '/') drive.hostFolder.pop_back();
    return true;
}

}  // namespace

bool readDrives(std::vector<Drive>& drives) {
    drives.clear();
    std::string root = machineRoot();
    if (root.empty()) return false;
    std::string path = root + "/drives";
    std::ifstream file(path);
    if (!file) {
        reportProblem("cannot read " + path);
        return false;
    }
    bool valid = true;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        Drive drive;
        bool duplicate = false;
        bool parsed = parseDriveLine(line, root, drive);
        for (const Drive& earlier : drives) duplicate = duplicate || earlier.letter == drive.letter;
        if (!parsed || duplicate) {
            reportProblem(path + ":" + std::to_string(number) + ": cannot read \"" + line +
                          "\" (expected <letter>: <type> <label> <folder>" +
                          (duplicate ? ", each letter once)" : ")"));
            valid = false;
            continue;
        }
        drives.push_back(drive);
    }
    return valid;
}

bool findDrive(char letter, Drive& drive) {
    std::vector<Drive> drives;
    if (!readDrives(drives)) return false;
    for (const Drive& candidate : drives) {
        if (candidate.letter == tolower(static_cast<unsigned char>(letter))) {
            drive = candidate;
            return true;
        }
    }
    return false;
}

}  // namespace standin

namespace {

// The letter of a root such as "e:\" or "e:", or of the current directory for null.
bool rootLetter(LPCSTR rootPath, char* letter) {
    std::string current;
    if (!rootPath) {
        DWORD ignored;
        if (!standin::fullWindowsPath(".", current, &ignored)) return false;
        rootPath = current.c_str();
    }
    size_t length = strlen(rootPath);
    if (length < 2 || length > 3 || !isalpha(static_cast<unsigned char>(rootPath[0])) ||
        rootPath[1] != ':' || (length == 3 && rootPath[2] != '\\' && rootPath[2] != '/')) {
        return false;
    }
    *letter = static_cast<char>(tolower(static_cast<unsigned char>(rootPath[0])));
    return true;
}

const char* fileSystemNameOf(UINT type) {
    switch (type) {
        case DRIVE_CDROM: return "CDFS";
        case DRIVE_REMOVABLE:
        case DRIVE_RAMDISK: return "FAT32";
        default: return "NTFS";
    }
}

bool copyOut(const std::string& text, LPSTR out, DWORD size) {
    if (!out) return true;
    if (text.size() + 1 > size) return false;
    memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

}  // namespace

UINT WINAPI GetDriveTypeA(LPCSTR rootPath) {
    char letter = 0;
    if (!rootLetter(rootPath, &letter)) return DRIVE_NO_ROOT_DIR;
    std::vector<standin::Drive> drives;
    if (!standin::readDrives(drives)) return DRIVE_UNKNOWN;
    for (const standin::Drive& drive : drives) {
        if (drive.letter == letter) return drive.type;
    }
    return DRIVE_NO_ROOT_DIR;
}

BOOL WINAPI GetVolumeInformationA(LPCSTR rootPath, LPSTR volumeName, DWORD volumeNameSize,
                                  LPDWORD serialNumber, LPDWORD maxComponentLength,
                                  LPDWORD fileSystemFlags, LPSTR fileSystemName,
                                  DWORD fileSystemNameSize) {
    char letter = 0;
    standin::Drive drive;
    if (!rootLetter(rootPath, &letter) || !standin::findDrive(letter, drive)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    struct stat folder;
    if (!drive.labelReadable || stat(drive.hostFolder.c_str(), &folder) != 0 ||
        !S_ISDIR(folder.st_mode)) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    if (!copyOut(drive.label, volumeName, volumeNameSize) ||
        !copyOut(fileSystemNameOf(drive.type), fileSystemName, fileSystemNameSize)) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    // A stable serial per drive and label, as a disc keeps its own.
    DWORD serial = 2166136261u ^ static_cast<unsigned char>(letter);
    for (char c : drive.label) serial = (serial ^ static_cast<unsigned char>(c)) * 16777619u;
    if (serialNumber) *serialNumber = serial;
    if (maxComponentLength) *maxComponentLength = 255;
    if (fileSystemFlags) *fileSystemFlags = 0x6;  // case-preserved names, Unicode on disk
    return TRUE;
}
