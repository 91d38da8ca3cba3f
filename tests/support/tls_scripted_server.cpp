#include "support/tls_scripted_server.h"

#include <openssl/ssl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string_view>

namespace kavrel::testing {

namespace {

// What a plain http server on the https port would say.
const std::string kNotTls = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n" + std::string(512, '?');

// Waits up to `ms` for bytes (or the end) from the peer.
bool Readable(int fd, int ms) {
  pollfd in{fd, POLLIN, 0};
  return ::poll(&in, 1, ms) > 0;
}

}  // namespace

TlsScriptedServer::TlsScriptedServer(const TestCertificates& certificates, std::vector<std::string> responses,
                                     TestCertificates::Kind kind, int port)
    : listener_(ListenOnLoopback(port)), responses_(std::move(responses)) {
  ServerCertificate leaf = certificates.Make(listener_.address, kind);
  context_ = SSL_CTX_new(TLS_server_method());
  if (context_ == nullptr || SSL_CTX_use_certificate_chain_file(context_, leaf.certFile.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(context_, leaf.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
    SSL_CTX_free(context_);
    ::close(listener_.fd);
    throw std::runtime_error("the TLS test server cannot use its certificate");
  }
  thread_ = std::thread([this] { Serve(); });
}

TlsScriptedServer::TlsScriptedServer(Mode mode, int port)
    : listener_(ListenOnLoopback(port)), garbage_(mode == Mode::kGarbage) {
  thread_ = std::thread([this] { Serve(); });
}

TlsScriptedServer::~TlsScriptedServer() {
  stopping_ = true;
  ::shutdown(listener_.fd, SHUT_RDWR);
  thread_.join();
  ::close(listener_.fd);
  SSL_CTX_free(context_);
}

std::string TlsScriptedServer::Url(const std::string& path) const {
  return "https://" + address() + (port() == 443 ? "" : ":" + std::to_string(port())) + path;
}

std::vector<std::string> TlsScriptedServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void TlsScriptedServer::Serve() {
  // A client that hangs up in the middle of a long response must not kill
  // the test process: OpenSSL writes without MSG_NOSIGNAL.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  while (!stopping_) {
    if (!Readable(listener_.fd, 50)) continue;
    int client = ::accept4(listener_.fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    // No step of a connection may hold the server up for long.
    timeval limit{5, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    int index = connections_++;
    if (context_ != nullptr) {
      Answer(client, responses_.empty() ? std::string() : responses_[std::min<size_t>(index, responses_.size() - 1)]);
    } else if (garbage_) {
      char hello[4096];
      if (Readable(client, 5000)) (void)::recv(client, hello, sizeof hello, 0);
      (void)::send(client, kNotTls.data(), kNotTls.size(), MSG_NOSIGNAL);
    } else {
      // Silent until the client gives up (it closes) or the test ends.
      auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (!stopping_ && std::chrono::steady_clock::now() < until) {
        char ignored[4096];
        if (Readable(client, 50) && ::recv(client, ignored, sizeof ignored, 0) <= 0) break;
      }
    }
    ::shutdown(client, SHUT_WR);
    ::close(client);
  }
}

void TlsScriptedServer::Answer(int client, const std::string& response) {
  SSL* ssl = SSL_new(context_);
  SSL_set_fd(ssl, client);
  if (SSL_accept(ssl) == 1) {
    resumed_ += SSL_session_reused(ssl) == 1;
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      int got = SSL_read(ssl, buffer, sizeof buffer);
      if (got <= 0) break;
      request.append(buffer, static_cast<size_t>(got));
    }
    // A client that checks the certificate after the handshake hangs up
    // here, having asked nothing.
    Pacing pacing;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!request.empty()) requests_.push_back(request);
      pacing = pacing_;
    }
    bool sent = !response.empty();
    size_t piece = pacing.piece == 0 ? response.size() : pacing.piece;
    for (size_t at = 0; sent && at < response.size() && !stopping_; at += piece) {
      if (at > 0 && pacing.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pacing.pauseMs));
      std::string_view bytes = std::string_view(response).substr(at, piece);
      sent = SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size())) > 0;
    }
    // Without end, until the client hangs up or the test is over.
    while (sent && !pacing.filler.empty() && !stopping_) {
      if (pacing.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pacing.pauseMs));
      sent = SSL_write(ssl, pacing.filler.data(), static_cast<int>(pacing.filler.size())) > 0;
    }
    if (sent && pacing.closeNotify) SSL_shutdown(ssl);
  }
  SSL_free(ssl);
}

}  // namespace kavrel::testing
