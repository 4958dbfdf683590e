// The engine record: construction, start-up with the source search, the lists and teardown.
#include "engine/setup_engine.h"

#include <cstring>

#include "engine/text.h"

SetupEngine setupEngine;

namespace {

DriveClass driveClassOf(UINT driveType) {
    switch (driveType) {
        case DRIVE_FIXED: return DriveFixed;
        case DRIVE_CDROM: return DriveCdRom;
        case DRIVE_REMOVABLE: return DriveRemovable;
        case DRIVE_RAMDISK: return DriveRamDisk;
        case DRIVE_REMOTE: return DriveNetwork;
        default: return DriveNone;
    }
}

// A text that does not fit a path field leaves the field empty rather than cut.
void copyPath(char (&field)[MAX_PATH], const char* text) { formatText(field, MAX_PATH, "%s", text); }

}  // namespace

void SetupEngine::initialise(const char* const* installList, const char* const* updateList,
                             const char* const* labelList, HWND mainWindow, HWND ownerWindow,
                             const char* makerName, const char* productTitle,
                             const char* productFolder, uint32_t requiredMegabytes) {
    this->mainWindow = mainWindow;
    this->ownerWindow = ownerWindow;
    this->requiredMegabytes = requiredMegabytes;
    installFiles = copyStringList(installFiles, installList);
    updateFiles = copyStringList(updateFiles, updateList);
    volumeLabels = copyStringList(volumeLabels, labelList);
    copyPath(this->makerName, makerName);
    copyPath(this->productTitle, productTitle);
    copyPath(this->productFolder, productFolder);
    locateSource(productFolder, installFiles[0]);
    // An unknown source stays empty: a bare "\productFolder" would name another folder.
    if (sourceDir[0] != '\0') {
        char source[MAX_PATH];
        formatText(source, sizeof source, "%s\\%s", sourceDir, productFolder);
        copyPath(sourceDir, source);
    }
    formatText(registryKeyText, sizeof registryKeyText, "Software\\%s\\%s", this->makerName,
               this->productTitle);
    installed = 0;
    if (readInstallRecord()) installed = 1;
    debugTrace("Reg Key <%s>\nInst Flag [%d]", registryKeyText, installed);
}

void SetupEngine::locateSource(const char* productFolder, const char* exeName) {
    char root[] = "c:\\";
    char label[MAX_PATH] = "";
    for (int drive = 0; drive < 24; ++drive, ++root[0]) {
        if (classifyDrive(root, label, sizeof label) != DriveCdRom) continue;
        for (int32_t i = 0; i < volumeLabelCount; ++i) {
            if (strcmp(label, volumeLabels[i]) != 0) continue;
            formatText(sourceDir, sizeof sourceDir, "%c:", root[0]);
            char probe[MAX_PATH];
            if (!formatText(probe, sizeof probe, "%s\\%s\\%s", sourceDir, productFolder, exeName)) {
                continue;
            }
            if (FILE* file = fopen(probe, "r")) {
                fclose(file);
                return;
            }
        }
    }
    // A path cut short by the buffer would be another program's folder.
    if (GetModuleFileNameA(nullptr, sourceDir, MAX_PATH) >= MAX_PATH) sourceDir[0] = '\0';
    if (char* separator = lastSeparator(sourceDir)) *separator = '\0';
    copyPath(moduleDir, sourceDir);
}

DriveClass SetupEngine::classifyDrive(const char* rootPath, char* labelOut, size_t labelOutSize) {
    DriveClass driveClass = driveClassOf(GetDriveTypeA(rootPath));
    char label[256] = "";
    char fileSystem[256];
    DWORD serialNumber, maxComponentLength, flags;
    if (GetVolumeInformationA(rootPath, label, sizeof label, &serialNumber, &maxComponentLength,
                              &flags, fileSystem, sizeof fileSystem)) {
        copyTextCut(labelOut, labelOutSize, label);
    }
    return driveClass;
}

StringList SetupEngine::copyStringList(StringList oldList, const char* const* configList) {
    freeStringList(oldList);
    size_t count = 1;
    while (configList[count - 1]) ++count;
    StringList list = new char*[count];
    for (size_t i = 0; i < count; ++i) {
        list[i] = new char[kStringSlotSize];
        list[i][0] = '\0';
        if (configList[i]) copyTextCut(list[i], kStringSlotSize, configList[i]);
    }
    return list;
}

void freeStringList(StringList list) {
    if (!list) return;
    size_t i = 0;
    while (list[i][0] != '\0') delete[] list[i++];
    delete[] list[i];
    delete[] list;
}

void SetupEngine::release() {
    freeStringList(installFiles);
    freeStringList(updateFiles);
    freeStringList(volumeLabels);
    closeInstallKey();
}

void SetupEngine::getSourceDir(char* buffer, size_t bufferSize) {
    copyTextCut(buffer, bufferSize, sourceDir);
}

void SetupEngine::setProgressControl(int32_t controlId) { progressControlId = controlId; }

void SetupEngine::setInstallType(DWORD installType, int32_t firstIndex, int32_t endIndex) {
    this->installType = installType;
    this->firstIndex = firstIndex;
    this->endIndex = endIndex;
}

void SetupEngine::setRequiredMegabytes(uint32_t megabytes) { requiredMegabytes = megabytes; }

bool SetupEngine::isCopying() const { return copying == 1; }

void debugTrace(const char*, ...) {}
