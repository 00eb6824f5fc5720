#include "platform/posix/http_response_parser.h"

#include <cctype>

namespace vermilax::platform::http {
namespace {

const size_t kMaxLine = 8192;
const size_t kMaxHeaderBytes = 64 * 1024;
const size_t kMaxHeaders = 128;

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = char(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<uint64_t> ParseContentLength(std::string_view text) {
  text = Trimmed(text);
  if (text.empty() || text.size() > 18) return std::nullopt;  // 18 digits cannot overflow
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + uint64_t(c - '0');
  }
  return value;
}

}  // namespace

HttpResponseParser::HttpResponseParser(BodySink sink) : sink_(std::move(sink)) {}

bool HttpResponseParser::Fail() {
  state_ = State::Error;
  return false;
}

bool HttpResponseParser::TakeLine(const char*& data, const char* end, size_t limit) {
  if (line_complete_) {
    line_.clear();
    line_complete_ = false;
  }
  while (data < end) {
    char c = *data++;
    if (c == '\n') {
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      line_complete_ = true;
      return true;
    }
    if (line_.size() >= limit) {
      state_ = State::Error;
      return false;
    }
    line_ += c;
  }
  return false;
}

bool HttpResponseParser::OnStatusLine() {
  // "HTTP/1.1 200 OK": a version, one blank, three digits, then a blank or the end.
  std::string_view line = line_;
  if (line.substr(0, 5) != "HTTP/") return Fail();
  size_t blank = line.find(' ');
  if (blank == std::string_view::npos || line.size() < blank + 4) return Fail();
  std::string_view code = line.substr(blank + 1, 3);
  for (char c : code)
    if (c < '0' || c > '9') return Fail();
  if (line.size() > blank + 4 && line[blank + 4] != ' ') return Fail();
  status_ = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
  if (status_ < 100) return Fail();
  state_ = State::Headers;
  return true;
}

bool HttpResponseParser::OnHeaderLine() {
  std::string_view line = line_;
  if (line.front() == ' ' || line.front() == '\t') {
    // A folded continuation of the previous header.
    if (headers_.empty()) return Fail();
    headers_.back().second += ' ';
    headers_.back().second += Trimmed(line);
    return true;
  }
  size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos || headers_.size() >= kMaxHeaders) return Fail();
  std::string_view name = line.substr(0, colon);
  for (char c : name)
    if (c == ' ' || c == '\t') return Fail();
  headers_.emplace_back(Lower(name), std::string(Trimmed(line.substr(colon + 1))));
  return true;
}

bool HttpResponseParser::OnHeadersEnd() {
  if (status_ >= 100 && status_ < 200) {
    if (status_ == 101) return Fail();  // no protocol switch was asked for
    // An interim answer: the real one follows.
    headers_.clear();
    state_ = State::StatusLine;
    return true;
  }
  headers_done_ = true;
  if (status_ == 204 || status_ == 304) {
    state_ = State::Done;
    return true;
  }
  if (auto coding = Header("transfer-encoding")) {
    std::string codings = Lower(*coding);
    size_t comma = codings.rfind(',');
    std::string_view last = Trimmed(std::string_view(codings).substr(comma == std::string::npos ? 0 : comma + 1));
    state_ = last == "chunked" ? State::ChunkSize : State::BodyUntilClose;
    return true;
  }
  if (auto length = Header("content-length")) {
    auto value = ParseContentLength(*length);
    if (!value) return Fail();
    remaining_ = *value;
    state_ = remaining_ == 0 ? State::Done : State::Body;
    return true;
  }
  state_ = State::BodyUntilClose;
  return true;
}

bool HttpResponseParser::OnChunkSizeLine() {
  std::string_view line = line_;
  line = Trimmed(line.substr(0, line.find(';')));
  if (line.empty() || line.size() > 15) return Fail();  // 15 hex digits cannot overflow
  uint64_t size = 0;
  for (char c : line) {
    int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                            : -1;
    if (digit < 0) return Fail();
    size = size * 16 + uint64_t(digit);
  }
  remaining_ = size;
  state_ = size == 0 ? State::Trailers : State::ChunkData;
  return true;
}

bool HttpResponseParser::Feed(const char* data, size_t size) {
  const char* end = data + size;
  while (data < end) {
    switch (state_) {
      case State::Error:
        return false;
      case State::Done:
        return true;  // anything after the response is not ours to read
      case State::StatusLine:
        if (!TakeLine(data, end, kMaxLine)) break;
        header_bytes_ += line_.size() + 2;
        if (!OnStatusLine()) return false;
        break;
      case State::Headers:
        if (!TakeLine(data, end, kMaxLine)) break;
        header_bytes_ += line_.size() + 2;
        if (header_bytes_ > kMaxHeaderBytes) return Fail();
        if (line_.empty() ? !OnHeadersEnd() : !OnHeaderLine()) return false;
        break;
      case State::Body:
      case State::ChunkData: {
        size_t take = size_t(end - data) < remaining_ ? size_t(end - data) : size_t(remaining_);
        if (!sink_(data, take)) return Fail();
        data += take;
        remaining_ -= take;
        if (remaining_ == 0) state_ = state_ == State::Body ? State::Done : State::ChunkEnd;
        break;
      }
      case State::BodyUntilClose:
        if (!sink_(data, size_t(end - data))) return Fail();
        data = end;
        break;
      case State::ChunkEnd:
        if (!TakeLine(data, end, 2)) break;
        if (!line_.empty()) return Fail();
        state_ = State::ChunkSize;
        break;
      case State::ChunkSize:
        if (!TakeLine(data, end, 1024)) break;
        if (!OnChunkSizeLine()) return false;
        break;
      case State::Trailers:
        if (!TakeLine(data, end, kMaxLine)) break;
        header_bytes_ += line_.size() + 2;
        if (header_bytes_ > kMaxHeaderBytes) return Fail();
        if (line_.empty()) state_ = State::Done;
        break;
    }
  }
  return state_ != State::Error;
}

bool HttpResponseParser::FinishAtClose() {
  if (state_ == State::BodyUntilClose) state_ = State::Done;
  return state_ == State::Done;
}

std::optional<std::string> HttpResponseParser::Header(std::string_view name) const {
  std::string wanted = Lower(name);
  for (const auto& [key, value] : headers_)
    if (key == wanted) return value;
  return std::nullopt;
}

}  // namespace vermilax::platform::http
