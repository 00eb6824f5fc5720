#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vermilax::test {

// One canned answer of the LocalHttpServer.
struct HttpReply {
  enum class Framing { ContentLength, Chunked, CloseDelimited };
  using Headers = std::vector<std::pair<std::string, std::string>>;
  HttpReply(int status = 200, std::string body = "", Framing framing = Framing::ContentLength, Headers headers = {})
      : status(status), body(std::move(body)), framing(framing), headers(std::move(headers)) {}

  int status = 200;
  std::string body;
  Framing framing = Framing::ContentLength;
  Headers headers;  // sent in addition, e.g. Location
};

// An HTTP server on 127.0.0.1 (a port the system picks) that runs on its own
// thread inside the test process and answers each request target (path and query)
// with the reply set for it, or 404. It handles one connection at a time, closes
// each after the answer, records the request lines, and stops when it goes.
class LocalHttpServer {
 public:
  LocalHttpServer();
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // False when the server could not listen; the test should then fail.
  bool Listening() const { return listener_ != kNoSocket; }
  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `target`.
  std::string Url(const std::string& target) const;

  void Serve(const std::string& target, const HttpReply& reply);
  // The request lines received so far, e.g. "GET /list?x=1 HTTP/1.1".
  std::vector<std::string> RequestLines() const;

 private:
#ifdef _WIN32
  using Socket = uintptr_t;
#else
  using Socket = int;
#endif
  static constexpr Socket kNoSocket = Socket(-1);

  void Run();
  void Answer(Socket client);

  Socket listener_ = kNoSocket;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::map<std::string, HttpReply> replies_;
  std::vector<std::string> request_lines_;
  std::thread thread_;
};

}  // namespace vermilax::test
