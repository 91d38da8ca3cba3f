#include "acquisition/http_client.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "acquisition/https_client.h"
#include "acquisition/web_address.h"
#include "platform/file_system.h"
#include "platform/socket.h"

namespace kavrel {

namespace {

constexpr size_t kReceiveBlock = 10240;
// A head that has not ended by then is judged by what came.
constexpr size_t kMaxHeldHead = 65536;
const std::string kDashes(79, '-');

// The head of a rejected response as lines of standard output.
std::string HeadEcho(std::string_view head) {
  std::string echo;
  echo.reserve(head.size());
  for (size_t i = 0; i < head.size(); ++i) {
    if (head[i] == '\r' && i + 1 < head.size() && head[i + 1] == '\n') continue;
    echo += head[i];
  }
  return echo;
}

// Prints why a response is refused; true when it is a page.
bool AcceptableHead(std::ostream& out, std::string_view received) {
  if (received.find("200 OK") == std::string_view::npos) {
    out << "Error: Unknown HTTP header" << '\n';
    size_t end = received.find("\r\n\r\n");
    if (end != std::string_view::npos) {
      out << kDashes << '\n' << HeadEcho(received.substr(0, end)) << '\n' << kDashes << '\n';
    }
    return false;
  }
  if (received.find("Content-Type: text/html") == std::string_view::npos) {
    out << "Error: incorect content type" << '\n';
    return false;
  }
  return true;
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

std::string EncodeBase64Group(const unsigned char* bytes, size_t count) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  uint32_t group = 0;
  for (size_t i = 0; i < 3; ++i) group = (group << 8) | (i < count ? bytes[i] : 0u);
  std::string encoded(4, '=');
  for (size_t i = 0; i < 4; ++i) {
    if (i <= count) encoded[i] = kAlphabet[(group >> (18 - 6 * i)) & 63];
  }
  return encoded;
}

std::string EncodeBase64(std::string_view text) {
  std::string encoded;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t i = 0; i < text.size(); i += 3) {
    encoded += EncodeBase64Group(bytes + i, std::min<size_t>(3, text.size() - i));
  }
  return encoded;
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

bool DownloadPage(InputContext& context, const std::string& address,
                  const std::string& path) {
  if (IsSecureAddress(address)) return DownloadSecurePage(context, address, path);
  std::ostream& out = context.out();
  out << "Downloading " << address << "..." << '\n';
  out << "Connecting socket..." << '\n';
  const Options& options = context.options();
  bool viaProxy = !options.ProxyHost.empty();
  std::string host = viaProxy ? options.ProxyHost : UrlHost(address);
  int port = viaProxy ? options.ProxyPort : 80;
  Socket socket(ConnectTcp(host, port, context.NetworkTimeoutSeconds));
  if (socket.fd() < 0) {
    out << "Error: Can't connect to the host" << '\n';
    return false;
  }

  // The request goes whole, however long the address.
  std::string request = BuildRequest(address, options);
  out << "Sending request..." << '\n';
  if (SendAll(socket.fd(), request) != request.size()) {
    out << "Error: Can't send request" << '\n';
    return false;
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
  auto writeBlock = [&](std::string_view bytes, int blocks) {
    file.Write(bytes);
    for (int i = 0; i < blocks; ++i) out << '.';
    out.flush();
  };
  std::string block(kReceiveBlock, '\0');
  for (;;) {
    ssize_t count = ::recv(socket.fd(), block.data(), kReceiveBlock, 0);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      // Also a peer that stayed silent for the whole time limit.
      out << "Error: Connection lost" << '\n';
      return false;  // the file is removed when it goes out of scope
    }
    std::string_view received(block.data(), static_cast<size_t>(count));
    if (headChecked) {
      if (count == 0) break;
      writeBlock(received, 1);
      continue;
    }
    if (count > 0) {
      held.append(received);
      ++heldBlocks;
      if (held.find("\r\n\r\n") == std::string::npos && held.size() < kMaxHeldHead) continue;
    }
    // The head is whole, or the server ended before it was.
    if (!AcceptableHead(out, held)) return false;
    headChecked = true;
    writeBlock(held, heldBlocks);
    if (count == 0) break;
  }
  file.Close();
  out << "Data received" << '\n';
  out << "Connection closed" << '\n';
  return true;
}

}  // namespace kavrel
