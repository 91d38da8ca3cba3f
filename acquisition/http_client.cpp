#include "acquisition/http_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "catalogue/run.h"
#include "platform/fatal_error.h"
#include "platform/file_system.h"

namespace kavrel {

namespace {

constexpr size_t kReceiveBlock = 10240;
// A head that has not ended by then is judged by what came.
constexpr size_t kMaxHeldHead = 65536;
const std::string kDashes(79, '-');

// Closes a socket on every path.
class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() {
    if (fd_ >= 0) {
      ::shutdown(fd_, SHUT_RDWR);
      ::close(fd_);
    }
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::optional<in_addr> ResolveIpv4(const std::string& host) {
  in_addr address{};
  if (::inet_pton(AF_INET, host.c_str(), &address) == 1) return address;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
  address = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  return address;
}

// Sends everything or nothing useful: a short count is reported by the
// caller. Never raises SIGPIPE on a closed peer.
size_t SendAll(int fd, std::string_view bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    sent += static_cast<size_t>(n);
  }
  return sent;
}

void SetTimeouts(int fd, int seconds) {
  timeval limit{};
  limit.tv_sec = seconds;
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

// The head of a rejected response as lines of standard output.
std::string HeadEcho(std::string_view head) {
  std::string echo;
  echo.reserve(head.size());
  for (size_t i = 0; i < head.size(); ++i) {
    if (head[i] == '\r' && i + 1 < head.size() && head[i + 1] == '\n') continue;
    echo += head[i];
  }
  return echo;
}

// Prints why a response is refused; true when it is a page.
bool AcceptableHead(std::ostream& out, std::string_view received) {
  if (received.find("200 OK") == std::string_view::npos) {
    out << "Error: Unknown HTTP header" << '\n';
    size_t end = received.find("\r\n\r\n");
    if (end != std::string_view::npos) {
      out << kDashes << '\n' << HeadEcho(received.substr(0, end)) << '\n' << kDashes << '\n';
    }
    return false;
  }
  if (received.find("Content-Type: text/html") == std::string_view::npos) {
    out << "Error: incorect content type" << '\n';
    return false;
  }
  return true;
}

}  // namespace

std::string UrlHost(std::string_view address) {
  size_t scheme = address.find("://");
  if (scheme == std::string_view::npos) return std::string();
  std::string_view rest = address.substr(scheme + 3);
  return std::string(rest.substr(0, rest.find('/')));
}

std::string UrlPath(std::string_view address) {
  size_t scheme = address.find("://");
  if (scheme == std::string_view::npos) return std::string();
  size_t slash = address.find('/', scheme + 3);
  return slash == std::string_view::npos ? std::string() : std::string(address.substr(slash));
}

std::string EncodeBase64Group(const unsigned char* bytes, size_t count) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  uint32_t group = 0;
  for (size_t i = 0; i < 3; ++i) group = (group << 8) | (i < count ? bytes[i] : 0u);
  std::string encoded(4, '=');
  for (size_t i = 0; i < 4; ++i) {
    if (i <= count) encoded[i] = kAlphabet[(group >> (18 - 6 * i)) & 63];
  }
  return encoded;
}

std::string EncodeBase64(std::string_view text) {
  std::string encoded;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size(); i += 3) {
    encoded += EncodeBase64Group(bytes + i, std::min<size_t>(3, text.size() - i));
  }
  return encoded;
}

std::string BuildRequest(std::string_view address, const Options& options) {
  bool viaProxy = !options.ProxyHost.empty();
  std::string target = viaProxy ? std::string(address) : UrlPath(address);
  std::string request = "GET " + target + " HTTP/1.1\r\n";
  request += "Connection: close\r\n";
  request += "Host: " + UrlHost(address) + "\r\n";
  request += "Accept: */*\r\n";
  request += "Accept-Encoding: gzip, identity\r\n";
  if (viaProxy) {
    request += "Pragma: no-cache\r\n";
    request += "Cache-Control: no-cache\r\n";
  }
  if (!options.ProxyUser.empty() && !options.ProxyPassword.empty()) {
    // Credentials for a proxy go in the header proxies read; a proxy keeps
    // that header to itself, so the password never reaches the sites.
    // Without a proxy they are the page server's own credentials.
    request += viaProxy ? "Proxy-Authorization: Basic " : "Authorization: Basic ";
    request += EncodeBase64(options.ProxyUser + ":" + options.ProxyPassword) + "\r\n";
  }
  request += "\r\n";
  return request;
}

int ConnectTcp(const std::string& host, int port, int timeoutSeconds) {
  std::optional<in_addr> address = ResolveIpv4(host);
  if (!address) {
    errno = EHOSTUNREACH;
    return -1;
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) return -1;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  // Only the low 16 bits of a port count, as they always have.
  peer.sin_port = htons(static_cast<uint16_t>(port));
  peer.sin_addr = *address;
  // Connect without blocking so that a peer that never answers costs at
  // most the time limit.
  int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int result = ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
  if (result != 0 && errno == EINPROGRESS) {
    pollfd wait{fd, POLLOUT, 0};
    int ready;
    do {
      ready = ::poll(&wait, 1, timeoutSeconds * 1000);
    } while (ready < 0 && errno == EINTR);
    int error = 0;
    socklen_t length = sizeof error;
    if (ready == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
      result = 0;
    } else {
      errno = ready == 0 ? ETIMEDOUT : (error ? error : errno);
      result = -1;
    }
  }
  if (result != 0) {
    int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  ::fcntl(fd, F_SETFL, flags);
  SetTimeouts(fd, timeoutSeconds);
  return fd;
}

int DownloadPage(Run& run, const std::string& address, const std::string& path) {
  std::ostream& out = run.out;
  out << "Downloading " << address << "..." << '\n';
  out << "Connecting socket..." << '\n';
  const Options& options = run.options;
  bool viaProxy = !options.ProxyHost.empty();
  std::string host = viaProxy ? options.ProxyHost : UrlHost(address);
  int port = viaProxy ? options.ProxyPort : 80;
  Socket socket(ConnectTcp(host, port, run.NetworkTimeoutSeconds));
  if (socket.fd() < 0) {
    out << "Error: Can't connect to the host" << '\n';
    return -1;
  }

  // The request goes whole, however long the address.
  std::string request = BuildRequest(address, options);
  out << "Sending request..." << '\n';
  if (SendAll(socket.fd(), request) != request.size()) {
    out << "Error: Can't send request" << '\n';
    return -1;
  }

  OutputFile file = OutputFile::CreateExclusive(path);
  out << "Receiving data..." << '\n';
  // The head is judged once it is whole: a server or proxy may send it in
  // several pieces, and a valid response must not depend on how the
  // network cut it. Blocks are held back until then, and get their dots
  // when they are written.
  std::string held;
  int heldBlocks = 0;
  bool headChecked = false;
  auto writeBlock = [&](std::string_view bytes, int blocks) {
    file.Write(bytes);
    for (int i = 0; i < blocks; ++i) out << '.';
    out.flush();
  };
  std::string block(kReceiveBlock, '\0');
  for (;;) {
    ssize_t count = ::recv(socket.fd(), block.data(), kReceiveBlock, 0);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      // Also a peer that stayed silent for the whole time limit.
      out << "Error: Connection lost" << '\n';
      return -1;  // the file is removed when it goes out of scope
    }
    std::string_view received(block.data(), static_cast<size_t>(count));
    if (headChecked) {
      if (count == 0) break;
      writeBlock(received, 1);
      continue;
    }
    if (count > 0) {
      held.append(received);
      ++heldBlocks;
      if (held.find("\r\n\r\n") == std::string::npos && held.size() < kMaxHeldHead) continue;
    }
    // The head is whole, or the server ended before it was.
    if (!AcceptableHead(out, held)) return -1;
    headChecked = true;
    writeBlock(held, heldBlocks);
    if (count == 0) break;
  }
  file.Close();
  out << "Data received" << '\n';
  out << "Connection closed" << '\n';
  return 0;
}

}  // namespace kavrel
