// Signature trust through the system's trust service ("wintrust.dll"): the
// catalog that lists the file's hash when there is one, else the file itself.
#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>
#include <mscat.h>

#include <string>

#include "platform/files.h"
#include "platform/trust.h"

namespace vermilax::platform {
namespace {

// The library is loaded by name and kept until the program ends; when it or any
// function is missing, every check answers false.
struct TrustFunctions {
  decltype(&::CryptCATAdminAcquireContext) AcquireContext = nullptr;
  decltype(&::CryptCATAdminCalcHashFromFileHandle) CalcHashFromFileHandle = nullptr;
  decltype(&::CryptCATAdminEnumCatalogFromHash) EnumCatalogFromHash = nullptr;
  decltype(&::CryptCATCatalogInfoFromContext) CatalogInfoFromContext = nullptr;
  decltype(&::WinVerifyTrust) VerifyTrust = nullptr;
  decltype(&::CryptCATAdminReleaseCatalogContext) ReleaseCatalogContext = nullptr;
  decltype(&::CryptCATAdminReleaseContext) ReleaseContext = nullptr;

  bool Complete() const {
    return AcquireContext && CalcHashFromFileHandle && EnumCatalogFromHash && CatalogInfoFromContext &&
           VerifyTrust && ReleaseCatalogContext && ReleaseContext;
  }
};

template <typename Function>
void Resolve(HMODULE library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

const TrustFunctions& Functions() {
  static const TrustFunctions functions = [] {
    TrustFunctions f;
    HMODULE library = LoadLibraryA("wintrust.dll");
    if (!library) return f;
    Resolve(library, "CryptCATAdminAcquireContext", f.AcquireContext);
    Resolve(library, "CryptCATAdminCalcHashFromFileHandle", f.CalcHashFromFileHandle);
    Resolve(library, "CryptCATAdminEnumCatalogFromHash", f.EnumCatalogFromHash);
    Resolve(library, "CryptCATCatalogInfoFromContext", f.CatalogInfoFromContext);
    Resolve(library, "WinVerifyTrust", f.VerifyTrust);
    Resolve(library, "CryptCATAdminReleaseCatalogContext", f.ReleaseCatalogContext);
    Resolve(library, "CryptCATAdminReleaseContext", f.ReleaseContext);
    return f;
  }();
  return functions;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(size_t(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), length);
  return wide;
}

// The catalog's member tag: the hash bytes as upper-case hexadecimal digits.
std::wstring MemberTag(const BYTE* hash, DWORD length) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring tag;
  for (DWORD i = 0; i < length; ++i) {
    tag += kDigits[hash[i] >> 4];
    tag += kDigits[hash[i] & 0x0F];
  }
  return tag;
}

// The catalog hash of the file, read while others may read it too.
bool CatalogHash(const TrustFunctions& f, const std::string& path, BYTE (&hash)[256], DWORD& length) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  length = sizeof hash;
  bool ok = f.CalcHashFromFileHandle(file, &length, hash, 0) && length <= sizeof hash;
  CloseHandle(file);
  return ok;
}

}  // namespace

bool TrustServiceAvailable() { return Functions().Complete(); }

bool IsFileTrusted(const std::string& path) {
  if (!FileExists(path)) return false;
  const TrustFunctions& f = Functions();
  if (!f.Complete()) return false;

  HCATADMIN admin = nullptr;
  if (!f.AcquireContext(&admin, nullptr, 0)) return false;
  BYTE hash[256] = {};
  DWORD hash_length = 0;
  if (!CatalogHash(f, path, hash, hash_length)) {
    f.ReleaseContext(admin, 0);
    return false;
  }
  std::wstring tag = MemberTag(hash, hash_length);
  std::wstring wide_path = Widen(path);

  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  WINTRUST_FILE_INFO file_info{};
  WINTRUST_CATALOG_INFO catalog_info{};
  CATALOG_INFO catalog{};
  catalog.cbStruct = sizeof catalog;

  bool verifiable = true;
  HCATINFO catalog_context = f.EnumCatalogFromHash(admin, hash, hash_length, 0, nullptr);
  if (catalog_context) {
    verifiable = f.CatalogInfoFromContext(catalog_context, &catalog, 0) != 0;
    catalog_info.cbStruct = sizeof catalog_info;
    catalog_info.dwCatalogVersion = 0;
    catalog_info.pcwszCatalogFilePath = catalog.wszCatalogFile;
    catalog_info.pcwszMemberTag = tag.c_str();
    catalog_info.pcwszMemberFilePath = wide_path.c_str();
    catalog_info.hMemberFile = nullptr;
    data.dwUnionChoice = WTD_CHOICE_CATALOG;
    data.pCatalog = &catalog_info;
  } else {
    file_info.cbStruct = sizeof file_info;
    file_info.pcwszFilePath = wide_path.c_str();
    file_info.hFile = nullptr;
    file_info.pgKnownSubject = nullptr;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file_info;
  }

  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  bool trusted = verifiable && f.VerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data) == 0;

  if (catalog_context) f.ReleaseCatalogContext(admin, catalog_context, 0);
  f.ReleaseContext(admin, 0);
  return trusted;
}

}  // namespace vermilax::platform
