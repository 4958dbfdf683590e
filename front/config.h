// The product's compiled-in tables: its names, its file lists and its install sizes.
#pragma once

#include <cstdint>

extern const char windowClassName[];
extern const char productTitle[];
extern const char makerName[];
extern const char productFolder[];
extern const char productExe[];
// registryKey is declared with the engine, which reads it.

// File lists end with a null pointer. Slot 0 of installFiles is a placeholder until start-up
// writes productExe into it.
extern const char* updateFiles[11];
extern const char* installFiles[19];
extern const char* volumeLabels[2];

extern uint32_t requiredMegabytesSetting;
// Required megabytes of install type 2 (first) and install type 1 (second).
extern const uint32_t typeMegabytes[2];
