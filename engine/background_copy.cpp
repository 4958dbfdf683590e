// The background copy: a worker thread copies the selected entries while the calling thread
// keeps the progress bar, the file line with its spinner and the elapsed time up to date.
#include "engine/background_copy.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "engine/file_copy.h"
#include "engine/main_dialog.h"
#include "engine/setup_engine.h"
#include "engine/text.h"
#include "platform/timer.h"
#include "platform/user.h"

const char* const spinnerGlyphs[4] = {"｜", "／", "―", "＼"};

std::atomic<uint32_t> spinnerIndex{0};
std::atomic<uint32_t> passCounter{0};
std::atomic<DWORD> clockBase{0};
std::atomic<int32_t> elapsedHours{0};
std::atomic<int32_t> elapsedMinutes{0};
std::atomic<int32_t> elapsedSeconds{0};

namespace {

constexpr int kStatusFileId = 1019;
constexpr int kStatusTimeId = 1021;
constexpr uint16_t kProgressSteps = 1000;

std::mutex currentNameLock;
char currentName[kCurrentNameSize];
// Whether currentName holds a name: the monitoring loop asks on every pass, without the lock.
std::atomic<bool> currentNameSet{false};

// The total of the run, for a bar over fewer bytes than it has steps.
std::atomic<uint32_t> selectedTotal{0};

// The copy range: from firstIndex up to the list's end or endIndex, whichever comes first.
bool inRange(StringList list, int32_t i, int32_t endIndex) { return list[i][0] != '\0' && i != endIndex; }

bool isSelected(const uint8_t* selected, int32_t i) { return selected[i] == 1; }

DWORD WINAPI copyWorker(LPVOID parameter) {
    auto& engine = *static_cast<SetupEngine*>(parameter);
    int32_t i = engine.firstIndex;
    const int32_t stop = engine.endIndex;
    engine.copying = 1;
    clockBase = timeGetTime();
    elapsedHours = 0;
    elapsedMinutes = 0;
    elapsedSeconds = 0;
    for (; inRange(engine.installFiles, i, stop); ++i) {
        // Before the selection test, so that a cancel also ends the run at an unselected entry.
        if (engine.cancelState == CancelState::Acknowledged) {
            engine.cancelState = CancelState::Stopped;
            break;
        }
        if (!isSelected(engine.selected, i)) continue;
        char destination[MAX_PATH];
        char source[MAX_PATH];
        bool fits = formatText(destination, sizeof destination, "%s\\%s", engine.installDir,
                               engine.installFiles[i]) &&
                    formatText(source, sizeof source, "%s\\%s", engine.sourceDir, engine.installFiles[i]);
        setCurrentName(engine.installFiles[i]);
        if (fits) engine.copyFile(destination, source);
    }
    engine.copying = 0;
    return 0;
}

}  // namespace

void setCurrentName(const char* name) {
    std::lock_guard<std::mutex> hold(currentNameLock);
    copyTextCut(currentName, sizeof currentName, name);
    currentNameSet = currentName[0] != '\0';
}

void currentNameCopy(char (&out)[kCurrentNameSize]) {
    std::lock_guard<std::mutex> hold(currentNameLock);
    memcpy(out, currentName, sizeof out);
}

void setStatusText(const char* text, int line) {
    if (line != 0 && line != 1) return;
    SetWindowTextA(GetDlgItem(mainDialog, line == 0 ? kStatusFileId : kStatusTimeId), text);
}

void updateStatusLine() {
    if (!currentNameSet) return;
    if (passCounter == 0) {
        char name[kCurrentNameSize];
        currentNameCopy(name);
        char text[1024];
        formatText(text, sizeof text, "%s %s", name, spinnerGlyphs[spinnerIndex]);
        spinnerIndex = (spinnerIndex + 1) % 4;
        setStatusText(text, 0);
    }
    passCounter = (passCounter + 1) % kPassesPerSpin;
    DWORD now = timeGetTime();
    if (now - clockBase <= 1000) return;
    // Whole seconds from the start: after a stall the clock catches up a second a pass.
    clockBase += 1000;
    if (++elapsedSeconds > 59) {
        elapsedSeconds = 0;
        if (++elapsedMinutes > 59) {
            elapsedMinutes = 0;
            ++elapsedHours;
        }
    }
    char text[64];
    formatText(text, sizeof text, "%d:%02d:%02d", elapsedHours.load(), elapsedMinutes.load(),
               elapsedSeconds.load());
    setStatusText(text, 1);
}

void SetupEngine::showStatus(const char* text) { setStatusText(text, 0); }

uint32_t SetupEngine::selectedBytes() {
    uint32_t total = 0;
    for (int32_t i = firstIndex; inRange(installFiles, i, endIndex); ++i) {
        if (!isSelected(selected, i)) continue;
        char path[MAX_PATH];
        if (formatText(path, sizeof path, "%s\\%s", sourceDir, installFiles[i])) total += fileSize(path);
    }
    return total;
}

void SetupEngine::initProgress(uint16_t maximum) {
    HWND bar = GetDlgItem(ownerWindow, progressControlId);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SendMessageA(bar, PBM_SETPOS, 0, 0);
}

void SetupEngine::stepProgress() {
    SendMessageA(GetDlgItem(ownerWindow, progressControlId), PBM_STEPIT, 0, 0);
}

void SetupEngine::updateProgress() {
    if (bytesPerStep != 0) {
        progressDone = static_cast<int32_t>(bytesCopied / bytesPerStep);
    } else {
        // Fewer bytes than steps: each step is a thousandth of the total, so the bar still ends
        // full; with nothing to copy it is full at once.
        uint64_t total = selectedTotal;
        uint64_t copied = std::min<uint64_t>(bytesCopied, total);
        progressDone = total ? static_cast<int32_t>(copied * kProgressSteps / total) : kProgressSteps;
    }
    if (progressDone == progressShown) return;
    int32_t difference = progressDone - progressShown;
    for (int32_t step = 0; step < difference; ++step) stepProgress();
    progressShown = progressDone;
}

bool SetupEngine::copyInBackground() {
    uint32_t total = selectedBytes();
    initProgress(kProgressSteps);
    copying = 1;
    cancelState = CancelState::None;
    bytesCopied = 0;
    bytesPerStep = total / kProgressSteps;
    selectedTotal = total;
    progressDone = 0;
    progressShown = 0;
    DWORD threadId = 0;
    HANDLE worker = CreateThread(nullptr, 0, copyWorker, this, 0, &threadId);
    if (!worker) {
        workerThreadId = 0;
        copying = 0;
        return false;
    }
    workerThreadId = threadId;
    CloseHandle(worker);
    while (copying != 0) {
        updateStatusLine();
        updateProgress();
        MSG msg;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            Sleep(0);
        }
    }
    updateProgress();
    return static_cast<int32_t>(cancelState.load()) <= 0;
}
