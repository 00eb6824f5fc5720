#include <windows.h>

#include <atomic>

#include "platform/console.h"

namespace vermilax::platform {
namespace {

// The console calls the handler on a thread of its own.
std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;  // closing, logoff: the default
  // A second Ctrl-C ends the process as usual.
  return interrupted.exchange(true) ? FALSE : TRUE;
}

}  // namespace

void CatchInterrupts() {
  interrupted = false;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool InterruptRequested() { return interrupted; }

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int StandardErrorColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
    return info.srWindow.Right - info.srWindow.Left + 1;
  return 80;
}

}  // namespace vermilax::platform
