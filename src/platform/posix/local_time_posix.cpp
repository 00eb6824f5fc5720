#include <cstdio>
#include <ctime>

#include "platform/local_time.h"

namespace vermilax::platform {

LocalTime CurrentLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  ::localtime_r(&now, &parts);  // the reentrant form: callers run on several threads
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

std::string FormatLocalDateTime() {
  const LocalTime now = CurrentLocalTime();
  char text[80];  // room for any int the compiler can imagine in each field
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", now.day, now.month, now.year, now.hour,
                now.minute, now.second);
  return text;
}

}  // namespace vermilax::platform
