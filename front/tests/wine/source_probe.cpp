// Starts the engine as update.exe does and prints where the source search found the product:
// the source search on a machine whose drives Wine plays.
#include <cstdio>

#include "engine/setup_engine.h"
#include "front/config.h"

int main() {
    installFiles[0] = productExe;
    setupEngine.initialise(installFiles, updateFiles, volumeLabels, nullptr, nullptr, makerName,
                           productTitle, productFolder, requiredMegabytesSetting);
    printf("source %s\n", setupEngine.sourceDir);
    setupEngine.release();
    return 0;
}
