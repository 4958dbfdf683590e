// Top-level windows published in the machine root: one file per window, locked by its program.
#include "platform/standin/ui/instances.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>

#include "platform/standin/machine.h"

namespace standin::ui {
namespace {

struct Published {
    std::string path;
    int fd = -1;
};

std::mutex publishedLock;
std::map<HWND, Published> published;

std::string windowsFolder() {
    std::string folder = machinePath("windows");
    if (!folder.empty()) mkdir(folder.c_str(), 0755);
    return folder;
}

// The class and the title, each on a line of its own (code page 932, never holding a line break
// in a class name; a title's line breaks are kept as they are after the first line).
std::string recordOf(const std::string& className, const std::string& title) {
    return className + "\n" + title;
}

bool readRecord(int fd, std::string& className, std::string& title) {
    std::string content;
    char buffer[1024];
    ssize_t got;
    lseek(fd, 0, SEEK_SET);
    while ((got = read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<size_t>(got));
    size_t newline = content.find('\n');
    if (newline == std::string::npos) return false;
    className = content.substr(0, newline);
    title = content.substr(newline + 1);
    return true;
}

}  // namespace

void publishTopLevel(HWND window, const std::string& className, const std::string& title) {
    std::lock_guard<std::mutex> hold(publishedLock);
    Published& entry = published[window];
    if (entry.fd < 0) {
        std::string folder = windowsFolder();
        if (folder.empty()) return;
        entry.path = folder + "/" + std::to_string(getpid()) + "-" +
                     std::to_string(reinterpret_cast<uintptr_t>(window));
        // Locked before it appears under its name, so no other program takes it for stale.
        std::string temporary = entry.path + ".new";
        entry.fd = open(temporary.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (entry.fd < 0 || flock(entry.fd, LOCK_EX) != 0 ||
            rename(temporary.c_str(), entry.path.c_str()) != 0) {
            reportProblem("cannot publish a window in " + entry.path + ": " + strerror(errno));
            if (entry.fd >= 0) close(entry.fd);
            unlink(temporary.c_str());
            published.erase(window);
            return;
        }
    }
    std::string record = recordOf(className, title);
    if (ftruncate(entry.fd, 0) != 0 ||
        pwrite(entry.fd, record.data(), record.size(), 0) != static_cast<ssize_t>(record.size())) {
        reportProblem("cannot publish a window in " + entry.path + ": " + strerror(errno));
    }
}

void withdrawTopLevel(HWND window) {
    std::lock_guard<std::mutex> hold(publishedLock);
    auto it = published.find(window);
    if (it == published.end()) return;
    unlink(it->second.path.c_str());
    close(it->second.fd);
    published.erase(it);
}

bool otherProgramHasWindow(const char* className, const char* title) {
    std::string folder = windowsFolder();
    DIR* dir = folder.empty() ? nullptr : opendir(folder.c_str());
    if (!dir) return false;
    std::string own = std::to_string(getpid()) + "-";
    bool found = false;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name[0] == '.' || name.compare(0, own.size(), own) == 0 ||
            (name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0)) {
            continue;
        }
        std::string path = folder + "/" + entry->d_name;
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        // A lock we can take means its program is gone.
        if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
            flock(fd, LOCK_UN);
            close(fd);
            unlink(path.c_str());
            continue;
        }
        std::string foundClass, foundTitle;
        bool readable = readRecord(fd, foundClass, foundTitle);
        close(fd);
        if (readable && (!className || foldName932(foundClass) == foldName932(className)) &&
            (!title || foundTitle == title)) {
            found = true;
            break;
        }
    }
    closedir(dir);
    return found;
}

HWND foreignWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFF0000)); }

}  // namespace standin::ui
