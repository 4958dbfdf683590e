// The status line of a background copy: the file being copied with a turning spinner, and the
// elapsed time, kept by the monitoring loop while a worker thread copies.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"

constexpr size_t kCurrentNameSize = 1024;
constexpr uint32_t kPassesPerSpin = 131072;

// The spinner's glyphs in their order: ｜ ／ ― ＼.
extern const char* const spinnerGlyphs[4];

// What the monitoring loop shares with the worker and with the next run. The name of the file
// being copied is handed over under a lock (setCurrentName, currentNameCopy).
extern std::atomic<uint32_t> spinnerIndex;
extern std::atomic<uint32_t> passCounter;
extern std::atomic<DWORD> clockBase;
extern std::atomic<int32_t> elapsedHours;
extern std::atomic<int32_t> elapsedMinutes;
extern std::atomic<int32_t> elapsedSeconds;

void setCurrentName(const char* name);
// The name the worker last set (empty before the first), terminated within kCurrentNameSize.
void currentNameCopy(char (&out)[kCurrentNameSize]);

// One pass of the spinner and the clock.
void updateStatusLine();
// Puts the text into line 0 (the file line, 1019) or line 1 (the time line, 1021) of the main
// dialog; other lines are none.
void setStatusText(const char* text, int line);
