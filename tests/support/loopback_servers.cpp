#include "support/loopback_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <random>
#include <stdexcept>

#include "support/test_certificates.h"

namespace kavrel::testing {

namespace {

std::mt19937& Random() {
  static std::mt19937 random(static_cast<unsigned>(::getpid()) ^
                             static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  return random;
}

std::string RandomLoopbackAddress() {
  std::uniform_int_distribution<int> byte(1, 254);
  return "127." + std::to_string(byte(Random())) + "." + std::to_string(byte(Random())) + "." +
         std::to_string(byte(Random()));
}

int BindTo(const std::string& address, int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || ::listen(fd, 16) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool CanBindPrivilegedPorts() { return ::geteuid() == 0; }

LoopbackListener ListenOnLoopback(int port) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string address = RandomLoopbackAddress();
    int fd = BindTo(address, port);
    if (fd >= 0) return LoopbackListener{fd, address, port};
  }
  throw std::runtime_error("no free loopback address");
}

std::string FreeLoopbackAddress(int port) {
  LoopbackListener listener = ListenOnLoopback(port);
  ::close(listener.fd);
  return listener.address;
}

ScriptedServer::ScriptedServer(std::vector<Step> script, int stayOpenMs, int port)
    : listener_(ListenOnLoopback(port)), script_(std::move(script)), stayOpenMs_(stayOpenMs) {
  thread_ = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
  stopping_ = true;
  ::shutdown(listener_.fd, SHUT_RDWR);
  thread_.join();
  ::close(listener_.fd);
}

std::vector<std::string> ScriptedServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void ScriptedServer::Serve() {
  while (!stopping_) {
    pollfd wait{listener_.fd, POLLIN, 0};
    if (::poll(&wait, 1, 50) <= 0) continue;
    int client = ::accept4(listener_.fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    std::string request;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (request.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd in{client, POLLIN, 0};
      if (::poll(&in, 1, 50) <= 0) continue;
      char buffer[4096];
      ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<size_t>(got));
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    for (const Step& step : script_) {
      if (step.pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(step.pauseMs));
      size_t sent = 0;
      while (sent < step.bytes.size()) {
        ssize_t n = ::send(client, step.bytes.data() + sent, step.bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
      }
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(stayOpenMs_);
    while (!stopping_ && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::shutdown(client, SHUT_WR);
    ::close(client);
  }
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execvp(program.c_str(), argv.data());
    ::_exit(127);
  }
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Stop();
    pid_ = other.pid_;
    other.pid_ = -1;
  }
  return *this;
}

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Running() const {
  if (pid_ <= 0) return false;
  int status = 0;
  return ::waitpid(pid_, &status, WNOHANG) == 0;
}

void ChildProcess::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != 0) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

bool WaitForPort(const std::string& address, int port, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, address.c_str(), &peer.sin_addr);
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0;
    ::close(fd);
    if (connected) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

bool HaveProgram(const std::string& name) {
  std::string command = "command -v '" + name + "' >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

NginxServer::NginxServer(const std::string& documentRoot) { Start(documentRoot, nullptr); }

NginxServer::NginxServer(const std::string& documentRoot, const TestCertificates& certificates) : scheme_("https") {
  Start(documentRoot, &certificates);
}

void NginxServer::Start(const std::string& documentRoot, const TestCertificates* certificates) {
  if (!HaveProgram("nginx") || !CanBindPrivilegedPorts()) return;
  int port = certificates ? 443 : 80;
  address_ = FreeLoopbackAddress(port);
  std::string listen = "    listen " + address_ + ":80;\n";
  if (certificates) {
    ServerCertificate leaf = certificates->Make(address_);
    listen = "    listen " + address_ + ":443 ssl;\n"
             "    listen " + address_ + ":8443 ssl;\n"
             "    ssl_certificate " + leaf.certFile + ";\n"
             "    ssl_certificate_key " + leaf.keyFile + ";\n"
             "    location /moved/ { rewrite ^/moved(/.*)$ $1 permanent; }\n";
  }
  dir_.MakeDir("temp");
  std::string d = dir_.path();
  dir_.Write("nginx.conf",
             "daemon off;\n"
             "master_process off;\n"
             "worker_processes 1;\n"
             "pid " + d + "/nginx.pid;\n"
             "error_log " + d + "/error.log;\n"
             "events { worker_connections 64; }\n"
             "http {\n"
             "  access_log off;\n"
             "  client_body_temp_path " + d + "/temp/body;\n"
             "  proxy_temp_path " + d + "/temp/proxy;\n"
             "  fastcgi_temp_path " + d + "/temp/fastcgi;\n"
             "  uwsgi_temp_path " + d + "/temp/uwsgi;\n"
             "  scgi_temp_path " + d + "/temp/scgi;\n"
             "  types { text/html html htm; }\n"
             "  default_type application/octet-stream;\n"
             "  server {\n" +
             listen +
             "    root " + documentRoot + ";\n"
             "    location /gzip/ { gzip on; gzip_min_length 0; gzip_types text/html; }\n"
             "    location /chunked/ { ssi on; }\n"
             "  }\n"
             "}\n");
  process_ = ChildProcess("nginx", {"-c", dir_.At("nginx.conf"), "-p", d});
  ok_ = WaitForPort(address_, port, 5000);
}

TinyProxy::TinyProxy(const std::string& user, const std::string& password, const std::vector<int>& connectPorts) {
  std::string program = HaveProgram("tinyproxy") ? "tinyproxy" : "/usr/bin/tinyproxy";
  if (!HaveProgram(program)) return;
  address_ = FreeLoopbackAddress(port_);
  std::string allowed;
  for (int port : connectPorts) allowed += "ConnectPort " + std::to_string(port) + "\n";
  dir_.Write("tinyproxy.conf",
             "Port " + std::to_string(port_) + "\n"
             "Listen " + address_ + "\n"
             "Timeout 30\n"
             "LogLevel Error\n"
             "LogFile \"" + dir_.At("tinyproxy.log") + "\"\n"
             "PidFile \"" + dir_.At("tinyproxy.pid") + "\"\n"
             "MaxClients 8\n"
             "Allow 127.0.0.0/8\n"
             "BasicAuth " + user + " " + password + "\n"
             "DisableViaHeader Yes\n" + allowed);
  process_ = ChildProcess(program, {"-d", "-c", dir_.At("tinyproxy.conf")});
  ok_ = WaitForPort(address_, port_, 5000);
}

}  // namespace kavrel::testing
