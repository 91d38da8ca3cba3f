#include "acquisition/http_client.h"

#include <sys/socket.h>

#include <cerrno>

#include "acquisition/response_decoding.h"
#include "acquisition/response_head.h"
#include "platform/base64.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr size_t kReceiveBlock = 10240;
// A head that has not ended by then is judged by what came.
constexpr size_t kMaxHeldHead = 65536;
const std::string kDashes(79, '-');

// Why a response is refused, in the progress report's words; nothing when
// it is a page. The echoed head is the server's text: its control
// characters are shown, never sent to the terminal.
std::optional<FetchResult> RefusedHead(std::string_view received) {
  if (received.find("200 OK") == std::string_view::npos) {
    std::string report = "Error: Unknown HTTP header";
    size_t end = received.find("\r\n\r\n");
    if (end != std::string_view::npos) {
      report += '\n' + kDashes + '\n' + EscapedControls(received.substr(0, end), true) + '\n' + kDashes;
    }
    std::optional<ResponseHead> head = ParseResponseHead(received.substr(0, received.find("\r\n\r\n")));
    if (!head) return FetchFailed(FetchFailure::kBadHead, report);
    return FetchFailed(FetchFailure::kHttpStatus, report, "the server answered " + StatusText(*head));
  }
  if (received.find("Content-Type: text/html") == std::string_view::npos) {
    return FetchFailed(FetchFailure::kNotAPage, "Error: incorect content type");
  }
  return std::nullopt;
}

FetchResult ReceiveFailed(bool timedOut) {
  return FetchFailed(timedOut ? FetchFailure::kTimedOut : FetchFailure::kConnectionLost, "Error: Connection lost");
}

}  // namespace

constexpr std::string_view kSchemeEnd = "://";

std::string UrlHost(std::string_view address) {
  size_t scheme = address.find(kSchemeEnd);
  if (scheme == std::string_view::npos) return std::string();
  std::string_view rest = address.substr(scheme + kSchemeEnd.size());
  return std::string(rest.substr(0, rest.find('/')));
}

std::string UrlPath(std::string_view address) {
  size_t scheme = address.find(kSchemeEnd);
  if (scheme == std::string_view::npos) return std::string();
  size_t slash = address.find('/', scheme + kSchemeEnd.size());
  return slash == std::string_view::npos ? std::string() : std::string(address.substr(slash));
}

HostAndPort ConnectTarget(std::string_view address) {
  HostAndPort target{UrlHost(address), 80};
  size_t colon = target.host.rfind(':');
  if (colon == std::string::npos) return target;
  std::optional<uint64_t> port = PlainDigitsValue(std::string_view(target.host).substr(colon + 1));
  // Anything but a port after the colon leaves the host as it is: a
  // name that does not resolve, as it always was.
  if (!port || *port < 1 || *port > 65535) return target;
  target.port = static_cast<int>(*port);
  target.host.resize(colon);
  return target;
}

std::string BuildRequest(std::string_view address, const Options& options) {
  bool viaProxy = !options.ProxyHost.empty();
  std::string target = viaProxy ? std::string(address) : UrlPath(address);
  std::string request = "GET " + target + " HTTP/1.1\r\n";
  request += "Connection: close\r\n";
  request += "Host: " + UrlHost(address) + "\r\n";
  request += "Accept: */*\r\n";
  request += "Accept-Encoding: gzip, identity\r\n";
  if (viaProxy) {
    request += "Pragma: no-cache\r\n";
    request += "Cache-Control: no-cache\r\n";
  }
  if (!options.ProxyUser.empty() && !options.ProxyPassword.empty()) {
    // Credentials for a proxy go in the header proxies read; a proxy keeps
    // that header to itself, so the password never reaches the sites.
    // Without a proxy they are the page server's own credentials.
    request += viaProxy ? "Proxy-Authorization: Basic " : "Authorization: Basic ";
    request += EncodeBase64(options.ProxyUser + ":" + options.ProxyPassword) + "\r\n";
  }
  request += "\r\n";
  return request;
}

int PageDeadlineOf(const InputContext& context) {
  return context.PageDeadlineSeconds > 0 ? context.PageDeadlineSeconds : 4 * context.NetworkTimeoutSeconds;
}

FetchResult ConnectFailed(SocketFailure failure) {
  FetchFailure cause = failure == SocketFailure::kNotResolved ? FetchFailure::kNotResolved
                       : failure == SocketFailure::kRefused   ? FetchFailure::kRefused
                       : failure == SocketFailure::kTimedOut  ? FetchFailure::kTimedOut
                                                              : FetchFailure::kNoConnection;
  return FetchFailed(cause, "Error: Can't connect to the host");
}

FetchResult DownloadPage(InputContext& context, const std::string& address, const std::string& path) {
  std::ostream& out = context.out();
  out << "Downloading " << address << "..." << '\n';
  out << "Connecting socket..." << '\n';
  const Options& options = context.options();
  Deadline deadline(PageDeadlineOf(context));
  bool viaProxy = !options.ProxyHost.empty();
  HostAndPort peer = viaProxy ? HostAndPort{options.ProxyHost, options.ProxyPort} : ConnectTarget(address);
  SocketFailure failure;
  Socket socket(ConnectTcp(peer.host, peer.port, deadline.WaitMs(context.NetworkTimeoutSeconds), failure));
  if (socket.fd() < 0) return ConnectFailed(failure);

  // The request goes whole, however long the address.
  std::string request = BuildRequest(address, options);
  out << "Sending request..." << '\n';
  if (SendAll(socket.fd(), request) != request.size()) {
    return FetchFailed(FetchFailure::kSendFailed, "Error: Can't send request");
  }

  OutputFile file = OutputFile::CreateExclusive(path);
  out << "Receiving data..." << '\n';
  // The head is judged once it is whole: a server or proxy may send it in
  // several pieces, and a valid response must not depend on how the
  // network cut it. Blocks are held back until then, and get their dots
  // when they are written.
  std::string held;
  int heldBlocks = 0;
  bool headChecked = false;
  uint64_t received = 0;
  auto writeBlock = [&](std::string_view bytes, int blocks) {
    file.Write(bytes);
    for (int i = 0; i < blocks; ++i) out << '.';
    out.flush();
  };
  std::string block(kReceiveBlock, '\0');
  for (;;) {
    if (deadline.Passed()) return ReceiveFailed(true);  // the file is removed when it goes out of scope
    SetWaitLimit(socket.fd(), deadline.WaitMs(context.NetworkTimeoutSeconds));
    ssize_t count = ::recv(socket.fd(), block.data(), kReceiveBlock, 0);
    if (count < 0 && errno == EINTR) continue;
    // Also a peer that stayed silent for the whole time limit.
    if (count < 0) return ReceiveFailed(errno == EAGAIN || errno == EWOULDBLOCK);
    received += static_cast<uint64_t>(count);
    if (received > static_cast<uint64_t>(context.MaxPageSize)) {
      return FetchFailed(FetchFailure::kTooLarge, "",
                         TooLargeCause(static_cast<uint64_t>(context.MaxPageSize), "received"));
    }
    std::string_view bytes(block.data(), static_cast<size_t>(count));
    if (headChecked) {
      if (count == 0) break;
      writeBlock(bytes, 1);
      continue;
    }
    if (count > 0) {
      held.append(bytes);
      ++heldBlocks;
      if (held.find("\r\n\r\n") == std::string::npos && held.size() < kMaxHeldHead) continue;
    }
    // The head is whole, or the server ended before it was.
    if (std::optional<FetchResult> refused = RefusedHead(held)) return *refused;
    headChecked = true;
    writeBlock(held, heldBlocks);
    if (count == 0) break;
  }
  file.Close();
  out << "Data received" << '\n';
  out << "Connection closed" << '\n';
  return FetchResult{};
}

}  // namespace kavrel
