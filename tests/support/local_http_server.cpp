#include "support/local_http_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace vermilax::test {
namespace {

#ifdef _WIN32
void CloseSocket(uintptr_t s) { closesocket(SOCKET(s)); }
using SocketLength = int;
const int kSendFlags = 0;

// Winsock must be started once per user of it.
struct WinsockUser {
  WinsockUser() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~WinsockUser() { WSACleanup(); }
};
#else
void CloseSocket(int s) { ::close(s); }
using SocketLength = socklen_t;
const int kSendFlags = MSG_NOSIGNAL;  // a client that left early must not end the test program
#endif

const char* ReasonOf(int status) {
  switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

std::string HexOf(size_t value) {
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789abcdef"[value % 16]);
    value /= 16;
  } while (value);
  return digits;
}

// The whole answer as it goes on the wire.
std::string Render(const HttpReply& reply) {
  std::string text = "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonOf(reply.status) + "\r\n";
  for (const auto& [name, value] : reply.headers) text += name + ": " + value + "\r\n";
  text += "Connection: close\r\n";
  switch (reply.framing) {
    case HttpReply::Framing::ContentLength:
      text += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body;
      break;
    case HttpReply::Framing::CloseDelimited:
      text += "\r\n" + reply.body;
      break;
    case HttpReply::Framing::Chunked: {
      text += "Transfer-Encoding: chunked\r\n\r\n";
      // Small chunks, so a reader meets many chunk borders.
      const size_t kChunk = 7;
      for (size_t at = 0; at < reply.body.size(); at += kChunk) {
        std::string piece = reply.body.substr(at, kChunk);
        text += HexOf(piece.size()) + "\r\n" + piece + "\r\n";
      }
      text += "0\r\n\r\n";
      break;
    }
  }
  return text;
}

}  // namespace

LocalHttpServer::LocalHttpServer() {
#ifdef _WIN32
  static WinsockUser winsock;
#endif
  Socket s = Socket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (s == kNoSocket) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  SocketLength length = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseSocket(s);
    return;
  }
  listener_ = s;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

LocalHttpServer::~LocalHttpServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != kNoSocket) CloseSocket(listener_);
}

std::string LocalHttpServer::Url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + target;
}

void LocalHttpServer::Serve(const std::string& target, const HttpReply& reply) {
  std::lock_guard lock(mutex_);
  replies_[target] = reply;
}

std::vector<std::string> LocalHttpServer::RequestLines() const {
  std::lock_guard lock(mutex_);
  return request_lines_;
}

void LocalHttpServer::Run() {
  while (!stop_) {
    // Wake up now and then to see whether the test is over.
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_, &readable);
    timeval wait{0, 50 * 1000};
    if (select(int(listener_ + 1), &readable, nullptr, nullptr, &wait) <= 0) continue;
    Socket client = Socket(accept(listener_, nullptr, nullptr));
    if (client == kNoSocket) continue;
    Answer(client);
    CloseSocket(client);
  }
}

void LocalHttpServer::Answer(Socket client) {
#ifdef _WIN32
  DWORD timeout = 10000;
#else
  timeval timeout{10, 0};
#endif
  setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  // Read the request head (a GET has no body); a bounded amount only.
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
    int n = int(recv(client, buffer, sizeof buffer, 0));
    if (n <= 0) return;
    request.append(buffer, size_t(n));
  }
  std::string line = request.substr(0, request.find("\r\n"));
  size_t first = line.find(' ');
  size_t last = line.rfind(' ');
  std::string target = first != std::string::npos && last > first ? line.substr(first + 1, last - first - 1) : "";

  HttpReply reply;
  {
    std::lock_guard lock(mutex_);
    request_lines_.push_back(line);
    auto it = replies_.find(target);
    if (it != replies_.end()) reply = it->second;
    else reply = HttpReply{404, "not found", HttpReply::Framing::ContentLength, {}};
  }
  std::string answer = Render(reply);
  for (size_t sent = 0; sent < answer.size();) {
    int n = int(send(client, answer.data() + sent, int(answer.size() - sent), kSendFlags));
    if (n <= 0) return;
    sent += size_t(n);
  }
#ifdef _WIN32
  shutdown(client, SD_SEND);
#else
  shutdown(client, SHUT_WR);
#endif
  // Let the client read everything before the socket closes.
  while (recv(client, buffer, sizeof buffer, 0) > 0) {
  }
}

}  // namespace vermilax::test
