#include "acquisition/https_client.h"

#include <gtest/gtest.h>

#include "acquisition/response_head.h"
#include "acquisition/web_address.h"
#include "platform/version.h"

namespace kavrel {
namespace {

TEST(SecureAddress, PartsAndRedirectTargets) {
  struct Case {
    std::string_view address;
    bool valid;
    std::string_view host, authority, target;
    int port;
  };
  const Case cases[] = {
      {"https://en.kingofsat.example/pos-13E.php", true, "en.kingofsat.example", "en.kingofsat.example", "/pos-13E.php", 443},
      {"HTTPS://Host:8443", true, "Host", "Host:8443", "/", 8443},
      {"https://h?x=1#frag", true, "h", "h", "/?x=1", 443},
      {"http://h/a#b", true, "h", "h", "/a", 80},
      {"https://user@h/", false, "", "", "", 0},
      {"https://h:0/", false, "", "", "", 0},
      {"https://h:65536/", false, "", "", "", 0},
      {"https://h:/", false, "", "", "", 0},
      {"https:///x", false, "", "", "", 0},
      {"https://h/a b", false, "", "", "", 0},
      {"https://h/a\r\nX: y", false, "", "", "", 0},
      {"ftp://h/", false, "", "", "", 0},
  };
  for (const Case& c : cases) {
    std::optional<WebAddress> parsed = ParseWebAddress(c.address);
    ASSERT_EQ(parsed.has_value(), c.valid) << c.address;
    if (!parsed) continue;
    EXPECT_EQ(parsed->host, c.host) << c.address;
    EXPECT_EQ(parsed->authority, c.authority) << c.address;
    EXPECT_EQ(parsed->target, c.target) << c.address;
    EXPECT_EQ(parsed->port, c.port) << c.address;
  }

  const std::string base = "https://h:8443/a/b/c.php?q=1";
  const std::pair<std::string_view, std::string_view> locations[] = {
      {"https://other/x", "https://other/x"},
      {"//other/x", "https://other/x"},
      {"/x/../y", "https://h:8443/y"},
      {"d.php", "https://h:8443/a/b/d.php"},
      {"../../../../d", "https://h:8443/d"},
      {"./", "https://h:8443/a/b/"},
      {"?p=2", "https://h:8443/a/b/c.php?p=2"},
      {"  /spaced  ", "https://h:8443/spaced"},
      {"http://h/down", "http://h/down"},
      {"", ""},
      {"javascript:alert(1)", ""},
      {"https://", ""},
      {"/a b", ""},
  };
  for (const auto& [location, expected] : locations) {
    EXPECT_EQ(ResolveLocation(base, location).value_or(""), expected) << location;
  }
}

TEST(SecureResponse, HeadsAreReadAsHttp11) {
  EXPECT_EQ(BodyStart("HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody"), 25u);
  EXPECT_EQ(BodyStart("HTTP/1.1 200 OK\nA: b\n\nbody"), 22u);
  EXPECT_FALSE(BodyStart("HTTP/1.1 200 OK\r\nA: b\r\n"));

  std::optional<ResponseHead> head = ParseResponseHead(
      "HTTP/1.1 503 Service Unavailable\r\ncontent-TYPE:  text/html ; charset=utf-8\r\n"
      "X-Long: one\r\n two\r\nRetry-After: 0\r\nContent-Length: 123\r\nno colon\r\n");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 503);
  EXPECT_EQ(head->reason, "Service Unavailable");
  EXPECT_EQ(head->Field("Content-Type").value_or(""), "text/html ; charset=utf-8");
  EXPECT_EQ(head->Field("x-long").value_or(""), "one two");
  EXPECT_EQ(RetryAfterSeconds(*head), 0);
  EXPECT_EQ(ContentLength(*head), 123u);
  EXPECT_FALSE(head->Field("Location"));
  EXPECT_EQ(ParseResponseHead("HTTP/1.0 302")->status, 302);
  for (std::string_view bad : {"", "HTTP/1.1 20 OK", "HTTP/1.1 2000 OK", "ICY 200 OK", "HTTP/x.1 200 OK"}) {
    EXPECT_FALSE(ParseResponseHead(bad)) << bad;
  }
  ResponseHead dated = *ParseResponseHead("HTTP/1.1 429 Too Many\r\nRetry-After: Wed, 21 Oct 2026 07:28:00 GMT\r\n"
                                          "Content-Length: -5\r\n");
  EXPECT_FALSE(RetryAfterSeconds(dated));
  EXPECT_FALSE(ContentLength(dated));

  for (std::string_view type : {"text/html", "TEXT/HTML;charset=x", "application/xhtml+xml"}) {
    EXPECT_TRUE(IsPageContentType(type)) << type;
  }
  for (std::string_view type : {"text/htmlx", "text/plain", ""}) EXPECT_FALSE(IsPageContentType(type)) << type;
  EXPECT_TRUE(IsChunkedFieldLine("transfer-encoding: gzip, CHUNKED\r"));
  EXPECT_FALSE(IsChunkedFieldLine("Transfer-Encoding: chunked, gzip"));
  EXPECT_FALSE(IsChunkedFieldLine("X-Transfer-Encoding: chunked"));
}

TEST(SecureRequest, OriginFormWithUserAgentAndCredentialsWhereTheyBelong) {
  WebAddress address = *ParseWebAddress("https://en.kingofsat.example:8443/pos-13E.php");
  Options direct;
  EXPECT_EQ(BuildSecureRequest(address, direct, ""),
            "GET /pos-13E.php HTTP/1.1\r\nConnection: close\r\nHost: en.kingofsat.example:8443\r\n"
            "Accept: */*\r\nAccept-Encoding: gzip, identity\r\nUser-Agent: kavrel/" +
                std::string(kProgramVersion) + "\r\n\r\n");
  direct.ProxyUser = "me";
  direct.ProxyPassword = "secret";
  EXPECT_NE(BuildSecureRequest(address, direct, "Mine\r\nX: y").find(
                "Authorization: Basic bWU6c2VjcmV0\r\nUser-Agent: MineX: y\r\n\r\n"),
            std::string::npos);

  Options proxy = direct;
  proxy.ProxyHost = "10.0.0.1";
  EXPECT_EQ(BuildSecureRequest(address, proxy, "UA").find("Authorization"), std::string::npos);
  EXPECT_EQ(BuildTunnelRequest(address, proxy, "UA"),
            "CONNECT en.kingofsat.example:8443 HTTP/1.1\r\nHost: en.kingofsat.example:8443\r\n"
            "Proxy-Authorization: Basic bWU6c2VjcmV0\r\nUser-Agent: UA\r\n\r\n");
}

}  // namespace
}  // namespace kavrel
