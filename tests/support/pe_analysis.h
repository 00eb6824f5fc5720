#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/pe_scanner.h"
#include "engine/pe_scanner_ex.h"

namespace vermilax::test {

// Result of running PEScannerEx over bytes in memory, as the checker would.
struct AnalysedPe {
  std::unique_ptr<PEScannerEx> scanner;
  ScanContext context;
  int32_t result = 0;
};

AnalysedPe AnalysePe(const std::string& bytes, uint32_t options = kScanReportBroken | kScanChecker);

// A file whose size report and reads misbehave on request.
class FakeFile : public platform::File {
 public:
  explicit FakeFile(std::string bytes) : bytes_(std::move(bytes)), reported_size_(bytes_.size()) {}
  FakeFile& ReportSize(std::optional<uint64_t> size) {
    reported_size_ = size;
    return *this;
  }
  FakeFile& FailReadsFrom(uint64_t position) {
    fail_reads_from_ = position;
    return *this;
  }
  FakeFile& LimitEachRead(uint32_t bytes) {
    max_read_ = bytes;
    return *this;
  }

  std::optional<uint64_t> Size() override { return reported_size_; }
  bool Seek(uint64_t position) override;
  int64_t Read(void* buffer, uint32_t count) override;

 private:
  std::string bytes_;
  std::optional<uint64_t> reported_size_;
  std::optional<uint64_t> fail_reads_from_;
  uint32_t max_read_ = UINT32_MAX;
  uint64_t position_ = 0;
};

}  // namespace vermilax::test
