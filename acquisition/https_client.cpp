#include "acquisition/https_client.h"

#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>

#include "acquisition/http_client.h"
#include "acquisition/response_head.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/socket.h"
#include "platform/tls.h"
#include "platform/version.h"

namespace kavrel {

namespace {

constexpr size_t kReceiveBlock = 10240;
// No real head comes near this; a server that keeps sending one is cut off.
constexpr size_t kMaxHead = 65536;
constexpr int kMaxRedirects = 5;
constexpr int kMaxRetries = 2;
constexpr std::chrono::milliseconds kRetryPauses[kMaxRetries] = {std::chrono::milliseconds(2000),
                                                                 std::chrono::milliseconds(6000)};
// A server that asks for a longer wait is not waited for.
constexpr int64_t kMaxRetryAfterSeconds = 60;

// What one request came to.
struct Exchange {
  enum Kind { kStored, kFailed, kRedirect, kPassingFailure } kind = kFailed;
  std::string error;     // the line a failure prints when it is final
  std::string location;  // kRedirect: where to
  std::optional<int64_t> retryAfterSeconds;
};

Exchange Failed(std::string error) { return Exchange{Exchange::kFailed, std::move(error), "", std::nullopt}; }

bool IsPassingStatus(int status) {
  return status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

bool IsRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string StatusText(const ResponseHead& head) {
  return DecimalText(head.status) + (head.reason.empty() ? "" : " " + head.reason);
}

// A configured User-Agent may not add lines to the request.
std::string UserAgentLine(std::string_view userAgent) {
  std::string line = "User-Agent: ";
  if (userAgent.empty()) {
    line += "kavrel/";
    line += kProgramVersion;
  } else {
    for (char c : userAgent) {
      if (c != '\r' && c != '\n') line += c;
    }
  }
  return line + "\r\n";
}

bool HasCredentials(const Options& options) {
  return !options.ProxyUser.empty() && !options.ProxyPassword.empty();
}

std::string BasicCredentials(const Options& options) {
  return "Basic " + EncodeBase64(options.ProxyUser + ":" + options.ProxyPassword) + "\r\n";
}

// Reads a head through `read` (which gives up to n bytes, or <= 0 at the
// end or on failure) up to its empty line. Bytes after the empty line that
// came in the same block stay in `received`.
template <class Read>
std::optional<size_t> ReceiveHead(std::string& received, int& blocks, Read read, std::string& error) {
  std::string block(kReceiveBlock, '\0');
  size_t searched = 0;  // the empty line is looked for in new bytes only
  for (;;) {
    size_t from = searched < 3 ? 0 : searched - 3;
    if (std::optional<size_t> body = BodyStart(std::string_view(received).substr(from))) return from + *body;
    searched = received.size();
    if (received.size() > kMaxHead) {
      error = "Error: The response head is too long";
      return std::nullopt;
    }
    ssize_t count = read(block.data(), block.size());
    if (count < 0) {
      error = "Error: Connection lost";
      return std::nullopt;
    }
    if (count == 0) {
      error = "Error: Unknown HTTP header";  // the server ended before its head did
      return std::nullopt;
    }
    received.append(block.data(), static_cast<size_t>(count));
    ++blocks;
  }
}

// CONNECT through the proxy; the proxy's answer is read one byte at a time
// so that nothing of the tunnel's first bytes is taken with it.
std::optional<std::string> OpenTunnel(int fd, const WebAddress& address, const Options& options,
                                      std::string_view userAgent) {
  std::string request = BuildTunnelRequest(address, options, userAgent);
  if (SendAll(fd, request) != request.size()) return "Error: Can't send request";
  std::string received;
  int blocks = 0;
  std::string error;
  std::optional<size_t> end = ReceiveHead(
      received, blocks, [fd](char* buffer, size_t) { return ::recv(fd, buffer, 1, 0); }, error);
  if (!end) return error == "Error: Unknown HTTP header" ? "Error: The proxy closed the connection" : error;
  std::optional<ResponseHead> head = ParseResponseHead(std::string_view(received).substr(0, *end));
  if (!head) return "Error: The proxy did not answer in HTTP";
  if (head->status / 100 != 2) return "Error: The proxy refused the tunnel (" + StatusText(*head) + ")";
  return std::nullopt;
}

// One request of a download: connect, shake hands, ask, judge the head, and
// for a page store the response whole.
Exchange RequestOnce(InputContext& context, const WebAddress& address, const std::string& path) {
  std::ostream& out = context.out();
  const Options& options = context.options();
  bool viaProxy = !options.ProxyHost.empty();
  out << "Connecting socket..." << '\n';
  Socket socket(viaProxy ? ConnectTcp(options.ProxyHost, options.ProxyPort, context.NetworkTimeoutSeconds)
                         : ConnectTcp(address.host, address.port, context.NetworkTimeoutSeconds));
  if (socket.fd() < 0) {
    Exchange failure = Failed("Error: Can't connect to the host");
    if (errno == ECONNREFUSED || errno == ETIMEDOUT) failure.kind = Exchange::kPassingFailure;
    return failure;
  }
  if (viaProxy) {
    if (std::optional<std::string> error = OpenTunnel(socket.fd(), address, options, context.UserAgent)) {
      return Failed(*error);
    }
  }
  TlsConnection tls;
  TlsResult handshake = tls.Connect(socket.fd(), address.host);
  if (handshake.outcome == TlsOutcome::kUntrusted) {
    return Failed("Error: The certificate of " + address.host + " is not trusted (" + handshake.reason + ")");
  }
  if (handshake.outcome == TlsOutcome::kFailed) {
    return Failed("Error: Can't connect to the host\nTLS handshake failed: " + handshake.reason);
  }

  out << "Sending request..." << '\n';
  if (!tls.Write(BuildSecureRequest(address, options, context.UserAgent))) {
    return Failed("Error: Can't send request");
  }
  out << "Receiving data..." << '\n';
  auto read = [&tls](char* buffer, size_t size) { return tls.Read(buffer, size); };
  std::string received;
  int heldBlocks = 0;
  std::string error;
  std::optional<size_t> bodyStart = ReceiveHead(received, heldBlocks, read, error);
  if (!bodyStart) return Failed(error);
  std::optional<ResponseHead> head = ParseResponseHead(std::string_view(received).substr(0, *bodyStart));
  if (!head) return Failed("Error: Unknown HTTP header");
  if (IsRedirectStatus(head->status)) {
    return Exchange{Exchange::kRedirect, "", std::string(head->Field("Location").value_or("")), std::nullopt};
  }
  if (head->status != 200) {
    Exchange failure = Failed("Error: The server answered " + StatusText(*head));
    if (IsPassingStatus(head->status)) {
      failure.kind = Exchange::kPassingFailure;
      failure.retryAfterSeconds = RetryAfterSeconds(*head);
    }
    return failure;
  }
  std::optional<std::string_view> type = head->Field("Content-Type");
  if (!type || !IsPageContentType(*type)) return Failed("Error: incorect content type");

  OutputFile file = OutputFile::CreateExclusive(path);
  auto writeBlock = [&](std::string_view bytes, int blocks) {
    file.Write(bytes);
    for (int i = 0; i < blocks; ++i) out << '.';
    out.flush();
  };
  uint64_t bodyBytes = received.size() - *bodyStart;
  writeBlock(received, heldBlocks);
  std::string block(kReceiveBlock, '\0');
  for (;;) {
    ssize_t count = tls.Read(block.data(), block.size());
    if (count < 0) return Failed("Error: Connection lost");  // the file goes with `file`
    if (count == 0) break;
    bodyBytes += static_cast<uint64_t>(count);
    writeBlock(std::string_view(block.data(), static_cast<size_t>(count)), 1);
  }
  // A connection that ends early looks like an ordinary end over TLS too;
  // the announced length tells them apart.
  std::optional<uint64_t> length = ContentLength(*head);
  if (length && bodyBytes < *length) return Failed("Error: Connection lost");
  file.Close();
  return Exchange{Exchange::kStored, "", "", std::nullopt};
}

}  // namespace

std::string BuildSecureRequest(const WebAddress& address, const Options& options,
                               std::string_view userAgent) {
  std::string request = "GET " + address.target + " HTTP/1.1\r\n";
  request += "Connection: close\r\n";
  request += "Host: " + address.authority + "\r\n";
  request += "Accept: */*\r\n";
  request += "Accept-Encoding: gzip, identity\r\n";
  if (options.ProxyHost.empty() && HasCredentials(options)) {
    request += "Authorization: " + BasicCredentials(options);
  }
  request += UserAgentLine(userAgent);
  request += "\r\n";
  return request;
}

std::string BuildTunnelRequest(const WebAddress& address, const Options& options,
                               std::string_view userAgent) {
  std::string hostPort = address.host + ":" + DecimalText(address.port);
  std::string request = "CONNECT " + hostPort + " HTTP/1.1\r\n";
  request += "Host: " + hostPort + "\r\n";
  if (HasCredentials(options)) request += "Proxy-Authorization: " + BasicCredentials(options);
  request += UserAgentLine(userAgent);
  request += "\r\n";
  return request;
}

bool DownloadSecurePage(InputContext& context, const std::string& address,
                        const std::string& path) {
  std::ostream& out = context.out();
  out << "Downloading " << address << "..." << '\n';
  std::string current = address;
  int redirects = 0;
  int retries = 0;
  for (;;) {
    std::optional<WebAddress> parsed = ParseWebAddress(current);
    if (!parsed) {
      out << "Error: '" << current << "' is not a valid address" << '\n';
      return false;
    }
    context.pacer.WaitTurn(parsed->host, std::chrono::milliseconds(context.PageDelayMs));
    Exchange exchange = RequestOnce(context, *parsed, path);
    context.pacer.Finished(parsed->host);
    switch (exchange.kind) {
      case Exchange::kStored:
        out << "Data received" << '\n';
        out << "Connection closed" << '\n';
        return true;
      case Exchange::kFailed:
        out << exchange.error << '\n';
        return false;
      case Exchange::kRedirect: {
        std::optional<std::string> next = ResolveLocation(current, exchange.location);
        if (!next) {
          out << "Error: The server redirected to an invalid address" << '\n';
          return false;
        }
        if (!IsSecureAddress(*next)) {
          out << "Error: Refused a redirect from https to " << *next << '\n';
          return false;
        }
        if (++redirects > kMaxRedirects) {
          out << "Error: Too many redirects" << '\n';
          return false;
        }
        out << "Redirected to " << *next << '\n';
        current = *next;
        retries = 0;
        continue;
      }
      case Exchange::kPassingFailure: {
        std::chrono::milliseconds pause = retries < kMaxRetries ? kRetryPauses[retries] : kRetryPauses[0];
        if (exchange.retryAfterSeconds) pause = std::chrono::seconds(*exchange.retryAfterSeconds);
        if (retries == kMaxRetries ||
            exchange.retryAfterSeconds.value_or(0) > kMaxRetryAfterSeconds) {
          out << exchange.error << '\n';
          return false;
        }
        ++retries;
        std::this_thread::sleep_for(pause);
        out << "Retrying " << current << "..." << '\n';
        continue;
      }
    }
  }
}

}  // namespace kavrel
