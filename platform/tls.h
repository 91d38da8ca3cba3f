// TLS client connections with OpenSSL over a socket the caller connected:
// the bytes sent inside are still the caller's own. Certificates are
// verified against the system's trust store as OpenSSL finds it by default
// (so SSL_CERT_FILE and SSL_CERT_DIR choose another), and must name the
// host that was asked for in their subjectAltName.
#ifndef KAVREL_PLATFORM_TLS_H
#define KAVREL_PLATFORM_TLS_H

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

typedef struct ssl_st SSL;

namespace kavrel {

enum class TlsOutcome {
  kConnected,
  kUntrusted,  // the certificate failed verification
  kFailed,     // any other failure of the handshake
};

struct TlsResult {
  TlsOutcome outcome = TlsOutcome::kFailed;
  std::string reason;  // OpenSSL's words for what failed
};

class TlsConnection {
 public:
  TlsConnection() = default;
  TlsConnection(const TlsConnection&) = delete;
  TlsConnection& operator=(const TlsConnection&) = delete;
  ~TlsConnection();

  // The handshake on a connected socket, whose own time limits bound every
  // wait. `host` is a name (sent as SNI and checked against the
  // certificate's names) or a dotted address (checked against its
  // addresses). With a `sessionKey` (a server's host and port), a session
  // an earlier connection of the run to that key got is resumed, and the
  // newest session the server offers is kept for the next.
  TlsResult Connect(int fd, const std::string& host, const std::string& sessionKey = "");

  // Sends everything; false when the connection failed.
  bool Write(std::string_view bytes);

  // Up to `size` bytes: a positive count, 0 when the peer has ended the
  // stream (also without a closing alert: ClosedCleanly tells), -1 on an
  // error or when the socket's time limit ran out (TimedOut tells).
  ssize_t Read(char* buffer, size_t size);

  // The peer ended with TLS's closing alert, so nothing was cut off.
  bool ClosedCleanly() const { return closedCleanly_; }
  bool TimedOut() const { return timedOut_; }

 private:
  SSL* ssl_ = nullptr;
  std::string sessionKey_;  // OpenSSL hands it to the session callback
  bool sound_ = false;      // shaken hands, and nothing failed since
  bool closedCleanly_ = false;
  bool timedOut_ = false;
};

// "OpenSSL 3.0.x ..." as the library linked reports itself.
std::string TlsLibraryVersion();

}  // namespace kavrel

#endif
