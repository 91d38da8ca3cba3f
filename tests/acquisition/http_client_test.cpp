#include "acquisition/http_client.h"

#include <gtest/gtest.h>

#include "platform/base64.h"

namespace kavrel {
namespace {

TEST(HttpAddress, HostAndPath) {
  EXPECT_EQ(UrlHost("http://www.lyngsat.example/hotbird.html"), "www.lyngsat.example");
  EXPECT_EQ(UrlPath("http://www.lyngsat.example/hotbird.html"), "/hotbird.html");
  EXPECT_EQ(UrlHost("HTTP://host:8080/a/b?c=d"), "host:8080");
  EXPECT_EQ(UrlPath("HTTP://host:8080/a/b?c=d"), "/a/b?c=d");
  EXPECT_EQ(UrlHost("http://host"), "host");
  EXPECT_EQ(UrlPath("http://host"), "");
  EXPECT_EQ(UrlHost("no scheme"), "");
}

TEST(HttpAddress, StandardBase64) {
  EXPECT_EQ(EncodeBase64(""), "");
  EXPECT_EQ(EncodeBase64("f"), "Zg==");
  EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
  EXPECT_EQ(EncodeBase64("foo"), "Zm9v");
  EXPECT_EQ(EncodeBase64("user:pass"), "dXNlcjpwYXNz");
  EXPECT_EQ(EncodeBase64("me:secret"), "bWU6c2VjcmV0");
  EXPECT_EQ(EncodeBase64("\xff\xfe\xfd"), "//79");
  const unsigned char group[] = {'M', 'a'};
  EXPECT_EQ(EncodeBase64Group(group, 2), "TWE=");
}

TEST(HttpRequest, DirectAndThroughAProxy) {
  Options direct;
  EXPECT_EQ(BuildRequest("http://www.kingofsat.example/pos-23.5E.php", direct),
            "GET /pos-23.5E.php HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: www.kingofsat.example\r\n"
            "Accept: */*\r\n"
            "Accept-Encoding: gzip, identity\r\n"
            "\r\n");

  Options proxy;
  proxy.ProxyHost = "10.0.0.1";
  proxy.ProxyPort = 3128;
  EXPECT_EQ(BuildRequest("http://www.kingofsat.example/pos-23.5E.php", proxy),
            "GET http://www.kingofsat.example/pos-23.5E.php HTTP/1.1\r\n"
            "Connection: close\r\n"
            "Host: www.kingofsat.example\r\n"
            "Accept: */*\r\n"
            "Accept-Encoding: gzip, identity\r\n"
            "Pragma: no-cache\r\n"
            "Cache-Control: no-cache\r\n"
            "\r\n");

  // Credentials only when both are given; for a proxy in the proxy's header.
  proxy.ProxyUser = "user";
  EXPECT_EQ(BuildRequest("http://x/", proxy).find("Authorization"), std::string::npos);
  proxy.ProxyPassword = "pass";
  std::string withProxy = BuildRequest("http://x/", proxy);
  EXPECT_NE(withProxy.find("Cache-Control: no-cache\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n\r\n"),
            std::string::npos);
  Options site;
  site.ProxyUser = "me";
  site.ProxyPassword = "secret";
  EXPECT_EQ(BuildRequest("http://x/p", site),
            "GET /p HTTP/1.1\r\nConnection: close\r\nHost: x\r\nAccept: */*\r\n"
            "Accept-Encoding: gzip, identity\r\nAuthorization: Basic bWU6c2VjcmV0\r\n\r\n");
}

}  // namespace
}  // namespace kavrel
