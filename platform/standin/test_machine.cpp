// A throw-away machine root for tests.
#include "platform/standin/test_machine.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace standin {

TestMachine::TestMachine() {
    std::string pattern = (std::filesystem::temp_directory_path() / "machine.XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary machine root");
    root = pattern;
    if (const char* previous = getenv("WINDOWS_ROOT")) {
        previousRoot = previous;
        hadPreviousRoot = true;
    }
    setenv("WINDOWS_ROOT", root.c_str(), 1);
}

TestMachine::~TestMachine() {
    clearHostFaults();
    std::error_code ignored;
    // Read-only files and folders must not keep the tree from going.
    for (auto& entry : std::filesystem::recursive_directory_iterator(root, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(root, ignored);
    if (hadPreviousRoot) {
        setenv("WINDOWS_ROOT", previousRoot.c_str(), 1);
    } else {
        unsetenv("WINDOWS_ROOT");
    }
}

std::string TestMachine::path(std::string_view name) const { return root + "/" + std::string(name); }

void TestMachine::writeFile(std::string_view name, std::string_view content) const {
    std::filesystem::path file = path(name);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string TestMachine::readFile(std::string_view name) const {
    std::ifstream in(path(name), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace standin
