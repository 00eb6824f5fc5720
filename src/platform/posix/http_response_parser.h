#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Native builds only: the response side of the small HTTP client.
namespace vermilax::platform::http {

// Reads one HTTP/1.x response fed in pieces as they arrive: status line, headers
// (interim 1xx answers are skipped) and a body delimited by Content-Length, by
// chunked transfer coding or by the end of the connection. Body bytes go to the
// sink as they are decoded; nothing grows with the body. Lines are bounded, so
// any byte sequence ends in a result or an error, never in unbounded memory.
class HttpResponseParser {
 public:
  // Receives decoded body bytes; returns false to abandon the response.
  using BodySink = std::function<bool(const char* data, size_t size)>;

  explicit HttpResponseParser(BodySink sink);

  // Takes the next bytes of the connection. False once the response is malformed
  // or the sink refused bytes; further calls then keep answering false.
  bool Feed(const char* data, size_t size);
  // To call when the peer closed the connection: true when the response is complete
  // (a body delimited by the close ends here).
  bool FinishAtClose();

  bool HeadersDone() const { return headers_done_; }
  // True when the body has been read to its declared end.
  bool Complete() const { return state_ == State::Done; }
  bool Failed() const { return state_ == State::Error; }
  int Status() const { return status_; }
  // Value of the first header of that name (letter case ignored), or nullopt.
  std::optional<std::string> Header(std::string_view name) const;

 private:
  enum class State { StatusLine, Headers, Body, BodyUntilClose, ChunkSize, ChunkData, ChunkEnd, Trailers, Done, Error };

  // Collects one line; true when `line_` holds a whole line (without CR LF).
  bool TakeLine(const char*& data, const char* end, size_t limit);
  bool OnStatusLine();
  bool OnHeaderLine();
  bool OnHeadersEnd();
  bool OnChunkSizeLine();
  bool Fail();

  BodySink sink_;
  State state_ = State::StatusLine;
  std::string line_;
  bool line_complete_ = false;
  int status_ = 0;
  bool headers_done_ = false;
  size_t header_bytes_ = 0;
  std::vector<std::pair<std::string, std::string>> headers_;
  uint64_t remaining_ = 0;  // of the body or of the current chunk
};

}  // namespace vermilax::platform::http
