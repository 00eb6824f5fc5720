#pragma once
#include <string>

#include "platform/local_time.h"

namespace vermilax {

// The current local time as "YYYY-MM-DD [hh-mm-ss]", e.g. "2009-07-18 [09-05-03]":
// every part below 10 gets a leading "0", the year is written in full.
std::string FormatTimestamp();
std::string FormatTimestamp(const platform::LocalTime& time);

}  // namespace vermilax
