// URL fetches natively: a minimal HTTP/1.1 GET client over sockets that stores the
// body in a new file of the temporary folder, standing in for the system's cache.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/posix/http_response_parser.h"
#include "platform/posix/http_url.h"
#include "platform/url_fetch.h"

namespace vermilax::platform {
namespace {

const int kTimeoutSeconds = 30;
const int kMaxRedirects = 5;

// A file descriptor closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Connects with the timeout to the first address of the host that answers.
int Connect(const http::HttpUrl& url) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* addresses = nullptr;
  if (::getaddrinfo(url.host.c_str(), std::to_string(url.port).c_str(), &hints, &addresses) != 0) return -1;
  int connected = -1;
  for (addrinfo* a = addresses; a && connected < 0; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    bool ok = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
    if (!ok && errno == EINPROGRESS) {
      pollfd wait{fd, POLLOUT, 0};
      int error = 0;
      socklen_t length = sizeof error;
      ok = ::poll(&wait, 1, kTimeoutSeconds * 1000) == 1 &&
           ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    timeval timeout{kTimeoutSeconds, 0};
    ok = ok && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0 &&
         ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) == 0 &&
         ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) == 0;
    if (ok) connected = fd;
    else ::close(fd);
  }
  ::freeaddrinfo(addresses);
  return connected;
}

bool SendAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

struct Answer {
  bool complete = false;  // the whole response arrived (for a redirect: its headers)
  int status = 0;
  std::string location;
};

// One GET request; a 200 answer's body goes to `body_file`.
Answer FetchOnce(const http::HttpUrl& url, const std::string& body_file) {
  Answer answer;
  Descriptor socket(Connect(url));
  if (socket.get() < 0) return answer;
  std::string request = "GET " + url.target + " HTTP/1.1\r\nHost: " + http::HostHeader(url) +
                        "\r\nUser-Agent: Vermilax\r\nAccept: */*\r\nConnection: close\r\n\r\n";
  if (!SendAll(socket.get(), request)) return answer;

  Descriptor file(::open(body_file.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
  if (file.get() < 0) return answer;
  http::HttpResponseParser parser([&](const char* data, size_t size) {
    return parser.Status() != 200 || WriteAll(file.get(), data, size);
  });
  char buffer[16384];
  for (;;) {
    if (parser.Complete() || (parser.HeadersDone() && IsRedirect(parser.Status()))) {
      answer.complete = true;
      break;
    }
    ssize_t n = ::recv(socket.get(), buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;  // also the receive timeout
    if (n == 0) {
      answer.complete = parser.FinishAtClose();
      break;
    }
    if (!parser.Feed(buffer, size_t(n))) break;
  }
  answer.status = parser.Status();
  answer.location = parser.Header("location").value_or(std::string());
  return answer;
}

}  // namespace

bool DownloadUrlToCacheFile(const std::string& url, std::string& cache_file) {
  auto target = http::ParseHttpUrl(url);
  for (int redirects = 0; target && redirects <= kMaxRedirects; ++redirects) {
    std::string file = CreateUniqueTempFile(TempFolder(), "vmx");
    if (file.empty()) return false;
    Answer answer = FetchOnce(*target, file);
    if (answer.complete && answer.status == 200) {
      cache_file = file;
      return true;
    }
    RemoveFile(file);
    if (!answer.complete || !IsRedirect(answer.status)) return false;
    target = http::ResolveRedirect(*target, answer.location);
  }
  return false;
}

void DiscardCachedUrl(const std::string&, const std::string& cache_file) {
  if (!cache_file.empty()) RemoveFile(cache_file);
}

}  // namespace vermilax::platform
