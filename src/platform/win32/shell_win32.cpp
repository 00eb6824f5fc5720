// Windows, system and shell special folders.
#include <windows.h>
// After windows.h:
#include <shlobj.h>

#include "platform/shell.h"

namespace vermilax::platform {
namespace {

// Reads a folder through one of the Get...DirectoryA calls, which answer the
// length they need when the buffer is too small.
template <typename GetFolder>
std::string FolderFrom(GetFolder get) {
  char buffer[MAX_PATH + 1];
  UINT n = get(buffer, UINT(sizeof buffer));
  if (n == 0 || n >= sizeof buffer) return std::string();
  std::string path(buffer, n);
  if (path.size() > 1 && path.back() == '\\') path.pop_back();
  return path;
}

// SHGetFolderPathA is missing from the shell of the oldest systems; look it up by name.
using GetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

GetFolderPathFn FindGetFolderPath() {
  HMODULE shell = GetModuleHandleA("shell32.dll");
  if (!shell) shell = LoadLibraryA("shell32.dll");
  if (!shell) return nullptr;
  return reinterpret_cast<GetFolderPathFn>(reinterpret_cast<void*>(GetProcAddress(shell, "SHGetFolderPathA")));
}

}  // namespace

std::string WindowsFolder() {
  return FolderFrom([](char* b, UINT n) { return GetWindowsDirectoryA(b, n); });
}

std::string SystemFolder() {
  return FolderFrom([](char* b, UINT n) { return GetSystemDirectoryA(b, n); });
}

std::string SpecialFolderPath(int csidl) {
  char buffer[MAX_PATH + 1] = {};
  static const GetFolderPathFn get_folder_path = FindGetFolderPath();
  if (get_folder_path && SUCCEEDED(get_folder_path(nullptr, csidl, nullptr, 0 /* SHGFP_TYPE_CURRENT */, buffer)))
    return buffer;
  // The item-id list of the folder, converted to a path.
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return std::string();
  std::string path;
  if (SHGetPathFromIDListA(list, buffer)) path = buffer;
  CoTaskMemFree(list);
  return path;
}

}  // namespace vermilax::platform
