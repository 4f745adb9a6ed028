// Another program's windows as a user's tools see them: found by process, class and text, and
// worked with the messages a click or a key would bring. Every call is safe across processes (texts
// are read with the Unicode messages, which Windows converts across processes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/win32_base.h"

namespace morvane::wintest {

std::string windowClass(HWND window);
// The window's text, asked of its own procedure; "<no answer>" when it does not answer.
std::string windowText(HWND window);
// The visible top-level windows of a process, message boxes aside.
std::vector<HWND> visibleWindowsOf(uint32_t processId);
// The visible top-level window of a process with that caption; nullptr when there is none.
HWND windowOf(uint32_t processId, const std::string& caption);
// The child window (at any depth) of that class and text; nullptr when there is none.
HWND childWindow(HWND parent, const std::string& className, const std::string& text);
// Presses a button as a click would; posted, so that a box or the end it brings does not hold the
// caller.
void clickButton(HWND button);
// Opens an entry of a form's menu with the keyboard (Alt+menu letter, then the entry's letter once
// the menu shows); the window with the caption it opens, or nullptr.
HWND openMenuEntry(uint32_t processId, HWND form, char menuLetter, char entryLetter,
                   const std::string& caption);
// Answers the process's common file dialog (open or save) with a path, as typed into its name box,
// and OK. False when no such dialog showed.
bool answerFileDialog(uint32_t processId, const std::string& path);

}  // namespace morvane::wintest
