// Kernel service (KERNEL32): drives and volumes, the program's own path, the current directory.
//
// Operations that fail set the last error (GetLastError). Paths are code page 932 texts.
#pragma once

#include "platform/win_types.h"

#ifndef _WIN32
#define DRIVE_UNKNOWN 0
#define DRIVE_NO_ROOT_DIR 1
#define DRIVE_REMOVABLE 2
#define DRIVE_FIXED 3
#define DRIVE_REMOTE 4
#define DRIVE_CDROM 5
#define DRIVE_RAMDISK 6

// The type of the drive whose root is given ("e:\"); null means the current directory's drive.
UINT WINAPI GetDriveTypeA(LPCSTR rootPath);
// Fails (ERROR_NOT_READY) when the volume cannot be read, e.g. a CD-ROM drive without a disc.
// Every output may be null.
BOOL WINAPI GetVolumeInformationA(LPCSTR rootPath, LPSTR volumeName, DWORD volumeNameSize,
                                  LPDWORD serialNumber, LPDWORD maxComponentLength,
                                  LPDWORD fileSystemFlags, LPSTR fileSystemName,
                                  DWORD fileSystemNameSize);
// The running program's full path. Returns its length; when the buffer is too small, the text is
// cut to size - 1 bytes, the result is size and the last error ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
BOOL WINAPI SetCurrentDirectoryA(LPCSTR path);
// Returns the length without the terminator, or the size needed with it when it does not fit.
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer);
#endif
