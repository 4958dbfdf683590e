// The background copy against the update's plain copy of the same files, with the monitoring
// loop running as the install runs it, and the time from an abort request to the worker's end
// while it copies a large file.
//
//   background_copy_benchmark [megabytes]     (default 1024)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/setup_engine.h"
#include "front/config.h"
#include "platform/standin/test_machine.h"

namespace {

double now() {
    timespec time;
    clock_gettime(CLOCK_MONOTONIC, &time);
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_nsec) / 1e9;
}

void writeFile(const std::string& path, uint64_t bytes) {
    std::vector<char> block(1 << 20, 'b');
    FILE* file = fopen(path.c_str(), "wb");
    for (uint64_t written = 0; written < bytes; written += block.size()) {
        fwrite(block.data(), 1, std::min<uint64_t>(block.size(), bytes - written), file);
    }
    fclose(file);
}

// Seconds the action takes in a child process, best of three, each after a sync.
template <typename Action>
double bestInChild(Action action) {
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        sync();
        double start = now();
        pid_t child = fork();
        if (child == 0) _exit(action() ? 0 : 1);
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fprintf(stderr, "the measured run failed\n");
            exit(1);
        }
        best = std::min(best, now() - start);
    }
    return best;
}

void initialiseEngine(SetupEngine& engine) {
    installFiles[0] = productExe;
    engine.initialise(installFiles, updateFiles, volumeLabels, nullptr, nullptr, makerName, productTitle,
                      productFolder, requiredMegabytesSetting);
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t megabytes = argc > 1 ? strtoull(argv[1], nullptr, 10) : 1024;
    standin::TestMachine machine;
    std::string source = machine.path("drive_c/Game/VELMORANT");
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(machine.path("drive_c/Installed"));
    std::filesystem::create_directories(machine.path("drive_c/Background"));
    std::vector<std::string> names;
    for (size_t i = 1; installFiles[i]; ++i) names.push_back(installFiles[i]);
    names.insert(names.begin(), productExe);
    uint64_t each = (megabytes << 20) / names.size();
    for (const std::string& name : names) writeFile(source + "/" + name, each);
    if (system(("cat " + source + "/* > /dev/null").c_str()) != 0) return 1;
    standin::setModulePath(machine.path("drive_c/Game/update.exe"));
    standin::setMessageBoxAnswerer([](HWND, const std::string&, const std::string&, UINT) { return 1; });

    double plain = bestInChild([] {
        SetupEngine engine;
        initialiseEngine(engine);
        strcpy(engine.installDir, "c:\\Installed");
        engine.runUpdate();
        return true;
    });
    double background = bestInChild([] {
        SetupEngine engine;
        initialiseEngine(engine);
        strcpy(engine.sourceDir, "c:\\Game\\VELMORANT");
        strcpy(engine.installDir, "c:\\Background");
        return engine.copyInBackground();
    });
    double total = static_cast<double>(each * names.size()) / (1 << 20);
    printf("%5.0f MiB, %zu files: update's copy %5.2f s (%4.0f MiB/s); background copy %5.2f s (%4.0f MiB/s), "
           "at %.2f of the update's speed\n",
           total, names.size(), plain, total / plain, background, total / background, plain / background);

    // The abort: one large file, a request a quarter of a second into it.
    writeFile(source + "/" + productExe, megabytes << 20);
    double worst = 0, sum = 0;
    const int rounds = 5;
    for (int round = 0; round < rounds; ++round) {
        SetupEngine engine;
        initialiseEngine(engine);
        strcpy(engine.sourceDir, "c:\\Game\\VELMORANT");
        strcpy(engine.installDir, "c:\\Background");
        engine.setInstallType(2, 0, 1);
        double requested = 0, ended = 0;
        std::thread abort([&] {
            while (engine.bytesCopied < (16u << 20)) std::this_thread::yield();
            requested = now();
            engine.cancelState = CancelState::Requested;
            while (engine.copying != 0) std::this_thread::yield();
            ended = now();
        });
        engine.copyInBackground();
        abort.join();
        double latency = (ended - requested) * 1000;
        worst = std::max(worst, latency);
        sum += latency;
        engine.release();
    }
    printf("abort during a %llu MiB file: the worker ends %.2f ms after the request on average, %.2f ms at worst "
           "(%d runs)\n",
           static_cast<unsigned long long>(megabytes), sum / rounds, worst, rounds);
    standin::setMessageBoxAnswerer(nullptr);
    standin::setModulePath("");
    return 0;
}
