// The plain front end's line protocol.
#include "platform/standin/ui/plain.h"

#include <cstdlib>
#include <sstream>
#include <thread>

#include "platform/standin/machine.h"

namespace standin::ui {
namespace {

std::string quoted(const std::string& cp932) {
    std::string utf8;
    if (!cp932ToUtf8(cp932, utf8)) utf8 = "?";
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

const char* kindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Button: return "button";
        case ControlKind::CheckBox: return "checkbox";
        case ControlKind::Static: return "static";
        case ControlKind::Progress: return "progress";
        default: return "control";
    }
}

std::vector<std::string> dialogLines(const Event& event) {
    std::vector<std::string> lines{"dialog " + std::to_string(event.id) + " " + quoted(event.caption)};
    std::lock_guard<std::recursive_mutex> hold(desktopLock());
    Window* dialog = findWindow(event.window);
    if (!dialog) return lines;
    for (HWND handle : dialog->controls) {
        Window* control = findWindow(handle);
        if (!control) continue;
        std::string line = "  " + std::to_string(control->id) + " " + kindName(control->kind) + " " +
                           quoted(control->text);
        if (!control->enabled) line += " disabled";
        if (control->checked) line += " checked";
        if (control->kind == ControlKind::Button && (control->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            line += " default";
        }
        lines.push_back(line);
    }
    return lines;
}

std::string unquoted(const std::string& text) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return text;
    std::string out;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && i + 2 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

}  // namespace

std::vector<std::string> eventLines(const Event& event) {
    switch (event.kind) {
        case Event::DialogShown:
            return dialogLines(event);
        case Event::DialogClosed:
            return {"closed " + std::to_string(event.id) + " " + std::to_string(event.result)};
        case Event::TextChanged:
            return {"text " + std::to_string(event.id) + " " + quoted(event.text)};
        case Event::StateChanged:
            if (event.id < 0) return {};
            return {"state " + std::to_string(event.id) + (event.result ? " enabled" : " disabled")};
        case Event::ProgressChanged:
            return {"progress " + std::to_string(event.id) + " " + std::to_string(event.result) + " " +
                    std::to_string(event.type)};
        case Event::BoxOpened:
            return {"messagebox " + quoted(event.caption) + " " + quoted(event.text) +
                    ((event.type & MB_TYPEMASK) == MB_YESNO ? " yesno" : " ok")};
        case Event::BoxClosed:
        case Event::BrowseClosed:
            return {};
        case Event::Browse:
            return {"browse " + quoted(event.caption) + " " + quoted(event.text)};
        case Event::Open:
            return {"open " + quoted(event.text) + " " + quoted(event.caption)};
    }
    return {};
}

bool parseCommandLine(const std::string& line, UserCommand& command, unsigned* pause,
                      std::string* problem) {
    std::istringstream words(line);
    std::string verb, argument;
    *pause = 0;
    if (!(words >> verb)) {
        *problem = "empty line";
        return false;
    }
    std::getline(words >> std::ws, argument);
    while (!argument.empty() && (argument.back() == '\r' || argument.back() == ' ')) argument.pop_back();
    char* end = nullptr;
    if (verb == "click") {
        long id = strtol(argument.c_str(), &end, 10);
        command = UserCommand{UserCommand::Click, static_cast<int>(id), ""};
        if (!argument.empty() && *end == '\0') return true;
    } else if (verb == "key") {
        static const struct {
            const char* name;
            UserCommand::Kind kind;
        } keys[] = {{"enter", UserCommand::KeyEnter}, {"escape", UserCommand::KeyEscape},
                    {"tab", UserCommand::KeyTab},     {"space", UserCommand::KeySpace}};
        for (const auto& key : keys) {
            if (argument == key.name) {
                command = UserCommand{key.kind, 0, ""};
                return true;
            }
        }
    } else if (verb == "answer") {
        command = UserCommand{UserCommand::Answer, 0, argument};
        if (argument == "ok" || argument == "yes" || argument == "no") return true;
    } else if (verb == "folder") {
        if (argument == "cancel") {
            command = UserCommand{UserCommand::FolderCancel, 0, ""};
            return true;
        }
        std::string cp932;
        if (!argument.empty() && utf8ToCp932(unquoted(argument), cp932)) {
            command = UserCommand{UserCommand::Folder, 0, cp932};
            return true;
        }
    } else if (verb == "sleep") {
        unsigned long milliseconds = strtoul(argument.c_str(), &end, 10);
        if (!argument.empty() && *end == '\0') {
            *pause = static_cast<unsigned>(milliseconds);
            return true;
        }
    }
    *problem = "cannot read \"" + line + "\"";
    return false;
}

void startPlainFrontEnd(FILE* in, FILE* out) {
    setEventSink([out](const Event& event) {
        for (const std::string& line : eventLines(event)) fprintf(out, "%s\n", line.c_str());
        fflush(out);
    });
    std::thread reader([in] {
        char buffer[4096];
        for (int number = 1; fgets(buffer, sizeof buffer, in); ++number) {
            std::string line(buffer);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
            if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
            UserCommand command;
            unsigned pause = 0;
            std::string problem;
            if (!parseCommandLine(line, command, &pause, &problem)) {
                fprintf(stderr, "input line %d: %s\n", number, problem.c_str());
            } else if (pause) {
                pushPause(pause);
            } else {
                pushUserCommand(command);
            }
        }
        endUserInput();
    });
    // The reader may wait on its input until the program ends.
    reader.detach();
}

}  // namespace standin::ui
