#pragma once
#include <string>

namespace vermilax::platform {

// The Windows folder and the system folder, without trailing separator.
// Natively there is no such folder; these name folders that play the same role:
// $VERMILAX_WINDIR (default "/var/lib/vermilax/windows") and $VERMILAX_SYSDIR
// (default: the Windows folder + "/system32"). Tests set them through
// platform/posix/shell_folders.h.
std::string WindowsFolder();
std::string SystemFolder();

// CSIDL numbers of the special folders this program asks for.
enum Csidl : int {
  kCsidlDesktop = 0x00,
  kCsidlPrograms = 0x02,
  kCsidlPersonal = 0x05,  // My Documents
  kCsidlStartup = 0x07,
  kCsidlStartMenu = 0x0b,
  kCsidlDesktopDirectory = 0x10,
  kCsidlCommonStartMenu = 0x16,
  kCsidlCommonPrograms = 0x17,
  kCsidlCommonStartup = 0x18,
  kCsidlAppData = 0x1a,
  kCsidlLocalAppData = 0x1c,
  kCsidlInternetCache = 0x20,
  kCsidlCommonAppData = 0x23,
  kCsidlWindows = 0x24,
  kCsidlSystem = 0x25,
  kCsidlProgramFiles = 0x26,
  kCsidlMyPictures = 0x27,
  kCsidlProfile = 0x28,
  kCsidlProgramFilesCommon = 0x2b,
};

// Path of a shell special folder by CSIDL number, without trailing separator, or
// empty. Natively the common numbers map to their equivalents under the home
// folder ($HOME): Desktop -> ~/Desktop, AppData -> ~/.config, LocalAppData ->
// ~/.local/share, Startup -> ~/.config/autostart, Internet cache -> ~/.cache,
// Program Files -> /opt, common files -> /usr/local/share, common AppData -> /var/lib
// (see the table in the implementation); unknown numbers give empty.
std::string SpecialFolderPath(int csidl);

}  // namespace vermilax::platform
