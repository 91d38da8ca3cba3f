// TCP sockets as the HTTP client uses them: IPv4, connected with a time
// limit, closed on every path.
#ifndef KAVREL_PLATFORM_SOCKET_H
#define KAVREL_PLATFORM_SOCKET_H

#include <cstddef>
#include <string>
#include <string_view>

namespace kavrel {

// Owns a socket descriptor: shut down and closed on every path.
class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket();
  int fd() const { return fd_; }

 private:
  int fd_;
};

// A connected IPv4 TCP socket, or -1 with errno set. The host is a dotted
// address or a name; the port counts with its low 16 bits. Connecting
// gives up after `timeoutSeconds`, and so does every later send or
// receive that waits that long.
int ConnectTcp(const std::string& host, int port, int timeoutSeconds);

// Sends everything or as much as the peer took: a short count is reported
// by the caller. Never raises SIGPIPE on a closed peer.
size_t SendAll(int fd, std::string_view bytes);

}  // namespace kavrel

#endif
