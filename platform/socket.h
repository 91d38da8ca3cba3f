// TCP sockets as the HTTP client uses them: IPv4, connected with a time
// limit, closed on every path; every wait bounded by the silence limit and
// by what is left of a deadline.
#ifndef KAVREL_PLATFORM_SOCKET_H
#define KAVREL_PLATFORM_SOCKET_H

#include <chrono>
#include <cstddef>
#include <cstdint>
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

// A point in time after which no more waiting is done.
class Deadline {
 public:
  using Clock = std::chrono::steady_clock;
  explicit Deadline(int seconds) : end_(Clock::now() + std::chrono::seconds(seconds)) {}
  bool Passed() const { return Clock::now() >= end_; }

  // How long the next wait may take: `silenceSeconds`, or what is left of
  // the deadline when that is less (at least 1 ms, so that a wait that
  // was due never becomes a wait without a limit).
  int64_t WaitMs(int silenceSeconds) const;

 private:
  Clock::time_point end_;
};

// Why a socket step failed, in the words the walk groups failures by.
enum class SocketFailure { kNone, kNotResolved, kRefused, kTimedOut, kOther };

// The failure an errno value stands for after connect, send or recv.
SocketFailure SocketFailureOf(int errnum);

// A connected IPv4 TCP socket, or -1 with `failure` set (and errno). The
// host is a dotted address or a name; the port counts with its low 16
// bits. Connecting gives up after `waitMs`.
int ConnectTcp(const std::string& host, int port, int64_t waitMs, SocketFailure& failure);

// The longest any later send or receive on the socket may wait.
void SetWaitLimit(int fd, int64_t waitMs);

// Sends everything or as much as the peer took: a short count is reported
// by the caller. Never raises SIGPIPE on a closed peer.
size_t SendAll(int fd, std::string_view bytes);

}  // namespace kavrel

#endif
