// The in-process driver: the plain protocol's lines, kept for a test to wait on.
#include "platform/standin/driver.h"


#include "platform/standin/machine.h"
#include "platform/standin/ui/desktop.h"
#include "platform/standin/ui/plain.h"

namespace standin {
namespace {

// Long enough for any slow sanitizer run; a program that is stuck fails the test instead of
// hanging it.
constexpr auto kPatience = std::chrono::seconds(60);

}  // namespace

Driver::Driver() = default;

Driver::~Driver() {
    if (program.joinable()) finish();
}

void Driver::start(EntryPoint entryPoint) {
    ui::resetDesktop();
    ui::setEventSink([this](const ui::Event& event) {
        std::vector<std::string> lines = ui::eventLines(event);
        std::lock_guard<std::mutex> hold(lock);
        if (event.kind == ui::Event::DialogShown) openDialogs.push_back(event.window);
        if (event.kind == ui::Event::DialogClosed) std::erase(openDialogs, event.window);
        seen.insert(seen.end(), lines.begin(), lines.end());
        changed.notify_all();
    });
    running = true;
    program = std::thread([this, entryPoint] {
        char commandLine[] = "";
        int code = entryPoint(reinterpret_cast<HINSTANCE>(0x400000), nullptr, commandLine, SW_SHOWDEFAULT);
        std::lock_guard<std::mutex> hold(lock);
        exitCode = code;
        running = false;
        changed.notify_all();
    });
}

std::string Driver::waitFor(const std::string& prefix) {
    std::unique_lock<std::mutex> hold(lock);
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        for (; nextLine < seen.size(); ++nextLine) {
            if (seen[nextLine].compare(0, prefix.size(), prefix) == 0) return seen[nextLine++];
        }
        if (!running) return "";
        if (changed.wait_until(hold, deadline) == std::cv_status::timeout) return "";
    }
}

std::vector<std::string> Driver::lines() {
    std::lock_guard<std::mutex> hold(lock);
    return seen;
}

void Driver::click(int controlId) { ui::pushUserCommand(ui::UserCommand{ui::UserCommand::Click, controlId, ""}); }

void Driver::key(const char* name) {
    ui::UserCommand command;
    unsigned pause = 0;
    std::string problem;
    if (ui::parseCommandLine(std::string("key ") + name, command, &pause, &problem)) {
        ui::pushUserCommand(command);
    }
}

void Driver::answer(const char* word) { ui::pushUserCommand(ui::UserCommand{ui::UserCommand::Answer, 0, word}); }

void Driver::folder(const std::string& windowsPath) {
    std::string cp932;
    if (!utf8ToCp932(windowsPath, cp932)) {
        reportProblem("the driver's folder is no UTF-8 path of code page 932 characters");
        return;
    }
    ui::pushUserCommand(ui::UserCommand{ui::UserCommand::Folder, 0, cp932});
}

void Driver::cancelFolder() { ui::pushUserCommand(ui::UserCommand{ui::UserCommand::FolderCancel, 0, ""}); }

void Driver::endInput() { ui::endUserInput(); }

int Driver::finish() {
    endInput();
    if (program.joinable()) program.join();
    ui::resetDesktop();
    return exitCode;
}

HWND Driver::dialog() {
    std::lock_guard<std::mutex> hold(lock);
    return openDialogs.empty() ? nullptr : openDialogs.back();
}

std::string Driver::text(int controlId) {
    HWND open = dialog();
    std::lock_guard<std::recursive_mutex> hold(ui::desktopLock());
    ui::Window* control = controlId == 0 ? ui::findWindow(open) : ui::controlOf(open, controlId);
    std::string utf8;
    if (!control || !cp932ToUtf8(control->text, utf8)) return "<none>";
    return utf8;
}

bool Driver::enabled(int controlId) {
    HWND open = dialog();
    std::lock_guard<std::recursive_mutex> hold(ui::desktopLock());
    ui::Window* control = ui::controlOf(open, controlId);
    return control && control->enabled;
}

bool Driver::exists(int controlId) {
    HWND open = dialog();
    std::lock_guard<std::recursive_mutex> hold(ui::desktopLock());
    return ui::controlOf(open, controlId) != nullptr;
}

StaticLook Driver::look(int controlId) {
    HWND open = dialog();
    // Paints what waits to be painted first, as UpdateWindow does.
    SendMessageA(open, WM_PAINT, 0, 0);
    std::lock_guard<std::recursive_mutex> hold(ui::desktopLock());
    ui::Window* control = ui::controlOf(open, controlId);
    if (!control) return {};
    const ui::Appearance& a = control->appearance;
    return StaticLook{a.painted, a.bold, a.textColor, a.backgroundColor, a.backgroundMode, a.answer};
}

RECT Driver::dialogRect() {
    RECT rect{};
    GetWindowRect(dialog(), &rect);
    return rect;
}

size_t liveDrawingObjects() { return ui::liveGdiObjects(); }

}  // namespace standin
