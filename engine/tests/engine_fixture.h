// A fresh stand-in machine with the product's tables, for the engine's tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/setup_engine.h"
#include "front/config.h"
#include "platform/standin/test_machine.h"

// The install list as start-up hands it over: the product's executable in slot 0.
inline const char* const* startupInstallList() {
    static const char* list[19];
    for (size_t i = 0; i < 19; ++i) list[i] = installFiles[i];
    list[0] = productExe;
    return list;
}

struct EngineTest : testing::Test {
    // The program lives in C:\Game unless a test says otherwise.
    EngineTest() { standin::setModulePath(machine.path("drive_c/Game/update.exe")); }
    ~EngineTest() override {
        engine.release();
        standin::setModulePath("");
    }

    void initialise() {
        engine.initialise(startupInstallList(), updateFiles, volumeLabels, nullptr, nullptr,
                          makerName, productTitle, productFolder, requiredMegabytesSetting);
    }

    standin::TestMachine machine;
    SetupEngine engine;
};
