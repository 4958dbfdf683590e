// The update's throughput against `cp -p` of the same files on the same disk, and its peak
// memory, for update folders of two sizes (the memory must not grow with the files).
//
//   update_benchmark [megabytes]     (default 1024; a first run uses a quarter of it)
//
// cp -p copies inside the kernel (copy_file_range) and leaves its data to be written later; the
// update's block copy moves every byte through its 64 KiB buffer, and each replace is written
// through to the disk. So a read/write copy with the same block (dd bs=64K) and cp -p followed by
// sync are measured too. With the page cache warm the copies are bound by memory; run as root, the cold rows drop
// the cache before each run, so that they are bound by the disk as an update from a disc is.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
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

void writeFile(const std::string& path, uint64_t bytes, unsigned pattern) {
    std::vector<char> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 31 + pattern);
    FILE* file = fopen(path.c_str(), "wb");
    for (uint64_t written = 0; written < bytes; written += block.size()) {
        fwrite(block.data(), 1, std::min<uint64_t>(block.size(), bytes - written), file);
    }
    fclose(file);
}

// Runs the action in a child process: seconds taken and the child's peak resident memory in KiB.
template <typename Action>
std::pair<double, long> measureInChild(Action action) {
    double start = now();
    pid_t child = fork();
    if (child == 0) _exit(action() ? 0 : 1);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    double seconds = now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "the measured run failed\n");
        exit(1);
    }
    return {seconds, usage.ru_maxrss};
}

void run(uint64_t totalMegabytes) {
    standin::TestMachine machine;
    std::string game = machine.path("drive_c/Game");
    std::string update = game + "/VELMORANT";
    std::string installed = machine.path("drive_c/Installed");
    std::string copies = machine.path("drive_c/Copies");
    for (const std::string& folder : {update, installed, copies}) std::filesystem::create_directories(folder);

    // The update folder: every listed name of the install list, sharing the total.
    std::vector<std::string> names;
    for (size_t i = 1; installFiles[i]; ++i) names.push_back(installFiles[i]);
    names.insert(names.begin(), productExe);
    uint64_t each = (totalMegabytes << 20) / names.size();
    for (size_t i = 0; i < names.size(); ++i) {
        writeFile(update + "/" + names[i], each, static_cast<unsigned>(i));
        writeFile(installed + "/" + names[i], 4096, static_cast<unsigned>(i + 100));
    }
    // Both runs read the sources from the page cache.
    if (system(("cat " + update + "/* > /dev/null").c_str()) != 0) exit(1);

    standin::setModulePath(game + "/update.exe");
    standin::setMessageBoxAnswerer([](HWND, const std::string&, const std::string&, UINT) { return 1; });
    installFiles[0] = productExe;
    auto updateRun = [] {
        setupEngine.initialise(installFiles, updateFiles, volumeLabels, nullptr, nullptr, makerName,
                               productTitle, productFolder, requiredMegabytesSetting);
        strcpy(setupEngine.installDir, "c:\\Installed");
        setupEngine.runUpdate();
        return true;
    };
    std::string copy = "cp -p " + update + "/* " + copies + "/";
    std::string blockCopy = "for f in " + update + "/*; do dd status=none bs=64K if=\"$f\" of=" + copies +
                            "/\"$(basename \"$f\")\" || exit 1; done";
    std::string durableCopy = copy + " && sync";
    auto shell = [](const std::string& command) { return [command] { return system(command.c_str()) == 0; }; };
    bool cold = access("/proc/sys/vm/drop_caches", W_OK) == 0;
    for (bool dropCache : {false, true}) {
        if (dropCache && !cold) break;
        auto settle = [&] {
            sync();
            if (dropCache && system("echo 3 > /proc/sys/vm/drop_caches") != 0) exit(1);
        };
        // Best of three, taken in turns, each starting with no dirty pages left by the one before.
        double updateSeconds = 1e9, copySeconds = 1e9, blockSeconds = 1e9, durableSeconds = 1e9;
        long updateKilobytes = 0;
        for (int round = 0; round < 3; ++round) {
            settle();
            auto [seconds, kilobytes] = measureInChild(updateRun);
            updateSeconds = std::min(updateSeconds, seconds);
            updateKilobytes = std::max(updateKilobytes, kilobytes);
            settle();
            copySeconds = std::min(copySeconds, measureInChild(shell(copy)).first);
            settle();
            blockSeconds = std::min(blockSeconds, measureInChild(shell(blockCopy)).first);
            settle();
            durableSeconds = std::min(durableSeconds, measureInChild(shell(durableCopy)).first);
        }
        double megabytes = static_cast<double>(each * names.size()) / (1 << 20);
        printf("%5.0f MiB, %zu files, %s cache: update %5.2f s (%4.0f MiB/s, peak %ld KiB); update's "
               "speed against cp -p %.2f (%.2f s), dd bs=64K %.2f (%.2f s), cp -p + sync %.2f (%.2f s)\n",
               megabytes, names.size(), dropCache ? "cold" : "warm", updateSeconds,
               megabytes / updateSeconds, updateKilobytes, copySeconds / updateSeconds, copySeconds,
               blockSeconds / updateSeconds, blockSeconds, durableSeconds / updateSeconds, durableSeconds);
    }
    standin::setMessageBoxAnswerer(nullptr);
    standin::setModulePath("");
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t megabytes = argc > 1 ? strtoull(argv[1], nullptr, 10) : 1024;
    run(megabytes / 4);
    run(megabytes);
    return 0;
}
