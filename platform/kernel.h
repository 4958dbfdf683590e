// Kernel service (KERNEL32): drives and volumes, the program's own path, the current directory,
// files.
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

// ---- Files ----------------------------------------------------------------------------------
// Handles are the program's own: only CreateFileA makes them. Share modes bind every open of the
// process, handles and C streams alike (fopen shares reading and writing). Read-only is enforced
// for every user, root included.

#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_NOT_SAME_DEVICE 17L
#define ERROR_WRITE_PROTECT 19L
#define ERROR_GEN_FAILURE 31L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_BUSY 170L
#define ERROR_FILE_TOO_LARGE 223L
#define ERROR_DIRECTORY 267L

#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define GENERIC_ALL 0x10000000
#define FILE_WRITE_ATTRIBUTES 0x00000100

#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_FLAG_WRITE_THROUGH 0x80000000
#define FILE_FLAG_RANDOM_ACCESS 0x10000000
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000

#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_WRITE_THROUGH 0x00000008

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

// Asynchronous I/O has no place on the stand-in: every OVERLAPPED argument must be null.
struct _OVERLAPPED;
typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

// Opens or creates a file; INVALID_HANDLE_VALUE on failure. Access: GENERIC_READ, GENERIC_WRITE,
// GENERIC_ALL, FILE_WRITE_ATTRIBUTES or 0 (no data access: takes no part in sharing). A file made
// here gets the given READONLY, HIDDEN, SYSTEM attributes and ARCHIVE; CREATE_ALWAYS over a file
// replaces its attributes so, and is refused (ERROR_ACCESS_DENIED) over a hidden or system file
// whose attributes are not asked for. CREATE_ALWAYS and OPEN_ALWAYS leave ERROR_ALREADY_EXISTS,
// or 0 for a new file, as the last error. Folders cannot be opened (ERROR_ACCESS_DENIED); flags
// beyond write-through and the access hints, a template and any other disposition give
// ERROR_INVALID_PARAMETER. The security attributes are ignored.
HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
// Ends a handle; its share mode stops binding at once.
BOOL WINAPI CloseHandle(HANDLE object);
// Reads up to toRead bytes from the handle's position; at the end of the file it succeeds with
// fewer, or none. bytesRead is required, overlapped must be null.
BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD bytesRead,
                     LPOVERLAPPED overlapped);
// Writes all the bytes or fails; *bytesWritten tells how many reached the file even then (a full
// disk fails with ERROR_DISK_FULL after a part).
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD bytesWritten,
                      LPOVERLAPPED overlapped);
// The size's low 32 bits; the high ones through fileSizeHigh when given. INVALID_FILE_SIZE on
// failure; a size whose low word is that value leaves NO_ERROR as the last error.
DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
// Puts the file's content on the disk; needs write access.
BOOL WINAPI FlushFileBuffers(HANDLE file);
// Any output may be null. A file whose creation time was never set reports the host's birth time,
// or its last write time where the host file system keeps none.
BOOL WINAPI GetFileTime(HANDLE file, LPFILETIME creationTime, LPFILETIME lastAccessTime,
                        LPFILETIME lastWriteTime);
// A null time, or one of zero, is left as it is. Needs GENERIC_WRITE or FILE_WRITE_ATTRIBUTES.
BOOL WINAPI SetFileTime(HANDLE file, const FILETIME* creationTime, const FILETIME* lastAccessTime,
                        const FILETIME* lastWriteTime);
// INVALID_FILE_ATTRIBUTES on failure; FILE_ATTRIBUTE_NORMAL alone when nothing else is set.
DWORD WINAPI GetFileAttributesA(LPCSTR fileName);
// Keeps READONLY, HIDDEN, SYSTEM and ARCHIVE; the others are accepted and not kept.
BOOL WINAPI SetFileAttributesA(LPCSTR fileName, DWORD fileAttributes);
// Copies content, attributes and the last write time; the copy's creation and last access times
// are its own, as with Windows' copy (a replaced file keeps its creation time). With failIfExists
// an existing file gives ERROR_FILE_EXISTS; a read-only one is never replaced
// (ERROR_ACCESS_DENIED). A failed copy leaves no destination behind.
BOOL WINAPI CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists);
// Refused for a read-only file (ERROR_ACCESS_DENIED) and for a file open without
// FILE_SHARE_DELETE (ERROR_SHARING_VIOLATION); an open that shares deletion keeps its data.
BOOL WINAPI DeleteFileA(LPCSTR fileName);
// Renames a file or folder within its drive's host file system (ERROR_NOT_SAME_DEVICE across).
// Flags: MOVEFILE_REPLACE_EXISTING, MOVEFILE_WRITE_THROUGH. An existing target without
// REPLACE_EXISTING gives ERROR_ALREADY_EXISTS; a read-only, open or folder target is never
// replaced (ERROR_ACCESS_DENIED); a source open without FILE_SHARE_DELETE gives
// ERROR_SHARING_VIOLATION. A change of case alone renames the file.
BOOL WINAPI MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags);
// ERROR_ALREADY_EXISTS when the name is taken, ERROR_PATH_NOT_FOUND without the parent folder.
BOOL WINAPI CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES securityAttributes);
// Only an empty folder goes (ERROR_DIR_NOT_EMPTY); a file gives ERROR_DIRECTORY.
BOOL WINAPI RemoveDirectoryA(LPCSTR pathName);

// ---- Long paths, wide texts (for the shell)

typedef char16_t WCHAR;  // UTF-16 units, as Windows' wchar_t holds them
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

typedef struct _WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

// The path with each component spelled as the file system stores it (the drive letter as
// given); 0 with ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when a folder on the way is
// missing. Returns the length, or the size needed with the terminator when it does not fit.
DWORD WINAPI GetLongPathNameA(LPCSTR shortPath, LPSTR longPath, DWORD size);

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define ERROR_NO_UNICODE_TRANSLATION 1113L

// Code page 932 (CP_ACP, CP_OEMCP, 932) or UTF-8 (CP_UTF8) to UTF-16. A length of -1 takes the
// text with its terminator. Returns the units written, or needed when wideSize is 0; 0 with
// ERROR_INSUFFICIENT_BUFFER when they do not fit. Bytes that are no character fail with
// MB_ERR_INVALID_CHARS (ERROR_NO_UNICODE_TRANSLATION) and become U+FFFD without it.
int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                               int wideSize);
// ---- Threads

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID parameter);

// Starts the routine on a new thread (flags 0: at once). The handle is the caller's, released
// with CloseHandle, which lets the thread run on.
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, size_t stackSize,
                           LPTHREAD_START_ROUTINE startAddress, LPVOID parameter, DWORD flags,
                           LPDWORD threadId);
// Ends the calling thread, which must be one that CreateThread started.
void WINAPI ExitThread(DWORD exitCode);
DWORD WINAPI GetCurrentThreadId();
// 0 gives the rest of the time slice to another thread.
void WINAPI Sleep(DWORD milliseconds);
// ---- Searches and volumes

typedef union _ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    uint64_t QuadPart;
} ULARGE_INTEGER, *PULARGE_INTEGER;


// The entries of a folder whose names match the last component of fileName (* and ? allowed,
// without regard to the case of single-byte letters). INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND when none does; the search is released with FindClose.
HANDLE WINAPI FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData);
BOOL WINAPI FindNextFileA(HANDLE search, LPWIN32_FIND_DATAA findData);
BOOL WINAPI FindClose(HANDLE search);
// The volume's free bytes: for the caller, in all, and free in all. Any output may be null.
BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER freeBytesAvailable,
                                PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes);
#endif
