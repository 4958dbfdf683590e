// The terminal front end: ncursesw draws the open dialogs and boxes, the keyboard plays the user.
#pragma once

namespace standin::ui {

// Takes over the terminal (standard input and output) until stopTerminalFrontEnd.
void startTerminalFrontEnd();
// Gives the terminal back as it was.
void stopTerminalFrontEnd();

}  // namespace standin::ui
