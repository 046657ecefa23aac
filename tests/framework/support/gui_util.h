// Helpers for window tests: pumping messages, running code later on the UI thread (also inside
// modal loops), finding and answering message boxes.
#pragma once
#include <windows.h>
#include <functional>
#include <string>

namespace fwtest {

// Processes this thread's messages for about ms milliseconds (WM_QUIT is swallowed).
void PumpFor(int ms);
// Processes messages until pred() is true or timeoutMs passed; returns pred().
bool PumpUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
// Runs fn on this thread after about ms milliseconds, from whatever message loop runs then
// (modal dialogs and message boxes included).
void RunLater(int ms, std::function<void()> fn);
// The first visible dialog-class window of this thread, or NULL.
HWND FindThreadDialog(HWND hExclude = nullptr);
// The first visible message box of this thread (a dialog with the message static), or NULL.
HWND FindMessageBox();
// Runs fn(window) as soon as find() gives a window, polling every 20 ms from the message loop
// that runs then (at most timeoutMs).
void WhenFound(std::function<HWND()> find, std::function<void(HWND)> fn, int timeoutMs = 5000);
// The text of a window.
std::string WindowText(HWND h);
// The text of the static of a message box.
std::string MessageBoxText(HWND hBox);
// Removes a WM_QUIT that a closed main window left in the queue.
void DrainQuit();
// Registers the common controls once.
void InitControls();

}  // namespace fwtest
