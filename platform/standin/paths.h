// The stand-in's drives and the translation between Windows paths and host paths.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"

namespace standin {

// One line of the machine's drives file.
struct Drive {
    char letter = 0;             // lowercase
    UINT type = 0;               // DRIVE_FIXED, DRIVE_CDROM, ...
    bool labelReadable = false;  // false for a volume whose information cannot be read
    std::string label;           // code page 932
    std::string hostFolder;      // absolute host path without a trailing slash (except "/")
};

// Reads the drives file. False, with each bad line reported, when a line cannot be read.
bool readDrives(std::vector<Drive>& drives);
// The drive of a letter from the drives file; false when the letter has no line or the file
// cannot be read.
bool findDrive(char letter, Drive& drive);

// The absolute Windows form of a path: drive letter, backslashes, "." and ".." resolved against
// the current directory. False (with the Win32 error in *error) for a path it cannot take.
bool fullWindowsPath(const char* windowsPath, std::string& full, DWORD* error);
// The host path of a Windows path: each existing component matched case-insensitively against
// what the host holds, the rest taken as written.
bool hostPathOf(const char* windowsPath, std::string& hostPath, DWORD* error);
// The Windows form of a host path, through the drive whose folder holds it most closely.
bool windowsPathOf(const std::string& hostPath, std::string& windowsPath);

}  // namespace standin
