// The stand-in's test interface: a fresh machine root for one test, removed afterwards.
#pragma once

#include <string>
#include <string_view>

namespace standin {

// Makes an empty machine root in a temporary folder and points WINDOWS_ROOT at it for the
// object's life; the previous WINDOWS_ROOT comes back afterwards.
struct TestMachine {
    TestMachine();
    ~TestMachine();
    TestMachine(const TestMachine&) = delete;
    TestMachine& operator=(const TestMachine&) = delete;

    // Host path of a name inside the root.
    std::string path(std::string_view name) const;
    // Writes a file inside the root (folders made as needed), replacing what was there.
    void writeFile(std::string_view name, std::string_view content) const;
    // Reads a whole file inside the root; empty when it is missing.
    std::string readFile(std::string_view name) const;

    std::string root;
    std::string previousRoot;
    bool hadPreviousRoot = false;
};

// Makes GetModuleFileNameA answer for a program at this host path (empty: the real one).
void setModulePath(const std::string& hostPath);

}  // namespace standin
