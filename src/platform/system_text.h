#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Readers of the small text files through which a system without Windows
// describes itself (/proc/cpuinfo, /proc/meminfo, /etc/os-release).
namespace vermilax::platform {

// Value of the first "key : value" line whose key matches exactly (both sides
// trimmed of blanks and tabs), as in /proc/cpuinfo and /proc/meminfo.
std::optional<std::string> ColonField(std::string_view text, std::string_view key);

// Value of a KEY=value line of os-release, with shell-style quotes removed.
std::optional<std::string> OsReleaseField(std::string_view text, std::string_view key);

// "MemTotal: N kB" of /proc/meminfo in bytes, capped to 0xFFFFFFFF the way a
// 32-bit memory status reports larger machines; 0 when missing or malformed.
uint32_t MemTotalBytes(std::string_view meminfo);

// The third number of a kernel release ("6.1.55-amd64" -> 55), standing in for
// a build number; 0 when the release has fewer numbers.
uint32_t KernelPatchLevel(std::string_view release);

}  // namespace vermilax::platform
