// The setup engine's one record: the product's lists and names, its directories, the install
// record's key, the component choice and the state of a running copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "platform/kernel.h"
#include "platform/registry.h"

// A file list of the engine's own: pointers to separately allocated 32-byte slots, ended by a
// slot that holds the empty text (there is no null pointer at the end).
typedef char** StringList;
constexpr size_t kStringSlotSize = 32;

// The install record's key under HKEY_LOCAL_MACHINE; defined by the product's tables.
extern const char registryKey[];

// What the drive types mean to the source search.
enum DriveClass : int32_t {
    DriveNone = 0,
    DriveFixed = 1,
    DriveCdRom = 2,
    DriveRemovable = 3,
    DriveRamDisk = 4,
    DriveNetwork = 5,
};

// How a cancel request travels from the Abort command to the copy and its worker. Each step has
// one writer: Requested the dialog, Acknowledged copyFile, Stopped the worker, None before a run.
enum class CancelState : int32_t {
    None = 0,
    Requested = 1,
    Acknowledged = 2,
    Stopped = 3,
};

constexpr size_t kSelectableSlots = 20;

struct SetupEngine {
    StringList installFiles = nullptr;
    StringList updateFiles = nullptr;
    StringList volumeLabels = nullptr;
    char makerName[MAX_PATH] = "";
    char productFolder[MAX_PATH] = "";
    char productTitle[MAX_PATH] = "";
    char installDir[MAX_PATH] = "";
    char sourceDir[MAX_PATH] = "";
    char moduleDir[MAX_PATH] = "";
    char registryKeyText[MAX_PATH] = "";
    char startMenuDir[MAX_PATH] = "";
    int32_t volumeLabelCount = 1;
    // The three fields that other threads read while a copy runs are atomic.
    std::atomic<int32_t> copying{0};
    DWORD installType = 0;
    int32_t progressControlId = 0;
    std::atomic<uint32_t> bytesCopied{0};
    uint32_t freeMegabytes = 0;
    uint32_t requiredMegabytes = 0;
    uint32_t workerThreadId = 0;
    FILE* srcFile = nullptr;
    FILE* dstFile = nullptr;
    HWND mainWindow = nullptr;
    HWND ownerWindow = nullptr;
    HKEY installKey = nullptr;
    char installBase[MAX_PATH] = "c:\\Program Files";
    int32_t installed = 0;
    std::atomic<CancelState> cancelState{CancelState::None};
    int32_t firstIndex = 0;
    int32_t endIndex = 9999;
    uint8_t selected[kSelectableSlots] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                          1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    int32_t progressDone = 0;
    int32_t progressShown = 0;
    uint32_t bytesPerStep = 0;

    // Start-up: copies the lists and names, finds the source and reads the install record.
    void initialise(const char* const* installList, const char* const* updateList,
                    const char* const* labelList, HWND mainWindow, HWND ownerWindow,
                    const char* makerName, const char* productTitle, const char* productFolder,
                    uint32_t requiredMegabytes);
    // Sets sourceDir to the first CD-ROM (c: to z:) whose label matches and that holds
    // productFolder\exeName, else to the program's own folder (also kept in moduleDir).
    void locateSource(const char* productFolder, const char* exeName);
    // The drive's class; its volume label goes into labelOut when it can be read, and labelOut
    // keeps what it held when it cannot.
    DriveClass classifyDrive(const char* rootPath, char* labelOut, size_t labelOutSize);
    // Frees oldList and returns a copy of the null-ended configList.
    StringList copyStringList(StringList oldList, const char* const* configList);
    // Frees the lists and closes the install key if it is open; at process exit.
    void release();

    void getSourceDir(char* buffer, size_t bufferSize);
    void setProgressControl(int32_t controlId);
    void setInstallType(DWORD installType, int32_t firstIndex, int32_t endIndex);
    void setRequiredMegabytes(uint32_t megabytes);
    bool isCopying() const;

    // Copies source onto destination (full paths). True when the destination now holds the
    // whole source, or when a cancel request stopped the copy (the destination is then as it
    // was); false when the destination could not receive the source.
    bool copyFile(const char* destination, const char* source);
    // Replaces the installed files with those in the product folder beside the program, gives
    // them the sources' times and tells the user whether every one arrived.
    void runUpdate();

    // Copies the selected entries of the copy range from sourceDir to installDir on a worker
    // thread, keeping the status line, the clock and the progress bar up to date meanwhile. True
    // when the run ended without a cancel request.
    bool copyInBackground();
    // The total size of the selected entries of the copy range in sourceDir (modulo 2^32).
    uint32_t selectedBytes();
    void initProgress(uint16_t maximum);
    void stepProgress();
    // Brings the bar up to bytesCopied.
    void updateProgress();
    // The engine's status texts, on the file line of the main dialog.
    void showStatus(const char* text);

    // The install: free space, the install folder, the background copy, the install record and
    // the Start-menu entries; what fails is undone as far as the steps before it allow. True
    // when the product was installed.
    bool runInstall();
    // Asks, then deletes the listed files, the Start-menu entries and the install record. True
    // when the product was uninstalled.
    bool runUninstall();
    // Deletes every file of both lists from dir, read-only ones too. Always true.
    bool deleteInstalledFiles(const char* dir);
    // Makes every folder along path, after asking when the path does not exist yet.
    bool createFolderPath(const char* path);
    bool ensureFolder(const char* path);
    uint32_t freeDiskMegabytes(const char* dir);

    // The Start-menu folder of the product with its three shortcuts, kind 0 in the common Start
    // menu, kind 1 in its Programs folder. True when all three were saved.
    bool createShortcut(const char* linkFolder, const char* targetDir, const char* targetFile,
                        const char* linkName);
    bool createStartMenuEntries(int kind);
    void removeStartMenuEntries();
    // Starts the installed product from its folder; false only when COM is refused.
    bool launchProduct();
    // Opens the readme of the install folder, or of the source before an install.
    bool openReadme();

    // The install record (HKEY_LOCAL_MACHINE\registryKey: Dir, CD, InstType). After each of
    // these returns, installKey is closed.
    bool readInstallRecord();
    bool writeInstallRecord();
    bool deleteInstallRecord(const char* keyPath);
    bool openInstallKey(const char* keyPath);
    bool createInstallKey(const char* keyPath);
    void closeInstallKey();
    bool readInstallValue(const char* name, DWORD type, void* buffer, DWORD bufferSize);
    bool writeInstallValue(const char* name, DWORD type, const void* data, DWORD byteCount);
};

void freeStringList(StringList list);

// The engine's trace points; they produce no output.
void debugTrace(const char* format, ...);

// The program's one engine, constructed before the entry point runs.
extern SetupEngine setupEngine;
