// A scripted https server for exact bytes over TLS: connection i gets
// response i of its list (later ones the last), so that redirect chains and
// retries can be played. Other modes break the handshake instead.
#ifndef KAVREL_TESTS_SUPPORT_TLS_SCRIPTED_SERVER_H
#define KAVREL_TESTS_SUPPORT_TLS_SCRIPTED_SERVER_H

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_servers.h"
#include "support/test_certificates.h"

struct ssl_ctx_st;

namespace kavrel::testing {

class TlsScriptedServer {
 public:
  enum class Mode {
    kGarbage,  // answers the client's hello with bytes that are not TLS
    kStall,    // takes the connection and never answers
  };

  // How the responses are sent: hostile servers send slowly, without end,
  // or hang up without TLS's closing alert.
  struct Pacing {
    size_t piece = 0;         // bytes per write; 0: the whole response at once
    int pauseMs = 0;          // between two pieces
    std::string filler;       // sent again and again after the response, until the client goes
    bool closeNotify = true;  // end with TLS's closing alert
  };

  // A certificate of `kind` for the server's address comes from `certificates`.
  TlsScriptedServer(const TestCertificates& certificates, std::vector<std::string> responses,
                    TestCertificates::Kind kind = TestCertificates::Kind::kGood, int port = 443);
  explicit TlsScriptedServer(Mode mode, int port = 443);
  ~TlsScriptedServer();
  TlsScriptedServer(const TlsScriptedServer&) = delete;
  TlsScriptedServer& operator=(const TlsScriptedServer&) = delete;

  const std::string& address() const { return listener_.address; }
  int port() const { return listener_.port; }
  // "https://<address>" (":<port>" unless 443) + path
  std::string Url(const std::string& path) const;

  // The request heads of the connections whose handshake succeeded.
  std::vector<std::string> Requests() const;
  int Connections() const { return connections_; }
  // Connections whose handshake resumed an earlier session.
  int Resumed() const { return resumed_; }

  // Before the first connection.
  void SetPacing(Pacing pacing) {
    std::lock_guard<std::mutex> lock(mutex_);
    pacing_ = std::move(pacing);
  }

 private:
  void Serve();
  void Answer(int client, const std::string& response);

  LoopbackListener listener_;
  ssl_ctx_st* context_ = nullptr;
  std::vector<std::string> responses_;
  bool garbage_ = false;
  std::atomic<int> connections_{0};
  std::atomic<int> resumed_{0};
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  Pacing pacing_;
  std::thread thread_;
};

}  // namespace kavrel::testing

#endif
