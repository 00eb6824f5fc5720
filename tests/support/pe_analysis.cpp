#include "support/pe_analysis.h"

#include <algorithm>
#include <cstring>

#include "engine/memory_file.h"

namespace vermilax::test {

AnalysedPe AnalysePe(const std::string& bytes, uint32_t options) {
  AnalysedPe analysed;
  analysed.scanner = std::make_unique<PEScannerEx>("test.exe", std::make_unique<MemoryFile>(bytes), false);
  analysed.context.Options = options;
  analysed.result = analysed.scanner->Execute(&analysed.context);
  return analysed;
}

bool FakeFile::Seek(uint64_t position) {
  position_ = position;
  return true;
}

int64_t FakeFile::Read(void* buffer, uint32_t count) {
  if (fail_reads_from_ && position_ + count > *fail_reads_from_) return -1;
  if (position_ >= bytes_.size()) return 0;
  size_t n = std::min<uint64_t>({count, max_read_, bytes_.size() - position_});
  std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return int64_t(n);
}

}  // namespace vermilax::test
