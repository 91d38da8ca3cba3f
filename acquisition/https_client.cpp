#include "acquisition/https_client.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>

#include "acquisition/http_client.h"
#include "acquisition/response_decoding.h"
#include "acquisition/response_head.h"
#include "platform/base64.h"
#include "platform/int_text.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "platform/tls.h"
#include "platform/version.h"

namespace kavrel {

namespace {

constexpr size_t kReceiveBlock = 10240;
// No real head comes near this; a server that keeps sending one is cut off.
constexpr size_t kMaxHead = 65536;
constexpr int kMaxRedirects = 5;
// Per page, however many redirects come between: retries, and the time
// spent waiting before them.
constexpr int kMaxRetries = 2;
constexpr std::chrono::milliseconds kRetryPauses[kMaxRetries] = {std::chrono::milliseconds(2000),
                                                                 std::chrono::milliseconds(6000)};
constexpr std::chrono::seconds kMaxRetryWaiting{60};

// What one request came to.
struct Exchange {
  enum Kind { kPage, kFailed, kRedirect, kPassingFailure, kNotModified } kind = kFailed;
  FetchResult result;    // the page, or the failure when it is final
  std::string location;  // kRedirect: where to
  std::optional<int64_t> retryAfterSeconds;
  CachedPage validators;  // kPage: the ETag and Last-Modified it came with
};

Exchange Failed(FetchResult result) { return Exchange{Exchange::kFailed, std::move(result), "", std::nullopt, {}}; }
Exchange Failed(FetchFailure failure, std::string_view reportLine, std::string cause = "") {
  return Failed(FetchFailed(failure, reportLine, std::move(cause)));
}

// Answered again within the page's own tries: the statuses a server
// gives while it is busy for a moment. Other passing statuses (any 5xx)
// wait for a walk's later try.
bool IsRetriedAtOnce(int status) {
  return status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

bool IsRedirectStatus(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
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

bool SameOrigin(const WebAddress& a, const WebAddress& b) {
  return a.secure == b.secure && a.port == b.port && EqualsIgnoringAsciiCase(a.host, b.host);
}

// The bounds of one page: its deadline and the silence limit.
struct Bounds {
  Deadline deadline;
  int silenceSeconds;
  // Bounds the next wait on the socket; false when the deadline has passed.
  // The socket is told only when its limit changes: a page's reads are
  // many, and its limit is the silence limit until the deadline nears.
  bool Arm(int fd) const {
    if (deadline.Passed()) return false;
    int64_t waitMs = deadline.WaitMs(silenceSeconds);
    if (fd != armedFd_ || waitMs != armedMs_) SetWaitLimit(fd, waitMs);
    armedFd_ = fd;
    armedMs_ = waitMs;
    return true;
  }
  // A new socket (which may have an old one's number) has no limit yet.
  void NewSocket() const { armedFd_ = -1; }

  mutable int armedFd_ = -1;  // the socket last told, and its limit
  mutable int64_t armedMs_ = -1;
};

// Reads a head through `read` (which gives up to n bytes, or <= 0 at the
// end or on failure, and says whether a failure was a time-out) up to its
// empty line. Bytes after the empty line that came in the same block stay
// in `received`. A failure comes back with its report line.
template <class Read>
std::optional<size_t> ReceiveHead(std::string& received, int& blocks, Read read, FetchResult& failure) {
  std::string block(kReceiveBlock, '\0');
  size_t searched = 0;  // the empty line is looked for in new bytes only
  for (;;) {
    size_t from = searched < 3 ? 0 : searched - 3;
    if (std::optional<size_t> body = BodyStart(std::string_view(received).substr(from))) return from + *body;
    searched = received.size();
    if (received.size() > kMaxHead) {
      failure = FetchFailed(FetchFailure::kBadHead, "Error: The response head is too long");
      return std::nullopt;
    }
    bool timedOut = false;
    ssize_t count = read(block.data(), block.size(), timedOut);
    if (count < 0) {
      failure = FetchFailed(timedOut ? FetchFailure::kTimedOut : FetchFailure::kConnectionLost,
                            "Error: Connection lost");
      return std::nullopt;
    }
    if (count == 0) {  // the server ended before its head did
      failure = FetchFailed(FetchFailure::kBadHead, "Error: Unknown HTTP header");
      return std::nullopt;
    }
    received.append(block.data(), static_cast<size_t>(count));
    ++blocks;
  }
}

// CONNECT through the proxy; the proxy's answer is read one byte at a time
// so that nothing of the tunnel's first bytes is taken with it.
std::optional<FetchResult> OpenTunnel(int fd, const WebAddress& address, const Options& options,
                                      std::string_view userAgent, const Bounds& bounds) {
  std::string request = BuildTunnelRequest(address, options, userAgent);
  if (SendAll(fd, request) != request.size()) return FetchFailed(FetchFailure::kSendFailed, "Error: Can't send request");
  std::string received;
  int blocks = 0;
  FetchResult failure;
  auto readByte = [fd, &bounds](char* buffer, size_t, bool& timedOut) -> ssize_t {
    if (!bounds.Arm(fd)) {
      timedOut = true;
      return -1;
    }
    ssize_t got = ::recv(fd, buffer, 1, 0);
    timedOut = got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    return got;
  };
  std::optional<size_t> end = ReceiveHead(received, blocks, readByte, failure);
  if (!end) {
    if (failure.failure == FetchFailure::kBadHead && failure.report == "Error: Unknown HTTP header\n") {
      return FetchFailed(FetchFailure::kProxy, "Error: The proxy closed the connection");
    }
    return failure;
  }
  std::optional<ResponseHead> head = ParseResponseHead(std::string_view(received).substr(0, *end));
  if (!head) return FetchFailed(FetchFailure::kProxy, "Error: The proxy did not answer in HTTP");
  if (head->status / 100 != 2) {
    return FetchFailed(FetchFailure::kProxy, "Error: The proxy refused the tunnel (" + StatusText(*head) + ")",
                       "the proxy refused the tunnel (" + StatusText(*head) + ")");
  }
  return std::nullopt;
}

BodyDecoder::Framing FramingOf(const ResponseHead& head) {
  BodyDecoder::Framing framing;
  std::optional<std::string_view> transfer = head.Field("Transfer-Encoding");
  framing.chunked = transfer && IsChunkedFieldLine("Transfer-Encoding: " + std::string(*transfer));
  std::optional<std::string_view> encoding = head.Field("Content-Encoding");
  framing.gzip = encoding && (EqualsIgnoringAsciiCase(TrimBlanks(*encoding), "gzip") ||
                              EqualsIgnoringAsciiCase(TrimBlanks(*encoding), "x-gzip"));
  if (!framing.chunked) framing.length = ContentLength(head);
  return framing;
}

// The body of an accepted response, decoded as it comes; one dot per
// block received, the held head's blocks first.
Exchange ReceiveBody(InputContext& context, TlsConnection& tls, int fd, const Bounds& bounds,
                     const ResponseHead& head, std::string_view early, int heldBlocks) {
  std::ostream& out = context.out();
  uint64_t limit = static_cast<uint64_t>(context.MaxPageSize);
  BodyDecoder::Framing framing = FramingOf(head);
  if (framing.length && *framing.length > limit) {
    return Failed(FetchFailure::kTooLarge, "", TooLargeCause(limit, "announced"));
  }
  BodyDecoder decoder(framing, limit, limit);
  auto dots = [&out](int count) {
    for (int i = 0; i < count; ++i) out << '.';
    out.flush();
  };
  if (decoder.Feed(early) != FetchFailure::kNone) return Failed(decoder.failure());
  dots(heldBlocks);
  std::string block(kReceiveBlock, '\0');
  while (!decoder.Whole()) {
    ssize_t count = bounds.Arm(fd) ? tls.Read(block.data(), block.size()) : -1;
    if (count < 0) {
      bool timedOut = bounds.deadline.Passed() || tls.TimedOut();
      return Failed(timedOut ? FetchFailure::kTimedOut : FetchFailure::kConnectionLost, "Error: Connection lost");
    }
    if (count == 0) break;
    if (decoder.Feed(std::string_view(block.data(), static_cast<size_t>(count))) != FetchFailure::kNone) {
      return Failed(decoder.failure());
    }
    dots(1);
  }
  if (decoder.Finish(tls.ClosedCleanly()) != FetchFailure::kNone) return Failed(decoder.failure());
  Exchange page{Exchange::kPage, FetchResult{}, "", std::nullopt, {}};
  page.result.body = decoder.TakePage();
  page.validators.etag = head.Field("ETag").value_or("");
  page.validators.lastModified = head.Field("Last-Modified").value_or("");
  return page;
}

// One request of a download: connect, shake hands, ask, judge the head, and
// for a page take its body. With a kept page the request asks whether the
// page changed since, and "304 Not Modified" says it did not.
Exchange RequestOnce(InputContext& context, const WebAddress& address, const Bounds& bounds,
                     bool withCredentials, const CachedPage* kept) {
  std::ostream& out = context.out();
  const Options& options = context.options();
  bool viaProxy = !options.ProxyHost.empty();
  out << "Connecting socket..." << '\n';
  SocketFailure connectFailure;
  int64_t wait = bounds.deadline.WaitMs(bounds.silenceSeconds);
  Socket socket(viaProxy ? ConnectTcp(options.ProxyHost, options.ProxyPort, wait, connectFailure)
                         : ConnectTcp(address.host, address.port, wait, connectFailure));
  bounds.NewSocket();
  if (socket.fd() < 0) {
    Exchange failure = Failed(ConnectFailed(connectFailure));
    if (connectFailure == SocketFailure::kRefused || connectFailure == SocketFailure::kTimedOut) {
      failure.kind = Exchange::kPassingFailure;
    }
    return failure;
  }
  if (viaProxy) {
    if (std::optional<FetchResult> failure = OpenTunnel(socket.fd(), address, options, context.UserAgent, bounds)) {
      return Failed(std::move(*failure));
    }
  }
  // A resumed handshake ends with the client's own small records, and the
  // request follows them at once: waiting for their acknowledgement first
  // would cost a delayed ACK on every page.
  int noDelay = 1;
  (void)::setsockopt(socket.fd(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
  TlsConnection tls;
  if (!bounds.Arm(socket.fd())) return Failed(FetchFailure::kTimedOut, "Error: Can't connect to the host");
  TlsResult handshake =
      tls.Connect(socket.fd(), address.host, LowerAscii(address.host) + ":" + DecimalText(address.port));
  if (handshake.outcome == TlsOutcome::kUntrusted) {
    std::string reason = "(" + handshake.reason + ")";
    return Failed(FetchFailure::kCertificate, "Error: The certificate of " + address.host + " is not trusted " + reason,
                  "the certificate is not trusted " + reason);
  }
  if (handshake.outcome == TlsOutcome::kFailed) {
    return Failed(FetchFailure::kHandshake, "Error: Can't connect to the host\nTLS handshake failed: " + handshake.reason,
                  "the TLS handshake failed (" + handshake.reason + ")");
  }

  out << "Sending request..." << '\n';
  if (!bounds.Arm(socket.fd()) ||
      !tls.Write(BuildSecureRequest(address, options, context.UserAgent, withCredentials, kept))) {
    return Failed(FetchFailure::kSendFailed, "Error: Can't send request");
  }
  out << "Receiving data..." << '\n';
  int fd = socket.fd();
  auto read = [&tls, &bounds, fd](char* buffer, size_t size, bool& timedOut) -> ssize_t {
    ssize_t got = bounds.Arm(fd) ? tls.Read(buffer, size) : -1;
    timedOut = got < 0 && (bounds.deadline.Passed() || tls.TimedOut());
    return got;
  };
  std::string received;
  int heldBlocks = 0;
  FetchResult headFailure;
  std::optional<size_t> bodyStart = ReceiveHead(received, heldBlocks, read, headFailure);
  if (!bodyStart) return Failed(std::move(headFailure));
  std::optional<ResponseHead> head = ParseResponseHead(std::string_view(received).substr(0, *bodyStart));
  if (!head) return Failed(FetchFailure::kBadHead, "Error: Unknown HTTP header");
  if (IsRedirectStatus(head->status)) {
    return Exchange{Exchange::kRedirect, FetchResult{}, std::string(head->Field("Location").value_or("")),
                    std::nullopt, {}};
  }
  if (head->status == 304 && kept != nullptr) {
    return Exchange{Exchange::kNotModified, FetchResult{}, "", std::nullopt, {}};
  }
  if (head->status != 200) {
    Exchange failure = Failed(FetchFailure::kHttpStatus, "Error: The server answered " + StatusText(*head),
                              "the server answered " + StatusText(*head));
    failure.result.status = head->status;
    if (IsRetriedAtOnce(head->status)) {
      failure.kind = Exchange::kPassingFailure;
      failure.retryAfterSeconds = RetryAfterSeconds(*head);
    }
    return failure;
  }
  std::optional<std::string_view> type = head->Field("Content-Type");
  if (!type || !IsPageContentType(*type)) return Failed(FetchFailure::kNotAPage, "Error: incorect content type");
  return ReceiveBody(context, tls, fd, bounds, *head, std::string_view(received).substr(*bodyStart), heldBlocks);
}

}  // namespace

std::string BuildSecureRequest(const WebAddress& address, const Options& options, std::string_view userAgent,
                               bool withCredentials, const CachedPage* kept) {
  std::string request = "GET " + address.target + " HTTP/1.1\r\n";
  request += "Connection: close\r\n";
  request += "Host: " + address.authority + "\r\n";
  request += "Accept: */*\r\n";
  request += "Accept-Encoding: gzip, identity\r\n";
  if (withCredentials && options.ProxyHost.empty() && HasCredentials(options)) {
    request += "Authorization: " + BasicCredentials(options);
  }
  // The kept page's validators, as its server gave them (they never hold a
  // line break: the cache does not keep such a value).
  if (kept != nullptr && !kept->etag.empty()) request += "If-None-Match: " + kept->etag + "\r\n";
  if (kept != nullptr && !kept->lastModified.empty()) {
    request += "If-Modified-Since: " + kept->lastModified + "\r\n";
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

namespace {

// The run's page cache, opened on its first secure page; nothing when the
// run keeps no pages or the cache had to be given up (said once, as a note).
PageCache* UsableCache(InputContext& context) {
  if (context.PageCacheDirectory.empty()) return nullptr;
  if (!context.cache) {
    context.cache = PageCache::Open(context.PageCacheDirectory);
    if (!context.cache->usable()) context.diagnostics.Note(context.cache->note());
  }
  return context.cache->usable() ? &*context.cache : nullptr;
}

// Keeps a page that came whole; a cache that cannot be written is given up
// with a note and the run goes on without it.
void KeepInCache(InputContext& context, const std::string& address, const std::string& body,
                 CachedPage validators) {
  PageCache* cache = UsableCache(context);
  if (cache == nullptr) return;
  validators.body = body;
  if (!cache->Keep(address, validators) && !cache->usable()) context.diagnostics.Note(cache->note());
}

// --offline: the kept page, or why there is none; nothing is fetched.
FetchResult ReadKeptPage(InputContext& context, const std::string& address) {
  context.out() << "Reading the kept copy of " << address << "..." << '\n';
  PageCache* cache = UsableCache(context);
  std::optional<CachedPage> kept = cache != nullptr ? cache->Find(address) : std::nullopt;
  if (!kept) return FetchFailed(FetchFailure::kNotKept, "");
  FetchResult page;
  page.body = std::move(kept->body);
  return page;
}

}  // namespace

FetchResult FetchSecurePage(InputContext& context, const std::string& address, bool retry) {
  std::ostream& out = context.out();
  if (context.cacheMode == CacheMode::kOffline) return ReadKeptPage(context, address);
  out << "Downloading " << address << "..." << '\n';
  // A kept copy is asked about only when its server gave it a validator.
  std::optional<CachedPage> kept;
  if (PageCache* cache = context.cacheMode == CacheMode::kAsk ? UsableCache(context) : nullptr) {
    kept = cache->Find(address);
    if (kept && kept->etag.empty() && kept->lastModified.empty()) kept.reset();
  }
  Bounds bounds{Deadline(PageDeadlineOf(context)), context.NetworkTimeoutSeconds};
  std::optional<WebAddress> origin = ParseWebAddress(address);
  std::string current = address;
  int redirects = 0;
  int retries = 0;
  std::chrono::milliseconds waited{0};
  for (;;) {
    std::optional<WebAddress> parsed = ParseWebAddress(current);
    if (!parsed) {
      return FetchFailed(FetchFailure::kInvalidAddress, "Error: '" + EscapedControls(current) + "' is not a valid address");
    }
    // Site credentials belong to the origin they were given for; a
    // redirect elsewhere goes without them.
    bool withCredentials = origin && SameOrigin(*origin, *parsed);
    context.pacer.WaitTurn(parsed->host, std::chrono::milliseconds(context.PageDelayMs));
    Exchange exchange = RequestOnce(context, *parsed, bounds, withCredentials, kept ? &*kept : nullptr);
    context.pacer.Finished(parsed->host);
    switch (exchange.kind) {
      case Exchange::kPage:
        out << "Data received" << '\n';
        out << "Connection closed" << '\n';
        KeepInCache(context, address, exchange.result.body, std::move(exchange.validators));
        return std::move(exchange.result);
      case Exchange::kNotModified: {
        out << "Not modified since it was kept: reading the kept copy" << '\n';
        out << "Connection closed" << '\n';
        // Still in use: the entry must not expire as if it were forgotten.
        context.cache->Touch(address);
        FetchResult page;
        page.body = std::move(kept->body);
        return page;
      }
      case Exchange::kFailed:
        return std::move(exchange.result);
      case Exchange::kRedirect: {
        std::optional<std::string> next = ResolveLocation(current, exchange.location);
        if (!next) {
          return FetchFailed(FetchFailure::kRedirect, "Error: The server redirected to an invalid address");
        }
        if (!IsSecureAddress(*next)) {
          return FetchFailed(FetchFailure::kRedirect, "Error: Refused a redirect from https to " + *next,
                             "refused a redirect from https to " + *next);
        }
        if (++redirects > kMaxRedirects) return FetchFailed(FetchFailure::kRedirect, "Error: Too many redirects");
        out << "Redirected to " << *next << '\n';
        current = *next;
        continue;
      }
      case Exchange::kPassingFailure: {
        std::chrono::milliseconds pause = retries < kMaxRetries ? kRetryPauses[retries] : kRetryPauses[0];
        if (exchange.retryAfterSeconds) pause = std::chrono::seconds(*exchange.retryAfterSeconds);
        if (!retry || retries == kMaxRetries || waited + pause > kMaxRetryWaiting) return std::move(exchange.result);
        ++retries;
        waited += pause;
        std::this_thread::sleep_for(pause);
        out << "Retrying " << current << "..." << '\n';
        continue;
      }
    }
  }
}

}  // namespace kavrel
