#include <ctime>

#include "platform/local_time.h"

namespace vermilax::platform {

LocalTime CurrentLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  ::localtime_r(&now, &parts);  // the reentrant form: callers run on several threads
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

}  // namespace vermilax::platform
