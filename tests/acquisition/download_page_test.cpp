// DownloadPage against a scripted server of our own on a loopback address:
// exact request bytes, progress lines, and every rejection.
#include <gtest/gtest.h>

#include <filesystem>

#include "acquisition/http_client.h"
#include "support/loopback_servers.h"
#include "support/memory_run.h"

namespace kavrel {
namespace {

using testing::ScriptedServer;

const std::string kOkHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=windows-1251\r\n\r\n";
const std::string kDashes(79, '-');

class Download : public ::testing::Test {
 protected:
  Download() : cwd_(dir_.path()) {
    memory_.run.input.NetworkTimeoutSeconds = 2;
  }
  void SetUp() override {
    if (!testing::CanBindPrivilegedPorts()) GTEST_SKIP() << "needs root to serve on port 80";
  }
  // As the dispatcher does: the report's lines after the progress lines.
  bool Fetch(const std::string& address) {
    last_ = DownloadPage(memory_.run.input, address, "page.htm");
    memory_.run.out << last_.report;
    return last_.ok();
  }
  std::vector<std::string> Printed() const { return memory_.PrintedLines(); }

  testing::ScratchDir dir_;
  testing::CurrentDirectoryGuard cwd_;
  testing::MemoryRun memory_;
  FetchResult last_;
};

TEST_F(Download, StoresTheRawResponseAndReportsProgress) {
  ScriptedServer server({{kOkHead + "<html>"}, {"<body>", 150}, {"</html>\n", 150}});
  std::string address = server.Url("/pos-23.5E.php");
  ASSERT_TRUE(Fetch(address));
  EXPECT_EQ(dir_.Read("page.htm"), kOkHead + "<html><body></html>\n");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], "GET /pos-23.5E.php HTTP/1.1\r\nConnection: close\r\nHost: " + server.address() +
                                      "\r\nAccept: */*\r\nAccept-Encoding: gzip, identity\r\n\r\n");
  EXPECT_EQ(Printed(), (std::vector<std::string>{"Downloading " + address + "...", "Connecting socket...",
                                                 "Sending request...", "Receiving data...", "...Data received",
                                                 "Connection closed"}));
}

TEST_F(Download, AcceptsHttp10AndLongRequests) {
  ScriptedServer server({{"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\nx"}});
  std::string longPath = "/" + std::string(2000, 'p') + ".html";
  ASSERT_TRUE(Fetch(server.Url(longPath)));
  EXPECT_NE(server.Requests().at(0).find("GET " + longPath + " HTTP/1.1\r\n"), std::string::npos);
  EXPECT_EQ(server.Requests()[0].substr(server.Requests()[0].size() - 4), "\r\n\r\n");
}

TEST_F(Download, RejectsOtherStatusesWithTheirHead) {
  std::string head = "HTTP/1.1 301 Moved Permanently\r\nLocation: http://elsewhere/\x1b[2J\r\nX-Long: " +
                     std::string(600, 'l');
  ScriptedServer server({{head + "\r\n\r\n<html>moved</html>"}});
  EXPECT_FALSE(Fetch(server.Url("/a.html")));
  std::vector<std::string> printed = Printed();
  std::vector<std::string> tail(printed.end() - 6, printed.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Error: Unknown HTTP header", kDashes, "HTTP/1.1 301 Moved Permanently",
                                            "Location: http://elsewhere/\\x1b[2J", "X-Long: " + std::string(600, 'l'),
                                            kDashes}));
  EXPECT_FALSE(dir_.Exists("page.htm"));

  // Without an empty line in the first block there is no head to show.
  testing::MemoryRun other;
  ScriptedServer partial({{"HTTP/1.1 404 Not Found\r\nServer: x"}});
  FetchResult refused = DownloadPage(other.run.input, partial.Url("/"), dir_.At("other.htm"));
  EXPECT_EQ(refused.report, "Error: Unknown HTTP header\n");
  EXPECT_EQ(refused.failure, FetchFailure::kHttpStatus);
}

TEST_F(Download, ContentTypeMustBeHtml) {
  ScriptedServer wrongCase({{"HTTP/1.1 200 OK\r\nContent-type: text/html\r\n\r\nx"}});
  EXPECT_FALSE(Fetch(wrongCase.Url("/")));
  EXPECT_EQ(Printed().back(), "Error: incorect content type");
  EXPECT_FALSE(dir_.Exists("page.htm"));
  ScriptedServer image({{"HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\nx"}});
  EXPECT_FALSE(Fetch(image.Url("/")));
  EXPECT_EQ(Printed().back(), "Error: incorect content type");
}

TEST_F(Download, HeadSplitAcrossBlocksIsJudgedWhole) {
  // Proxies send the status line and the fields in separate pieces; the
  // page must not depend on how the network cut them.
  ScriptedServer split({{"HTTP/1.1 200 OK\r\nContent-"}, {"Type: text/html\r\n\r\n<html>", 200}, {"</html>", 200}});
  ASSERT_TRUE(Fetch(split.Url("/")));
  EXPECT_EQ(dir_.Read("page.htm"), "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html></html>");
  EXPECT_EQ(Printed().at(4), "...Data received");

  // A server that ends inside its head is judged by what it sent.
  std::filesystem::remove(dir_.At("page.htm"));
  ScriptedServer cut({{"HTTP/1.1 200 OK\r\nServer: x\r\n"}});
  EXPECT_FALSE(Fetch(cut.Url("/")));
  EXPECT_EQ(Printed().back(), "Error: incorect content type");
  // An empty answer is no page either.
  ScriptedServer empty({});
  EXPECT_FALSE(Fetch(empty.Url("/")));
  EXPECT_EQ(Printed().back(), "Error: Unknown HTTP header");
  EXPECT_FALSE(dir_.Exists("page.htm"));
}

TEST_F(Download, UnreachableAndSilentServers) {
  // Nothing listens there.
  std::string nobody = testing::FreeLoopbackAddress(80);
  EXPECT_FALSE(Fetch("http://" + nobody + "/a.html"));
  EXPECT_EQ(Printed().back(), "Error: Can't connect to the host");
  EXPECT_EQ(last_.failure, FetchFailure::kRefused);
  // A port in the host part is connected to, and the Host line names it.
  ScriptedServer onPort({{kOkHead + "x"}}, 0, 8080);
  ASSERT_TRUE(Fetch("http://" + onPort.address() + ":8080/a.html"));
  EXPECT_EQ(onPort.Requests().at(0).find("GET /a.html HTTP/1.1\r\nConnection: close\r\nHost: " + onPort.address() +
                                         ":8080\r\n"),
            0u);
  std::filesystem::remove(dir_.At("page.htm"));

  // A server that accepts and then says nothing is given up after the
  // time limit.
  ScriptedServer silent({}, 5000);
  EXPECT_FALSE(Fetch(silent.Url("/a.html")));
  EXPECT_EQ(Printed().back(), "Error: Connection lost");
  EXPECT_FALSE(dir_.Exists("page.htm"));
  // One that goes silent in the middle loses the page too.
  ScriptedServer stalls({{kOkHead + "<html>"}}, 5000);
  EXPECT_FALSE(Fetch(stalls.Url("/a.html")));
  EXPECT_EQ(Printed().back(), ".Error: Connection lost");
  EXPECT_FALSE(dir_.Exists("page.htm"));
}

TEST_F(Download, ThroughAProxyWithCredentials) {
  ScriptedServer proxy({{kOkHead + "x"}}, 0, 3128);
  Options& options = memory_.run.options;
  options.ProxyHost = proxy.address();
  options.ProxyPort = 3128 + 65536;  // only the low 16 bits of a port count
  options.ProxyUser = "user";
  options.ProxyPassword = "pass";
  ASSERT_TRUE(Fetch("http://www.lyngsat.example/hotbird.html"));
  EXPECT_EQ(proxy.Requests().at(0),
            "GET http://www.lyngsat.example/hotbird.html HTTP/1.1\r\nConnection: close\r\n"
            "Host: www.lyngsat.example\r\nAccept: */*\r\nAccept-Encoding: gzip, identity\r\n"
            "Pragma: no-cache\r\nCache-Control: no-cache\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n");
}

}  // namespace
}  // namespace kavrel
