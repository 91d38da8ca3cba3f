#include "platform/tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace kavrel {

namespace {

// OpenSSL's own socket layer writes with write(), which raises SIGPIPE on
// a peer that has gone and ends the program. This one sends with
// MSG_NOSIGNAL, and reports a time-out as a plain failure rather than a
// retry, so that a silent server ends a read instead of being waited for
// again.
int SocketWrite(BIO* bio, const char* data, int length) {
  ssize_t sent;
  do {
    sent = ::send(BIO_get_fd(bio, nullptr), data, static_cast<size_t>(length), MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return static_cast<int>(sent);
}

int SocketRead(BIO* bio, char* data, int length) {
  ssize_t got;
  do {
    got = ::recv(BIO_get_fd(bio, nullptr), data, static_cast<size_t>(length), 0);
  } while (got < 0 && errno == EINTR);
  if (got == 0) BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
  return static_cast<int>(got);
}

const BIO_METHOD* SocketMethod() {
  static const BIO_METHOD* method = [] {
    // The standard socket method's bookkeeping (fd, close flag, EOF) with
    // the reading and writing above.
    BIO_METHOD* own = BIO_meth_new(BIO_TYPE_SOCKET, "kavrel socket");
    const BIO_METHOD* standard = BIO_s_socket();
    BIO_meth_set_write(own, SocketWrite);
    BIO_meth_set_read(own, SocketRead);
    BIO_meth_set_puts(own, BIO_meth_get_puts(standard));
    BIO_meth_set_ctrl(own, BIO_meth_get_ctrl(standard));
    BIO_meth_set_create(own, BIO_meth_get_create(standard));
    BIO_meth_set_destroy(own, BIO_meth_get_destroy(standard));
    return own;
  }();
  return method;
}

struct ContextFree {
  void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

struct SessionFree {
  void operator()(SSL_SESSION* session) const { SSL_SESSION_free(session); }
};

// The newest session each server (by the key the caller gave: host and
// port) offered to resume. A walk asks one server for page after page; a
// resumed handshake skips the certificate and its checks, which the first
// handshake of the run already made.
std::map<std::string, std::unique_ptr<SSL_SESSION, SessionFree>>& Sessions() {
  static std::map<std::string, std::unique_ptr<SSL_SESSION, SessionFree>> sessions;
  return sessions;
}

// Called by OpenSSL when a server hands out a session (with TLS 1.3 after
// the handshake, while the answer is read); keeps it under the
// connection's key.
int KeepSession(SSL* ssl, SSL_SESSION* session) {
  const auto* key = static_cast<const std::string*>(SSL_get_app_data(ssl));
  if (key == nullptr || key->empty() || SSL_SESSION_is_resumable(session) != 1) return 0;
  Sessions()[*key].reset(session);
  return 1;  // the session is ours now
}

// One client context for the run: the trust store is read once.
SSL_CTX* ClientContext() {
  static std::unique_ptr<SSL_CTX, ContextFree> context = [] {
    std::unique_ptr<SSL_CTX, ContextFree> made(SSL_CTX_new(TLS_client_method()));
    if (made) {
      SSL_CTX_set_min_proto_version(made.get(), TLS1_2_VERSION);
      SSL_CTX_set_verify(made.get(), SSL_VERIFY_PEER, nullptr);
      SSL_CTX_set_default_verify_paths(made.get());
      // Names are checked against subjectAltName alone: a certificate that
      // names its host only in the subject's common name is not for it.
      X509_VERIFY_PARAM_set_hostflags(SSL_CTX_get0_param(made.get()), X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
      SSL_CTX_set_session_cache_mode(made.get(), SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
      SSL_CTX_sess_set_new_cb(made.get(), KeepSession);
    }
    ERR_clear_error();
    return made;
  }();
  return context.get();
}

bool IsDottedAddress(const std::string& host) {
  in_addr address{};
  return ::inet_pton(AF_INET, host.c_str(), &address) == 1;
}

// What went wrong, from OpenSSL's error queue or else from the socket.
std::string FailureReason(int sslError, int savedErrno) {
  unsigned long code = ERR_peek_last_error();
  ERR_clear_error();
  if (code != 0) {
    if (const char* reason = ERR_reason_error_string(code)) return reason;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
  }
  if (sslError == SSL_ERROR_SYSCALL && (savedErrno == EAGAIN || savedErrno == EWOULDBLOCK)) {
    return "the server did not answer in time";
  }
  if (sslError == SSL_ERROR_SYSCALL && savedErrno != 0) return std::strerror(savedErrno);
  return "the server closed the connection";
}

}  // namespace

TlsConnection::~TlsConnection() {
  if (ssl_ == nullptr) return;
  // OpenSSL forgets the session of a connection freed without a shutdown,
  // as if it had been broken; one that had no failure is marked ended
  // (quietly: nothing more is sent) so that its session can be resumed.
  if (sound_) {
    SSL_set_quiet_shutdown(ssl_, 1);
    SSL_shutdown(ssl_);
  }
  SSL_free(ssl_);
}

TlsResult TlsConnection::Connect(int fd, const std::string& host, const std::string& sessionKey) {
  SSL_CTX* context = ClientContext();
  if (context == nullptr || (ssl_ = SSL_new(context)) == nullptr) {
    return TlsResult{TlsOutcome::kFailed, FailureReason(SSL_ERROR_SSL, 0)};
  }
  sessionKey_ = sessionKey;
  SSL_set_app_data(ssl_, &sessionKey_);
  if (!sessionKey_.empty()) {
    auto kept = Sessions().find(sessionKey_);
    if (kept != Sessions().end()) SSL_set_session(ssl_, kept->second.get());
  }
  BIO* bio = BIO_new(SocketMethod());
  if (bio == nullptr) return TlsResult{TlsOutcome::kFailed, FailureReason(SSL_ERROR_SSL, 0)};
  BIO_set_fd(bio, fd, BIO_NOCLOSE);
  SSL_set_bio(ssl_, bio, bio);
  // Records are taken from the socket as they came, several to a read,
  // rather than each in two reads (its header, then its body).
  SSL_set_read_ahead(ssl_, 1);
  if (IsDottedAddress(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str());
  } else {
    SSL_set_tlsext_host_name(ssl_, host.c_str());
    SSL_set1_host(ssl_, host.c_str());
  }
  errno = 0;
  int result = SSL_connect(ssl_);
  if (result == 1) {
    sound_ = true;
    return TlsResult{TlsOutcome::kConnected, ""};
  }
  int savedErrno = errno;
  long verified = SSL_get_verify_result(ssl_);
  if (verified != X509_V_OK) {
    ERR_clear_error();
    return TlsResult{TlsOutcome::kUntrusted, X509_verify_cert_error_string(verified)};
  }
  return TlsResult{TlsOutcome::kFailed, FailureReason(SSL_get_error(ssl_, result), savedErrno)};
}

bool TlsConnection::Write(std::string_view bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    size_t written = 0;
    if (SSL_write_ex(ssl_, bytes.data() + sent, bytes.size() - sent, &written) != 1) {
      ERR_clear_error();
      sound_ = false;
      return false;
    }
    sent += written;
  }
  return true;
}

ssize_t TlsConnection::Read(char* buffer, size_t size) {
  size_t got = 0;
  errno = 0;
  int result = SSL_read_ex(ssl_, buffer, size, &got);
  if (result == 1) return static_cast<ssize_t>(got);
  int savedErrno = errno;
  int error = SSL_get_error(ssl_, result);
  unsigned long code = ERR_peek_error();
  ERR_clear_error();
  if (error == SSL_ERROR_ZERO_RETURN) {
    closedCleanly_ = true;
    return 0;
  }
  // Many servers close without the closing alert: an end all the same,
  // which only an announced length or the last chunk can vouch for.
  if (error == SSL_ERROR_SSL && ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING) return 0;
  if (error == SSL_ERROR_SYSCALL && savedErrno == 0) return 0;
  timedOut_ = error == SSL_ERROR_SYSCALL && (savedErrno == EAGAIN || savedErrno == EWOULDBLOCK);
  sound_ = false;
  return -1;
}

std::string TlsLibraryVersion() { return OpenSSL_version(OPENSSL_VERSION); }

}  // namespace kavrel
