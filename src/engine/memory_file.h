#pragma once
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/files.h"

namespace vermilax {

// An open "file" over bytes in memory, for analysing buffers without touching the disk.
class MemoryFile : public platform::File {
 public:
  explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)) {}
  std::optional<uint64_t> Size() override { return bytes_.size(); }
  bool Seek(uint64_t position) override {
    position_ = position;
    return true;
  }
  int64_t Read(void* buffer, uint32_t count) override {
    if (position_ >= bytes_.size()) return 0;
    size_t n = std::min<uint64_t>(count, bytes_.size() - position_);
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return int64_t(n);
  }

 private:
  std::string bytes_;
  uint64_t position_ = 0;
};

}  // namespace vermilax
