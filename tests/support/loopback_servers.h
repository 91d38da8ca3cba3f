// Real servers on loopback addresses for the network tests, started and
// stopped by the tests themselves: a scripted server of our own for exact
// bytes, nginx for real pages, tinyproxy as a real proxy.
//
// kavrel fetches pages from port 80, so the servers listen on port 80 of
// an address of 127.0.0.0/8 of their own, which needs root; tests skip
// themselves otherwise.
#ifndef KAVREL_TESTS_SUPPORT_LOOPBACK_SERVERS_H
#define KAVREL_TESTS_SUPPORT_LOOPBACK_SERVERS_H

#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/scratch_dir.h"

namespace kavrel::testing {

class TestCertificates;

bool CanBindPrivilegedPorts();

// A listening socket on a free loopback address: 127.a.b.c, chosen at
// random among addresses whose port is free.
struct LoopbackListener {
  int fd = -1;
  std::string address;
  int port = 0;
};
LoopbackListener ListenOnLoopback(int port);

// A free loopback address for a server that binds by itself.
std::string FreeLoopbackAddress(int port);

// Answers every connection with the same scripted bytes.
class ScriptedServer {
 public:
  struct Step {
    std::string bytes;
    int pauseMs = 0;  // before these bytes are sent
  };

  // `stayOpenMs`: after the script the connection stays open (and silent)
  // this long before it is closed; a silent server.
  explicit ScriptedServer(std::vector<Step> script, int stayOpenMs = 0, int port = 80);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  const std::string& address() const { return listener_.address; }
  int port() const { return listener_.port; }
  // "http://<address>" + path
  std::string Url(const std::string& path) const { return "http://" + address() + path; }

  std::vector<std::string> Requests() const;

 private:
  void Serve();

  LoopbackListener listener_;
  std::vector<Step> script_;
  int stayOpenMs_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A child process that is stopped when the object goes away.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
  ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ~ChildProcess();
  void Stop();
  bool Running() const;

 private:
  pid_t pid_ = -1;
};

// Waits until something accepts connections at address:port.
bool WaitForPort(const std::string& address, int port, int timeoutMs);

// nginx serving a directory on port 80 of its own loopback address.
// Files under /gzip/ are sent gzip-compressed (and chunked); files under
// /chunked/ are sent chunked without compression; others plain with a
// Content-Length. .html and .htm are text/html.
class NginxServer {
 public:
  explicit NginxServer(const std::string& documentRoot);
  // The same over https, on ports 443 and 8443, with a certificate for its
  // address from `certificates`. /moved/<path> answers 301 to /<path>.
  NginxServer(const std::string& documentRoot, const TestCertificates& certificates);
  const std::string& address() const { return address_; }
  std::string Url(const std::string& path) const { return scheme_ + "://" + address_ + path; }
  bool ok() const { return ok_; }

 private:
  void Start(const std::string& documentRoot, const TestCertificates* certificates);

  ScratchDir dir_;
  std::string scheme_ = "http";
  std::string address_;
  ChildProcess process_;
  bool ok_ = false;
};

// tinyproxy on a loopback address and port, requiring Basic credentials.
// It tunnels CONNECT to any port, or only to `connectPorts` when given.
class TinyProxy {
 public:
  TinyProxy(const std::string& user, const std::string& password, const std::vector<int>& connectPorts = {});
  const std::string& address() const { return address_; }
  int port() const { return port_; }
  bool ok() const { return ok_; }

 private:
  ScratchDir dir_;
  std::string address_;
  int port_ = 8888;
  ChildProcess process_;
  bool ok_ = false;
};

// True when the program is on the PATH (or an absolute path that exists).
bool HaveProgram(const std::string& name);

}  // namespace kavrel::testing

#endif
