#pragma once
#include <cstdint>

// Offsets and constants of the published PE format that the parser relies on.
namespace vermilax::pe {

inline constexpr uint32_t kNewHeaderPointerOffset = 60;  // e_lfanew in the DOS header

inline constexpr uint32_t kFileHeaderSize = 24;  // "PE\0\0" + IMAGE_FILE_HEADER
inline constexpr uint32_t kFileMachine = 4;
inline constexpr uint32_t kFileNumberOfSections = 6;
inline constexpr uint32_t kFileSizeOfOptionalHeader = 20;
inline constexpr uint32_t kFileCharacteristics = 22;

inline constexpr uint16_t kCharExecutableImage = 0x0002;
inline constexpr uint16_t kCharDll = 0x2000;

inline constexpr uint32_t kOptionalHeaderSize32 = 224;
inline constexpr uint32_t kOptionalHeaderSize64 = 240;
inline constexpr uint16_t kMagicPE32 = 0x10B;
inline constexpr uint16_t kMagicPE32Plus = 0x20B;

// Offsets inside the optional header.
inline constexpr uint32_t kOptMagic = 0;
inline constexpr uint32_t kOptAddressOfEntryPoint = 16;
inline constexpr uint32_t kOptImageBase32 = 28;
inline constexpr uint32_t kOptImageBase64 = 24;
inline constexpr uint32_t kOptSectionAlignment = 32;
inline constexpr uint32_t kOptFileAlignment = 36;
inline constexpr uint32_t kOptSizeOfHeaders = 60;
inline constexpr uint32_t kOptSubsystem = 68;
inline constexpr uint32_t kOptDataDirectories32 = 96;
inline constexpr uint32_t kOptDataDirectories64 = 112;

inline constexpr int kDirExport = 0;
inline constexpr int kDirImport = 1;
inline constexpr int kDirResource = 2;

inline constexpr uint32_t kSectionHeaderSize = 40;
inline constexpr uint32_t kSectName = 0;
inline constexpr uint32_t kSectVirtualSize = 8;
inline constexpr uint32_t kSectVirtualAddress = 12;
inline constexpr uint32_t kSectSizeOfRawData = 16;
inline constexpr uint32_t kSectPointerToRawData = 20;
inline constexpr uint32_t kSectCharacteristics = 36;

inline constexpr uint32_t kImportDescriptorSize = 20;
inline constexpr uint32_t kExportDirectorySize = 40;

}  // namespace vermilax::pe
