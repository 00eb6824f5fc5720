#include <windows.h>

#include "platform/local_time.h"

namespace vermilax::platform {

LocalTime CurrentLocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

std::string FormatLocalDateTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char date[128] = {};
  char time[128] = {};
  if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, sizeof date) == 0) date[0] = 0;
  if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, sizeof time) == 0) time[0] = 0;
  return std::string(date) + " " + time;
}

}  // namespace vermilax::platform
