#pragma once

namespace vermilax::platform {

// From now on the first Ctrl-C (or Ctrl-Break on Windows) only sets a flag that
// the program reads with InterruptRequested; a second one ends the process.
void CatchInterrupts();
// True once an interrupt has arrived since CatchInterrupts.
bool InterruptRequested();

// True when standard error goes to a terminal (a console window on Windows).
bool StandardErrorIsTerminal();
// Columns of the terminal behind standard error, or 80 when it cannot tell.
int StandardErrorColumns();

}  // namespace vermilax::platform
