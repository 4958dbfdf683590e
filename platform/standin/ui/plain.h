// The plain front end: the stand-in's events as lines of text, the user's commands read as lines.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/standin/ui/desktop.h"

namespace standin::ui {

// The lines (UTF-8, without line breaks) that tell an event; empty for one the protocol leaves
// out. Call without the lock held.
std::vector<std::string> eventLines(const Event& event);

// Reads one command line; false (with the reason in *problem) when it cannot be read.
bool parseCommandLine(const std::string& line, UserCommand& command, unsigned* pause,
                      std::string* problem);

// Prints events to `out` and reads commands from `in` on a thread of its own until its end.
void startPlainFrontEnd(FILE* in, FILE* out);

}  // namespace standin::ui
