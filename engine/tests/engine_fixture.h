// A fresh machine with the product's tables, for the engine's tests: the stand-in's on Linux,
// the real one under Wine (see engine/tests/machine.h).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/setup_engine.h"
#include "engine/tests/machine.h"
#include "front/config.h"

using testbed::TestMachine;

// The install list as start-up hands it over: the product's executable in slot 0.
inline const char* const* startupInstallList() {
    static const char* list[19];
    for (size_t i = 0; i < 19; ++i) list[i] = installFiles[i];
    list[0] = productExe;
    return list;
}

struct EngineTest : testing::Test {
#ifndef _WIN32
    // The program lives in C:\Game unless a test says otherwise; on Windows it is the test
    // program, wherever that is.
    EngineTest() { standin::setModulePath(machine.path("drive_c/Game/update.exe")); }
#endif
    ~EngineTest() override {
        engine.release();
#ifndef _WIN32
        standin::setModulePath("");
#endif
    }

    void initialise() {
        engine.initialise(startupInstallList(), updateFiles, volumeLabels, nullptr, nullptr,
                          makerName, productTitle, productFolder, requiredMegabytesSetting);
    }

    TestMachine machine;
    SetupEngine engine;
};

// Tests of what only the stand-in can play: drives and labels from its drives file, injected
// failures, a program path of the test's choosing. Built on Linux only.
#ifndef _WIN32
struct StandinOnlyEngineTest : EngineTest {};
#endif
