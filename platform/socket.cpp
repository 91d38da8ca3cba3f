#include "platform/socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>

namespace kavrel {

namespace {

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

}  // namespace

int64_t Deadline::WaitMs(int silenceSeconds) const {
  int64_t left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - Clock::now()).count();
  return std::max<int64_t>(1, std::min<int64_t>(int64_t{silenceSeconds} * 1000, left));
}

SocketFailure SocketFailureOf(int errnum) {
  switch (errnum) {
    case ECONNREFUSED:
      return SocketFailure::kRefused;
    case ETIMEDOUT:
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
      return SocketFailure::kTimedOut;
    default:
      return SocketFailure::kOther;
  }
}

void SetWaitLimit(int fd, int64_t waitMs) {
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(waitMs / 1000);
  limit.tv_usec = static_cast<suseconds_t>(waitMs % 1000 * 1000);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

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

Socket::~Socket() {
  if (fd_ >= 0) {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
  }
}

int ConnectTcp(const std::string& host, int port, int64_t waitMs, SocketFailure& failure) {
  failure = SocketFailure::kNone;
  std::optional<in_addr> address = ResolveIpv4(host);
  if (!address) {
    failure = SocketFailure::kNotResolved;
    errno = EHOSTUNREACH;
    return -1;
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    failure = SocketFailure::kOther;
    return -1;
  }
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
      ready = ::poll(&wait, 1, static_cast<int>(std::min<int64_t>(waitMs, INT32_MAX)));
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
    failure = SocketFailureOf(saved);
    errno = saved;
    return -1;
  }
  ::fcntl(fd, F_SETFL, flags);
  SetWaitLimit(fd, waitMs);
  return fd;
}

}  // namespace kavrel
