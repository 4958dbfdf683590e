// Message boxes: a modal loop of their own that the user answers through the front end.
#include <mutex>

#include "platform/standin/test_machine.h"
#include "platform/standin/ui/desktop.h"

namespace {
std::mutex answererLock;
standin::MessageBoxAnswerer answerer;

int answerOf(const standin::ui::UserCommand& command, bool yesNo) {
    using standin::ui::UserCommand;
    switch (command.kind) {
        case UserCommand::Answer:
            if (!yesNo && command.text == "ok") return IDOK;
            if (yesNo && command.text == "yes") return IDYES;
            if (yesNo && command.text == "no") return IDNO;
            break;
        case UserCommand::KeyEnter:
        case UserCommand::KeySpace:
            return yesNo ? IDYES : IDOK;
        case UserCommand::KeyEscape:
            // A box without a cancelling button ignores Escape unless it has only OK.
            if (!yesNo) return IDOK;
            return 0;
        default:
            break;
    }
    fprintf(stderr, "the message box takes %s\n", yesNo ? "answer yes or answer no" : "answer ok");
    return 0;
}
}  // namespace

namespace standin {
void setMessageBoxAnswerer(MessageBoxAnswerer newAnswerer) {
    std::lock_guard<std::mutex> hold(answererLock);
    answerer = std::move(newAnswerer);
}
}  // namespace standin

using namespace standin::ui;

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    bool yesNo = (type & MB_TYPEMASK) == MB_YESNO;
    standin::MessageBoxAnswerer current;
    {
        std::lock_guard<std::mutex> hold(answererLock);
        current = answerer;
    }
    if (current) return current(owner, text ? text : "", caption ? caption : "", type);

    Event opened;
    opened.kind = Event::BoxOpened;
    opened.window = owner;
    opened.caption = caption ? caption : "";
    opened.text = text ? text : "";
    opened.type = type;
    int result = 0;
    Modal modal;
    modal.kind = Modal::Box;
    modal.boxType = type;
    runModal(
        modal, [&] { emit(opened); }, [&] { return result != 0; },
        [&](const UserCommand& command) { result = answerOf(command, yesNo); },
        [&] { result = yesNo ? IDNO : IDOK; });
    if (result == 0) result = yesNo ? IDNO : IDOK;  // the quit message ended the box
    Event closed;
    closed.kind = Event::BoxClosed;
    closed.result = result;
    emit(closed);
    return result;
}
