#pragma once

#include <string>

namespace vermilax::platform {

// A moment on the local clock of the machine.
struct LocalTime {
  int year = 0;    // in full, e.g. 2009
  int month = 0;   // 1 to 12
  int day = 0;     // 1 to 31
  int hour = 0;    // 0 to 23
  int minute = 0;  // 0 to 59
  int second = 0;  // 0 to 59
};

LocalTime CurrentLocalTime();

// The current local date and time as the user reads them: on Windows the
// system's short date format, a blank and its long time format; elsewhere the
// fixed form "dd.mm.yyyy hh:mm:ss".
std::string FormatLocalDateTime();

}  // namespace vermilax::platform
