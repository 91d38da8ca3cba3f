// Fetching https pages end to end: the built program against nginx, a
// scripted TLS server and tinyproxy on loopback addresses, with
// certificates of a test authority the program is told to trust.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <sys/stat.h>
#include <sys/time.h>

#include "support/loopback_servers.h"
#include "support/program.h"
#include "support/tls_scripted_server.h"

namespace kavrel::testing {
namespace {

using Kind = TestCertificates::Kind;

const std::string kPage =
    "<html><head><title>Secure page</title></head>\r\n<body>\r\n" + std::string(30000, 's') + "\r\n</body></html>\r\n";

std::string Reply(const std::string& status, const std::string& headers, const std::string& body = "") {
  return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}
std::string Page(const std::string& type = "Content-Type: text/html\r\n") { return Reply("200 OK", type, kPage); }
std::string Redirect(const std::string& status, const std::string& location) {
  return Reply(status, "Location: " + location + "\r\n");
}
std::string Failure(const std::string& status) { return Reply(status, "Retry-After: 0\r\n"); }

// A gzip stream of `size` zero bytes: a thousandth of that on the wire.
std::string GzipOfZeros(size_t size) {
  z_stream stream{};
  deflateInit2(&stream, 1, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  std::string zeros(1 << 20, '\0'), compressed;
  char out[1 << 16];
  for (size_t left = size; left > 0;) {
    size_t take = std::min(left, zeros.size());
    left -= take;
    stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
    stream.avail_in = static_cast<uInt>(take);
    do {
      stream.next_out = reinterpret_cast<Bytef*>(out);
      stream.avail_out = sizeof out;
      deflate(&stream, left == 0 ? Z_FINISH : Z_NO_FLUSH);
      compressed.append(out, sizeof out - stream.avail_out);
    } while (stream.avail_out == 0);
  }
  deflateEnd(&stream);
  return compressed;
}

std::vector<std::string> Starting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& line : Lines(text)) {
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  }
  return found;
}

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(KAVREL_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class HttpsCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanBindPrivilegedPorts()) GTEST_SKIP() << "needs root to serve on port 443";
    for (const char* program : {"openssl", "nginx"}) {
      if (!HaveProgram(program)) GTEST_SKIP() << program << " is not installed (scripts/install-deps.sh)";
    }
    ASSERT_TRUE(certificates_.ok()) << "openssl could not make the test authority";
    ::setenv("SSL_CERT_FILE", certificates_.CaFile().c_str(), 1);
    program_.WriteConfig("[Common]\nPageDelay=0\n");
  }
  void TearDown() override {
    ::unsetenv("SSL_CERT_FILE");
    ::unsetenv("KAVREL_NETWORK_TIMEOUT");
    ::unsetenv("KAVREL_CACHE");
  }

  // nginx over https with plain, /gzip/ and /chunked/ copies of the test
  // page and of a LyngSat page, started on first use.
  NginxServer& Nginx() {
    if (!nginx_) {
      for (const char* dir : {"site", "site/gzip", "site/chunked"}) pages_.MakeDir(dir);
      for (const char* dir : {"site/", "site/gzip/", "site/chunked/"}) {
        pages_.Write(std::string(dir) + "page.html", kPage);
        pages_.Write(std::string(dir) + "lyngsat.html", ReadSource("examples/lyngsat-sample.html"));
      }
      nginx_ = std::make_unique<NginxServer>(pages_.At("site"), certificates_);
      if (!nginx_->ok()) ADD_FAILURE() << "nginx did not start";
    }
    return *nginx_;
  }

  // A page that failed: exit code 3 (2 when another input gave a list)
  // with the page and the cause (when given) named on standard error, one
  // "Error: " line, nothing left in the work directory but `left`.
  void ExpectFailed(const ProgramResult& result, const std::string& errorPrefix,
                    const std::vector<std::string>& left = {}, const std::string& cause = "",
                    int exitCode = 3) {
    EXPECT_EQ(result.exitCode, exitCode) << result.err;
    EXPECT_NE(result.err.find("kavrel: http"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(": " + cause), std::string::npos) << result.err;
    std::vector<std::string> errors = Starting(result.out, "Error: ");
    ASSERT_EQ(errors.size(), 1u) << result.out;
    EXPECT_EQ(errors[0].rfind(errorPrefix, 0), 0u) << errors[0];
    EXPECT_EQ(program_.WorkNames(), left);
  }

  TestCertificates certificates_;
  ScratchDir pages_;
  std::unique_ptr<NginxServer> nginx_;
  InstalledProgram program_;
};

TEST_F(HttpsCli, PagesArriveDecodedWhateverTheAddressesLetterCaseAndPort) {
  const std::string host = Nginx().address();
  for (const std::string& address : {"https://" + host + "/page.html", "HTTPS://" + host + "/gzip/page.html",
                                     "Https://" + host + ":8443/chunked/page.html"}) {
    ProgramResult result = program_.Run({address, "/KeepHTML+"});
    ASSERT_TRUE(OnlyPagesOfNoSite(result)) << result.err;
    std::vector<std::string> lines = Lines(result.out);
    auto at = std::find(lines.begin(), lines.end(), "Downloading " + address + "...");
    ASSERT_LE(at + 6, lines.end()) << result.out;
    EXPECT_EQ(std::vector<std::string>(at + 1, at + 4),
              (std::vector<std::string>{"Connecting socket...", "Sending request...", "Receiving data..."}));
    size_t dots = at[4].find_first_not_of('.');
    EXPECT_GT(dots, 0u);
    EXPECT_EQ(at[4], std::string(dots, '.') + "Data received");
    EXPECT_EQ(at[5], "Connection closed");
    EXPECT_EQ(program_.ReadWork("page.html"), kPage) << address;
    std::filesystem::remove(program_.Work("page.html"));
  }

  // The LyngSat page goes to its reader as over http.
  ProgramResult parsed = program_.Run({Nginx().Url("/gzip/lyngsat.html"), "/Format=i2"});
  ASSERT_EQ(parsed.exitCode, 0) << parsed.err;
  EXPECT_NE(parsed.out.find("Connection closed\nProcessing lyngsat.html...\n6 transponders loaded\n"),
            std::string::npos)
      << parsed.out;
  EXPECT_EQ(program_.WorkNames(), std::vector<std::string>{"0192.ini"});
  std::filesystem::remove(program_.Work("0192.ini"));

  // With the default pause between pages of one host, both pages come.
  program_.WriteConfig("");
  program_.WriteWork("list.txt", Nginx().Url("/page.html") + "\n" + Nginx().Url("/chunked/page.html") + "\n");
  ProgramResult paced = program_.Run({"@list.txt", "/KeepHTML+"});
  ASSERT_TRUE(OnlyPagesOfNoSite(paced)) << paced.err;
  EXPECT_TRUE(Starting(paced.out, "Error: ").empty()) << paced.out;
  EXPECT_EQ(program_.WorkNames(), (std::vector<std::string>{"list.txt", "page(1).html", "page.html"}));
}

TEST_F(HttpsCli, RequestHeadUserAgentAndContentTypes) {
  TlsScriptedServer server(
      certificates_,
      {Page("content-type: text/html; charset=utf-8\r\n"), Page("Content-Type: application/xhtml+xml\r\n")},
      Kind::kGood, 8443);
  for (const char* name : {"a.html", "b.html"}) {
    ProgramResult result = program_.Run({server.Url(std::string("/dir/") + name + "?x=1"), "/KeepHTML+"});
    ASSERT_TRUE(OnlyPagesOfNoSite(result)) << result.err;
    EXPECT_TRUE(Starting(result.out, "Error: ").empty()) << result.out;
  }
  EXPECT_EQ(program_.WorkNames(), (std::vector<std::string>{"a.htm", "b.htm"}));
  ASSERT_EQ(server.Requests().size(), 2u);
  std::string request = server.Requests()[0];
  std::vector<std::string> head = Lines(request);
  ASSERT_GE(head.size(), 2u) << request;
  EXPECT_EQ(head[0], "GET /dir/a.html?x=1 HTTP/1.1\r");
  std::vector<std::string> fields(head.begin() + 1, head.end());
  std::sort(fields.begin(), fields.end());
  ASSERT_EQ(fields.size(), 6u) << request;
  EXPECT_EQ(fields[0], "\r");  // the empty line that ends the head, and nothing after it
  EXPECT_EQ(std::vector<std::string>(fields.begin() + 1, fields.begin() + 5),
            (std::vector<std::string>{"Accept-Encoding: gzip, identity\r", "Accept: */*\r", "Connection: close\r",
                                      "Host: " + server.address() + ":8443\r"}));
  EXPECT_EQ(fields[5].rfind("User-Agent: kavrel/", 0), 0u) << fields[5];
  EXPECT_GT(fields[5].size(), std::string("User-Agent: kavrel/\r").size()) << fields[5];

  // The configuration names another agent; a saving run keeps both keys.
  TlsScriptedServer standard(certificates_, {Page()});
  program_.WriteConfig("[Common]\nPageDelay=0\nUserAgent=Test Agent/2.5 (loopback)\n");
  ProgramResult saved = program_.Run({standard.Url("/page.html"), "/S"});
  ASSERT_TRUE(OnlyPagesOfNoSite(saved)) << saved.err;
  ASSERT_EQ(standard.Requests().size(), 1u);
  std::vector<std::string> sent = Lines(standard.Requests()[0]);
  EXPECT_NE(std::find(sent.begin(), sent.end(), "User-Agent: Test Agent/2.5 (loopback)\r"), sent.end());
  EXPECT_NE(std::find(sent.begin(), sent.end(), "Host: " + standard.address() + "\r"), sent.end());
  std::string config = program_.scratch().Read("bin/kavrel.ini");
  EXPECT_NE(config.find("UserAgent=Test Agent/2.5 (loopback)"), std::string::npos) << config;
  EXPECT_NE(config.find("PageDelay=0"), std::string::npos) << config;
}

TEST_F(HttpsCli, CertificatesThatFailVerificationSkipThePage) {
  struct Case {
    Kind kind;
    std::string reason;
  };
  for (const Case& c : {Case{Kind::kWrongHost, "IP address mismatch"}, Case{Kind::kExpired, "certificate has expired"},
                        Case{Kind::kUntrustedIssuer, "unable to get local issuer certificate"}}) {
    SCOPED_TRACE(c.reason);
    TlsScriptedServer server(certificates_, {Page()}, c.kind);
    ProgramResult result = program_.Run({server.Url("/page.html"), "/KeepHTML+"});
    std::string prefix = "Error: The certificate of " + server.address() + " is not trusted (";
    ExpectFailed(result, prefix);
    std::string error = Starting(result.out, "Error: ").at(0);
    EXPECT_EQ(error, prefix + c.reason + ")");
    for (const char* secret : {"-----BEGIN", "PRIVATE KEY"}) {
      EXPECT_EQ((result.out + result.err).find(secret), std::string::npos) << result.out << result.err;
    }
    EXPECT_TRUE(server.Requests().empty()) << "a request went to an unverified server";
  }
}

TEST_F(HttpsCli, HandshakesThatBreakOrStallCostOnlyThePage) {
  ::setenv("KAVREL_NETWORK_TIMEOUT", "3", 1);
  TlsScriptedServer garbage(TlsScriptedServer::Mode::kGarbage);
  ProgramResult broken = program_.Run({garbage.Url("/page.html"), "/KeepHTML+"}, 30);
  ExpectFailed(broken, "Error: Can't connect to the host");
  std::vector<std::string> lines = Lines(broken.out);
  auto error = std::find(lines.begin(), lines.end(), "Error: Can't connect to the host");
  ASSERT_NE(error, lines.end());
  ASSERT_NE(error + 1, lines.end());
  EXPECT_NE(error[1].find("wrong version number"), std::string::npos) << "not the handshake's reason: " << error[1];

  TlsScriptedServer stall(TlsScriptedServer::Mode::kStall);
  ExpectFailed(program_.Run({stall.Url("/page.html"), "/KeepHTML+"}, 30), "Error: ");
}

TEST_F(HttpsCli, RedirectsAreFollowedWithinLimits) {
  for (const char* status :
       {"301 Moved Permanently", "302 Found", "303 See Other", "307 Temporary Redirect", "308 Permanent Redirect"}) {
    SCOPED_TRACE(status);
    TlsScriptedServer target(certificates_, {Page()});
    TlsScriptedServer origin(certificates_, {Redirect(status, target.Url("/final.html"))});
    ProgramResult result = program_.Run({origin.Url("/start.html"), "/KeepHTML+"});
    ASSERT_TRUE(OnlyPagesOfNoSite(result)) << result.err;
    EXPECT_EQ(Starting(result.out, "Redirected to "),
              std::vector<std::string>{"Redirected to " + target.Url("/final.html")});
    ASSERT_EQ(target.Requests().size(), 1u);
    EXPECT_EQ(target.Requests()[0].rfind("GET /final.html HTTP/1.1\r\n", 0), 0u);
    // Kept under the name of the address asked for.
    EXPECT_EQ(program_.ReadWork("start.html"), kPage);
    std::filesystem::remove(program_.Work("start.html"));
  }

  struct Case {
    std::string name;
    std::vector<std::string> responses;
    std::vector<std::string> redirectedTo;  // paths on the same server
    std::string error;                      // prefix; empty when the page comes
    int connections;
  };
  std::vector<std::string> sixHops;
  for (int hop = 1; hop <= 6; ++hop) sixHops.push_back(Redirect("302 Found", "/hop" + std::to_string(hop) + ".html"));
  std::vector<std::string> fiveHops(sixHops.begin(), sixHops.begin() + 5);
  fiveHops.push_back(Page());
  sixHops.push_back(Page());
  const Case cases[] = {
      {"relative",
       {Redirect("302 Found", "b.html"), Redirect("307 Temporary Redirect", "/c/d.html"),
        Redirect("303 See Other", "../e.html?f=1"), Page()},
       {"/dir/b.html", "/c/d.html", "/e.html?f=1"},
       "",
       4},
      {"five hops", fiveHops, {"/hop1.html", "/hop2.html", "/hop3.html", "/hop4.html", "/hop5.html"}, "", 6},
      {"six hops", sixHops, {}, "Error: Too many redirects", 6},
      {"empty location", {Redirect("301 Moved Permanently", "")}, {}, "Error: ", 1},
      {"no address", {Redirect("301 Moved Permanently", "https://")}, {}, "Error: ", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TlsScriptedServer server(certificates_, c.responses);
    ProgramResult result = program_.Run({server.Url("/dir/a.html"), "/KeepHTML+"});
    if (c.error.empty()) {
      std::vector<std::string> expected;
      for (const std::string& path : c.redirectedTo) expected.push_back("Redirected to " + server.Url(path));
      EXPECT_EQ(Starting(result.out, "Redirected to "), expected) << result.out;
      EXPECT_TRUE(Starting(result.out, "Error: ").empty()) << result.out;
      EXPECT_EQ(program_.ReadWork("a.html"), kPage);
      std::filesystem::remove(program_.Work("a.html"));
    } else {
      ExpectFailed(result, c.error);
    }
    EXPECT_EQ(server.Connections(), c.connections);
  }

  // nginx's own redirect, which names the port.
  const std::string origin = "https://" + Nginx().address() + ":8443";
  ProgramResult moved = program_.Run({origin + "/moved/gzip/page.html", "/KeepHTML+"});
  EXPECT_EQ(Starting(moved.out, "Redirected to "),
            std::vector<std::string>{"Redirected to " + origin + "/gzip/page.html"});
  EXPECT_EQ(program_.ReadWork("page.html"), kPage);
  std::filesystem::remove(program_.Work("page.html"));

  // Never from https down to http; and plain http follows no redirect.
  ScriptedServer plain({{Redirect("301 Moved Permanently", "https://127.0.0.2/page.html")}});
  TlsScriptedServer downgrade(certificates_, {Redirect("302 Found", plain.Url("/page.html"))});
  ExpectFailed(program_.Run({downgrade.Url("/page.html"), "/KeepHTML+"}), "Error: ");
  EXPECT_TRUE(plain.Requests().empty());
  ProgramResult old = program_.Run({plain.Url("/page.html"), "/KeepHTML+"});
  ExpectFailed(old, "Error: Unknown HTTP header");
  EXPECT_NE(old.out.find("Error: Unknown HTTP header\n" + std::string(79, '-') + "\nHTTP/1.1 301 Moved Permanently\n"),
            std::string::npos)
      << old.out;
  EXPECT_EQ(Starting(old.out, "Redirected to ").size(), 0u);
}

TEST_F(HttpsCli, FailedResponsesAreRetriedTwiceAtMost) {
  struct Case {
    std::vector<std::string> responses;
    int retries;
    bool arrives;
  };
  const Case cases[] = {
      {{Failure("503 Service Unavailable"), Page()}, 1, true},
      {{Failure("503 Service Unavailable")}, 2, false},
      {{Failure("429 Too Many Requests")}, 2, false},
      {{Failure("500 Internal Server Error")}, 2, false},
      {{Failure("502 Bad Gateway")}, 2, false},
      {{Failure("504 Gateway Timeout"), Failure("504 Gateway Timeout"), Page()}, 2, true},
      {{Failure("404 Not Found"), Page()}, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.responses[0].substr(0, 30));
    TlsScriptedServer server(certificates_, c.responses);
    std::string address = server.Url("/page.html");
    ProgramResult result = program_.Run({address, "/KeepHTML+"});
    EXPECT_EQ(Starting(result.out, "Retrying "), std::vector<std::string>(c.retries, "Retrying " + address + "..."))
        << result.out;
    EXPECT_EQ(server.Connections(), c.retries + 1);
    if (c.arrives) {
      EXPECT_TRUE(Starting(result.out, "Error: ").empty()) << result.out;
      EXPECT_EQ(program_.ReadWork("page.html"), kPage);
      std::filesystem::remove(program_.Work("page.html"));
    } else {
      ExpectFailed(result, "Error: ");
    }
  }

  // Retries are the page's, however many redirects come between them.
  TlsScriptedServer server(certificates_, {Failure("503 Service Unavailable"), Redirect("302 Found", "/b.html"),
                                           Failure("503 Service Unavailable"), Failure("503 Service Unavailable"),
                                           Page()});
  ProgramResult result = program_.Run({server.Url("/a.html")});
  EXPECT_EQ(Starting(result.out, "Retrying ").size(), 2u) << result.out;
  EXPECT_EQ(server.Connections(), 4);
  ExpectFailed(result, "Error: The server answered 503 Service Unavailable", {},
               "the server answered 503 Service Unavailable");
}

TEST_F(HttpsCli, AnEndlessHeadCostsOnlyItsPage) {
  TlsScriptedServer endless(certificates_, {"HTTP/1.1 200 OK\r\nX-Filler: " + std::string(1 << 20, 'f')});
  program_.WriteWork("list.txt", endless.Url("/endless.html") + "\n" + Nginx().Url("/chunked/lyngsat.html") + "\n");
  ProgramResult result = program_.Run({"@list.txt", "/Format=i2"});
  ExpectFailed(result, "Error: ", {"0192.ini", "list.txt"}, "", 2);
  EXPECT_NE(result.out.find("Processing lyngsat.html...\n6 transponders loaded\n"), std::string::npos) << result.out;
}

TEST_F(HttpsCli, ThroughAProxyTunnelWithBasicCredentials) {
  if (!HaveProgram("tinyproxy")) GTEST_SKIP() << "tinyproxy is not installed (scripts/install-deps.sh)";
  TinyProxy proxy("kavrel", "s3cret", {443, 8443});
  ASSERT_TRUE(proxy.ok()) << "tinyproxy did not start";
  const std::string at = "@" + proxy.address() + ":" + std::to_string(proxy.port());
  const std::string address = "https://" + Nginx().address() + ":8443/gzip/page.html";
  ProgramResult result = program_.Run({address, "/Proxya=kavrel:s3cret" + at, "/KeepHTML+"});
  ASSERT_TRUE(OnlyPagesOfNoSite(result)) << result.err;
  EXPECT_TRUE(Starting(result.out, "Error: ").empty()) << result.out;
  EXPECT_EQ(program_.ReadWork("page.html"), kPage);
  std::filesystem::remove(program_.Work("page.html"));

  ProgramResult refused = program_.Run({Nginx().Url("/page.html"), "/Proxya=kavrel:n0t-th1s" + at, "/KeepHTML+"});
  ExpectFailed(refused, "Error: ");
  EXPECT_EQ((refused.out + refused.err).find("n0t-th1s"), std::string::npos) << refused.out;
}

TEST_F(HttpsCli, HostileServersCostOnlyTheirPageWithTheCauseNamed) {
  ::setenv("KAVREL_NETWORK_TIMEOUT", "1", 1);  // a page's deadline is then 4 s
  const std::string chunkedHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string escapes = "Not\x1b]0;owned\x07\x1b[2J found";
  const std::string escaped = "Not\\x1b]0;owned\\x07\\x1b[2J found";
  struct Case {
    std::string name;
    std::string response;
    TlsScriptedServer::Pacing pacing;
    std::string report;  // the progress report's "Error: " line (after the dots), if any
    std::string cause;   // standard error's words
  };
  const std::string tooLarge = "the page is too large (more than 67108864 bytes ";
  const Case cases[] = {
      {"chunks without the last one", chunkedHead + "5\r\nhello\r\n", {}, "Error: Connection lost",
       "the page ended early"},
      {"shorter than its length", Reply("200 OK", "Content-Type: text/html\r\n", kPage).substr(0, 200), {},
       "Error: Connection lost", "the page ended early"},
      {"neither length nor closing alert",
       "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n" + kPage, {0, 0, "", false},
       "Error: Connection lost", "the page ended early"},
      {"one byte every 0.2 s", chunkedHead, {0, 200, "1\r\nx\r\n"}, "Error: Connection lost", "timed out"},
      {"a head that never ends", "HTTP/1.1 200 OK\r\n", {0, 200, "X: y\r\n"}, "Error: Connection lost", "timed out"},
      {"an endless body", chunkedHead, {0, 0, "10000\r\n" + std::string(65536, 'x') + "\r\n"}, "",
       tooLarge + "received)"},
      {"a gzip bomb",
       Reply("200 OK", "Content-Type: text/html\r\nContent-Encoding: gzip\r\n", GzipOfZeros(size_t{80} << 20)), {}, "",
       tooLarge + "decompressed)"},
      {"control characters in the reason", "HTTP/1.1 404 " + escapes + "\r\nContent-Length: 0\r\n\r\n", {},
       "Error: The server answered 404 " + escaped, "the server answered 404 " + escaped},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TlsScriptedServer server(certificates_, {c.response});
    server.SetPacing(c.pacing);
    auto started = std::chrono::steady_clock::now();
    ProgramResult result = program_.Run({server.Url("/page.html"), "/KeepHTML+"}, 30);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
    EXPECT_EQ(result.exitCode, 3) << result.err;  // the one input gave nothing
    EXPECT_EQ(result.err, "kavrel: " + server.Url("/page.html") + ": " + c.cause + "\n");
    size_t error = result.out.find("Error: ");
    if (c.report.empty()) {
      EXPECT_EQ(error, std::string::npos) << result.out;
    } else {
      EXPECT_EQ(result.out.find(c.report + "\n"), error) << result.out;
      EXPECT_EQ(result.out.find("Error: ", error + 1), std::string::npos) << result.out;
    }
    EXPECT_EQ((result.out + result.err).find('\x1b'), std::string::npos);
    EXPECT_TRUE(program_.WorkNames().empty());
  }
  // A name that does not resolve (.invalid never does) is not asked again.
  ProgramResult unknown = program_.Run({"https://kavrel-test.invalid/page.html"}, 30);
  EXPECT_EQ(unknown.err, "kavrel: https://kavrel-test.invalid/page.html: the host name could not be resolved\n");
  EXPECT_TRUE(Starting(unknown.out, "Retrying ").empty()) << unknown.out;
}

TEST_F(HttpsCli, SiteCredentialsStayWithTheirOriginAndARefusedProxyFetchesNothing) {
  program_.WriteConfig("[Common]\nPageDelay=0\nProxyUser=me\nProxyPassword=secret\n");
  TlsScriptedServer other(certificates_, {Page()});
  TlsScriptedServer origin(certificates_, {Redirect("302 Found", "/same.html"), Redirect("302 Found", other.Url("/p.html"))});
  ProgramResult result = program_.Run({origin.Url("/start.html")});
  ASSERT_TRUE(OnlyPagesOfNoSite(result)) << result.err;
  ASSERT_EQ(origin.Requests().size(), 2u);
  const std::string credentials = "Authorization: Basic bWU6c2VjcmV0\r\n";
  for (const std::string& request : origin.Requests()) EXPECT_NE(request.find(credentials), std::string::npos);
  ASSERT_EQ(other.Requests().size(), 1u);
  EXPECT_EQ(other.Requests()[0].find("Authorization"), std::string::npos) << other.Requests()[0];

  // A proxy option that cannot be read: no request goes anywhere, and the
  // password is shown nowhere.
  program_.WriteConfig("[Common]\nPageDelay=0\n");
  TlsScriptedServer site(certificates_, {Page()});
  ProgramResult refused = program_.Run({site.Url("/p.html"), "/Proxya=me:pa:ss@proxy.example"});
  EXPECT_EQ(refused.exitCode, 3);
  EXPECT_NE(refused.out.find("Error in parameters - /Proxya=me:***@proxy.example\n"), std::string::npos) << refused.out;
  EXPECT_EQ(refused.err, "kavrel: " + site.Url("/p.html") + ": the proxy option was refused, so nothing is fetched\n");
  EXPECT_EQ((refused.out + refused.err).find("pa:ss"), std::string::npos);
  EXPECT_EQ(site.Connections(), 0);
}

// The request head's line that starts with `field`, or nothing.
std::string HeadField(const std::string& request, const std::string& field) {
  std::vector<std::string> found = Starting(request, field);
  return found.empty() ? std::string() : found[0];
}

TEST_F(HttpsCli, KeptPagesAreAskedForOnlyIfTheyChanged) {
  const std::string validators = "ETag: \"5f3-6a1b\"\r\nLast-Modified: Tue, 08 Dec 2026 10:00:00 GMT\r\n";
  TlsScriptedServer server(certificates_, {Reply("200 OK", "Content-Type: text/html\r\n" + validators, kPage),
                                           Reply("304 Not Modified", validators),
                                           Reply("200 OK", "Content-Type: text/html\r\n", "<html>changed</html>")});
  struct Step {
    std::string flag;         // beside the address and /KeepHTML+
    std::string ifNoneMatch;  // the request's line, when one is sent
    std::string progress;     // a line the run prints
    std::string page;
  };
  const Step steps[] = {
      {"", "", "Data received", kPage},
      {"", "If-None-Match: \"5f3-6a1b\"\r", "Not modified since it was kept: reading the kept copy", kPage},
      {"--refresh", "", "Data received", "<html>changed</html>"},
      // The page came without validators: nothing to ask with.
      {"", "", "Data received", "<html>changed</html>"},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    std::vector<std::string> arguments = {server.Url("/page.html"), "/KeepHTML+"};
    if (!steps[i].flag.empty()) arguments.push_back(steps[i].flag);
    ProgramResult result = program_.Run(arguments);
    ASSERT_TRUE(OnlyPagesOfNoSite(result)) << result.err;
    ASSERT_EQ(server.Requests().size(), i + 1);
    std::string request = server.Requests()[i];
    EXPECT_EQ(HeadField(request, "If-None-Match: "), steps[i].ifNoneMatch) << request;
    EXPECT_EQ(HeadField(request, "If-Modified-Since: ").empty(), steps[i].ifNoneMatch.empty()) << request;
    EXPECT_NE(result.out.find(steps[i].progress + "\nConnection closed\n"), std::string::npos) << result.out;
    EXPECT_EQ(program_.ReadWork("page.html"), steps[i].page);
    std::filesystem::remove(program_.Work("page.html"));
  }
  // A 304 that was not asked for is no page.
  TlsScriptedServer unasked(certificates_, {Reply("304 Not Modified", validators)});
  ExpectFailed(program_.Run({unasked.Url("/other.html")}), "Error: The server answered 304 Not Modified");
}

TEST_F(HttpsCli, AWalkRerunsFromKeptPagesAndOfflineFetchesNothing) {
  const std::string page = ReadSource("examples/lyngsat-sample.html");
  const std::string origin = "https://" + Nginx().address();
  program_.WriteConfig("[Common]\nPageDelay=0\n[lyngsat]\n0192=" + origin + "/lyngsat.html\n0100=" + origin +
                       "/never.html\n");
  const std::string cache = program_.scratch().At("bin/cache/pages");
  auto walk = [&](std::vector<std::string> more) {
    std::vector<std::string> arguments = {"!l!192", "/Format=i2", "-o", program_.WorkDir()};
    arguments.insert(arguments.end(), more.begin(), more.end());
    ProgramResult result = program_.Run(arguments);
    std::string list = program_.WorkExists("0192.ini") ? program_.ReadWork("0192.ini") : "";
    std::filesystem::remove(program_.Work("0192.ini"));
    return std::pair{result, list};
  };
  auto [first, firstList] = walk({});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(std::filesystem::directory_iterator(cache)->path().filename().string().size(), 64u);
  // nginx's own validators: the same file answers 304.
  auto [second, secondList] = walk({});
  EXPECT_NE(second.out.find("Not modified since it was kept"), std::string::npos) << second.out;
  EXPECT_EQ(secondList, firstList);

  // The site rewrites its page: a transponder moved, and the file's time is new.
  std::string changed = page;
  changed.replace(changed.find("11229"), 5, "11231");
  pages_.Write("site/lyngsat.html", changed);
  struct timeval later[2] = {{std::time(nullptr) + 60, 0}, {std::time(nullptr) + 60, 0}};
  ASSERT_EQ(::utimes(pages_.At("site/lyngsat.html").c_str(), later), 0);
  auto [third, thirdList] = walk({});
  EXPECT_EQ(third.out.find("Not modified"), std::string::npos) << third.out;
  EXPECT_NE(thirdList.find("11231"), std::string::npos) << thirdList;
  auto [refreshed, refreshedList] = walk({"--refresh"});
  EXPECT_EQ(refreshed.out.find("Not modified"), std::string::npos) << refreshed.out;
  EXPECT_EQ(refreshedList, thirdList);

  // The site is gone: --offline reads what was kept; a position never
  // fetched fails as an input.
  nginx_.reset();
  auto [offline, offlineList] = walk({"--offline"});
  EXPECT_EQ(offline.exitCode, 0) << offline.err;
  EXPECT_EQ(offlineList, thirdList);
  EXPECT_TRUE(Starting(offline.out, "Connecting socket").empty()) << offline.out;
  ProgramResult never = program_.Run({"!l!100", "--offline"});
  EXPECT_EQ(never.exitCode, 3);
  EXPECT_EQ(never.err,
            "kavrel: " + origin + "/never.html: no copy of the page is kept, and --offline fetches nothing\n");
  ProgramResult plain = program_.Run({"http://127.0.0.1/page.html", "--offline"});
  EXPECT_EQ(plain.exitCode, 3);
  EXPECT_EQ(plain.err, "kavrel: http://127.0.0.1/page.html: http pages are not kept, and --offline fetches nothing\n");
  EXPECT_EQ(plain.out.find("Downloading"), std::string::npos) << plain.out;
  ProgramResult both = program_.Run({"!l!192", "--offline", "--refresh"});
  EXPECT_EQ(both.exitCode, 1);
  EXPECT_EQ(both.err, "kavrel: --offline and --refresh exclude each other\n");

  // A cache that cannot be made: a note, and the page still comes.
  program_.WriteWork("not-a-folder", "");
  ::setenv("KAVREL_CACHE", program_.Work("not-a-folder").c_str(), 1);
  TlsScriptedServer server(certificates_, {Page()});
  ProgramResult noCache = program_.Run({server.Url("/page.html")});
  EXPECT_TRUE(Starting(noCache.out, "Error: ").empty()) << noCache.out;
  EXPECT_NE(noCache.err.find("kavrel: the page cache " + program_.Work("not-a-folder") + "/pages cannot be used ("),
            std::string::npos)
      << noCache.err;
}

TEST_F(HttpsCli, PagesThatFailForAPassingCauseAreTriedOnceMoreAtTheEndOfTheWalk) {
  const std::string page = ReadSource("examples/lyngsat-sample.html");
  const std::string busy = Reply("522 Connection Timed Out", "Retry-After: 0\r\n");
  struct Case {
    std::vector<std::string> responses;  // of the first position's server
    int exitCode;
    int connections;
  };
  const Case cases[] = {
      // Retried at once (three tries), then the one later try.
      {{Failure("503 Service Unavailable"), Failure("503 Service Unavailable"), Failure("503 Service Unavailable"),
        Reply("200 OK", "Content-Type: text/html\r\n", page)},
       0,
       4},
      // A front that cannot reach its site: only the later try.
      {{busy, Reply("200 OK", "Content-Type: text/html\r\n", page)}, 0, 2},
      {{busy}, 2, 2},
      // Not a passing cause: asked no more.
      {{Reply("404 Not Found", "")}, 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.responses[0].substr(0, 24));
    TlsScriptedServer server(certificates_, c.responses);
    program_.WriteConfig("[Common]\nPageDelay=0\n[lyngsat]\n0130=" + server.Url("/13.0E.html") +
                         "\n0192=" + Nginx().Url("/lyngsat.html") + "\n");
    ProgramResult result = program_.Run({"!l![130e-192e]", "/Format=i2", "--refresh"});
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    EXPECT_EQ(server.Connections(), c.connections);
    // One full handshake; the later connections of the run resume it.
    EXPECT_EQ(server.Resumed(), c.connections - 1);
    std::vector<std::string> tries = Starting(result.out, "Trying ");
    size_t later = result.out.find("Trying " + server.Url("/13.0E.html") + " once more after the other pages\n");
    EXPECT_EQ(tries.size(), c.connections > 1 ? 1u : 0u) << result.out;
    if (!tries.empty()) {
      EXPECT_GT(later, result.out.find("Downloading " + Nginx().Url("/lyngsat.html")));
    }
    // Told once, and only when the last try failed too.
    EXPECT_EQ(Starting(result.err, "kavrel: " + server.Url("/")).size(), c.exitCode == 0 ? 0u : 1u) << result.err;
    for (const std::string& name : program_.WorkNames()) std::filesystem::remove(program_.Work(name));
  }
}

}  // namespace
}  // namespace kavrel::testing
