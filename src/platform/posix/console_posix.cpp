#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

#include "platform/console.h"

namespace vermilax::platform {
namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

}  // namespace

void CatchInterrupts() {
  interrupted = 0;
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // Reads and waits go on; the owner polls the flag. A second Ctrl-C ends the
  // process as usual, for a user who does not want to wait for the log.
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  ::sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() { return interrupted != 0; }

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int StandardErrorColumns() {
  winsize size = {};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace vermilax::platform
