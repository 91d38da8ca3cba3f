// Fetching pages end to end: the built program against nginx and tinyproxy
// on loopback addresses, started and stopped by the tests.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>

#include "support/loopback_servers.h"
#include "support/program.h"

namespace kavrel::testing {
namespace {

const std::string kPage =
    "<html><head><title>Example page</title></head>\r\n<body>\r\n" + std::string(30000, 'x') + "\r\n</body></html>\r\n";

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(KAVREL_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class NetworkCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanBindPrivilegedPorts()) GTEST_SKIP() << "needs root to serve on port 80";
    if (!HaveProgram("nginx")) GTEST_SKIP() << "nginx is not installed (scripts/install-deps.sh)";
    for (const char* dir : {"site", "site/gzip", "site/chunked"}) pages_.MakeDir(dir);
    for (const char* name : {"site/page.html", "site/gzip/page.html", "site/chunked/page.html"}) {
      pages_.Write(name, kPage);
    }
    std::string sample = ReadSource("examples/lyngsat-sample.html");
    for (const char* name : {"site/lyngsat.html", "site/gzip/lyngsat.html", "site/chunked/lyngsat.html"}) {
      pages_.Write(name, sample);
    }
    nginx_ = std::make_unique<NginxServer>(pages_.At("site"));
    ASSERT_TRUE(nginx_->ok()) << "nginx did not start";
  }

  ScratchDir pages_;
  std::unique_ptr<NginxServer> nginx_;
  InstalledProgram program_;
};

TEST_F(NetworkCli, PlainGzipAndChunkedPagesArriveAsTheirHtml) {
  for (const char* path : {"/page.html", "/gzip/page.html", "/chunked/page.html"}) {
    ProgramResult result = program_.Run({nginx_->Url(path), "/KeepHTML+"});
    ASSERT_TRUE(OnlyPagesOfNoSite(result)) << result.err;
    std::vector<std::string> lines = Lines(result.out);
    ASSERT_GE(lines.size(), 8u) << result.out;
    EXPECT_EQ(lines[1], "Downloading " + nginx_->Url(path) + "...");
    EXPECT_EQ(lines[2], "Connecting socket...");
    EXPECT_EQ(lines[3], "Sending request...");
    EXPECT_EQ(lines[4], "Receiving data...");
    EXPECT_NE(lines[5].find("Data received"), std::string::npos);
    EXPECT_EQ(lines[5].find_first_not_of('.'), lines[5].find("Data received"));
    EXPECT_EQ(lines[6], "Connection closed");
    EXPECT_EQ(program_.ReadWork("page.html"), kPage) << path;
    std::filesystem::remove(program_.Work("page.html"));
  }
  // Without /KeepHTML the page goes after it was read.
  ProgramResult result = program_.Run({nginx_->Url("/gzip/page.html")});
  EXPECT_TRUE(OnlyPagesOfNoSite(result)) << result.err;
  EXPECT_TRUE(program_.WorkNames().empty());
}

TEST_F(NetworkCli, MissingPagesAndSiteWalks) {
  ProgramResult missing = program_.Run({nginx_->Url("/nothing.html")});
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_EQ(missing.err, "kavrel: " + nginx_->Url("/nothing.html") + ": the server answered 404 Not Found\n");
  std::vector<std::string> lines = Lines(missing.out);
  EXPECT_EQ(lines.at(5), "Error: Unknown HTTP header");
  EXPECT_EQ(lines.at(6), std::string(79, '-'));
  EXPECT_EQ(lines.at(7), "HTTP/1.1 404 Not Found");
  EXPECT_TRUE(program_.WorkNames().empty());

  // A walk across 0 degrees: keys 3590..3599 and 0..10, with pages
  // only at 3595 (listed under its West key -0005) and 5.
  program_.WriteConfig("[lyngsat]\n-0005=" + nginx_->Url("/page.html") + "\n0005=" + nginx_->Url("/gzip/page.html") +
                       "\n");
  ProgramResult walk = program_.Run({"!l![10w-10e]", "/KeepHTML+"});
  // The pages are fetched but hold no LyngSat table: each is a failed
  // input, and nothing was gained.
  EXPECT_EQ(walk.exitCode, 3);
  const std::string unreadable = ": a page of LyngSat, but no transponder could be read from it (its layout may have changed)\n";
  EXPECT_EQ(walk.err, "kavrel: " + nginx_->Url("/page.html") + unreadable + "kavrel: " +
                          nginx_->Url("/gzip/page.html") + unreadable);
  std::vector<std::string> walked = Lines(walk.out);
  std::vector<std::string> downloads;
  for (const std::string& line : walked) {
    if (line.rfind("Downloading ", 0) == 0) downloads.push_back(line);
  }
  EXPECT_EQ(downloads, (std::vector<std::string>{"Downloading " + nginx_->Url("/page.html") + "...",
                                                 "Downloading " + nginx_->Url("/gzip/page.html") + "..."}));
  EXPECT_EQ(program_.WorkNames(), (std::vector<std::string>{"page(1).html", "page.html"}));
}

TEST_F(NetworkCli, FetchedPagesGoToTheirSiteParser) {
  ProgramResult direct = program_.Run({nginx_->Url("/gzip/lyngsat.html"), "/Format=i2"});
  ASSERT_EQ(direct.exitCode, 0) << direct.err;
  std::vector<std::string> lines = Lines(direct.out);
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(lines[6], "Connection closed");
  EXPECT_EQ(lines[7], "Processing lyngsat.html...");
  EXPECT_EQ(lines[8], "6 transponders loaded");
  EXPECT_EQ(lines.back(), "All done");
  EXPECT_EQ(program_.WorkNames(), std::vector<std::string>{"0192.ini"});
  std::string fromPage = program_.ReadWork("0192.ini");

  // The same page through the site page table, chunked, in a list file
  // whose other line reads the INI file written above: "+" merges it.
  program_.WriteConfig("[Common]\nSaveFormat=ini2\nAcceptDVBS2=on\n[lyngsat]\n0192=" + nginx_->Url("/chunked/lyngsat.html") + "\n");
  program_.WriteWork("list.txt", "0192.ini\n+!l![190e-195e]\n");
  ProgramResult walk = program_.Run({"@list.txt"});
  ASSERT_EQ(walk.exitCode, 0) << walk.err;
  EXPECT_NE(walk.out.find("Processing lyngsat.html...\n6 transponders loaded\n"), std::string::npos) << walk.out;
  EXPECT_EQ(program_.ReadWork("0192(1).ini"), fromPage);
  EXPECT_EQ(program_.WorkNames(), (std::vector<std::string>{"0192(1).ini", "0192.ini", "list.txt"}));
}

TEST_F(NetworkCli, ABrokenChunkCostsOnlyItsPage) {
  ScriptedServer broken({{"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n"
                          "5\r\n<html\r\nnot-a-size\r\nxyz\r\n0\r\n\r\n"}});
  program_.WriteWork("list.txt", broken.Url("/lyngsat-broken.html") + "\n" + nginx_->Url("/lyngsat.html") + "\n");
  ProgramResult result = program_.Run({"@list.txt"});
  ASSERT_EQ(result.exitCode, 2) << result.err;
  EXPECT_EQ(Lines(result.err).at(0),
            "kavrel: " + broken.Url("/lyngsat-broken.html") + ": a chunk size that is not hexadecimal");
  EXPECT_NE(result.out.find("Connection closed\nError: 'not-a-size' is not a valid chunk size\nDownloading "),
            std::string::npos)
      << result.out;
  // Five DVB-S rows (the DVB-S2 one needs /DVBS2+).
  EXPECT_NE(result.out.find("Processing lyngsat.html...\n5 transponders loaded\n"), std::string::npos) << result.out;
  EXPECT_EQ(program_.WorkNames(), (std::vector<std::string>{"0192.ini", "list.txt"}));
}

TEST_F(NetworkCli, ThroughTinyproxyWithBasicCredentials) {
  if (!HaveProgram("tinyproxy")) GTEST_SKIP() << "tinyproxy is not installed (scripts/install-deps.sh)";
  TinyProxy proxy("kavrel", "s3cret");
  ASSERT_TRUE(proxy.ok()) << "tinyproxy did not start";
  std::string via = "/Proxya=kavrel:s3cret@" + proxy.address() + ":" + std::to_string(proxy.port());
  ProgramResult result = program_.Run({nginx_->Url("/gzip/page.html"), via, "/KeepHTML+"});
  ASSERT_TRUE(OnlyPagesOfNoSite(result)) << result.err;
  ASSERT_TRUE(program_.WorkExists("page.html")) << result.out;
  EXPECT_EQ(program_.ReadWork("page.html"), kPage);

  std::string wrong = "/Proxya=kavrel:wrong@" + proxy.address() + ":" + std::to_string(proxy.port());
  ProgramResult refused = program_.Run({nginx_->Url("/page.html"), wrong});
  EXPECT_EQ(refused.exitCode, 3);
  EXPECT_NE(refused.out.find("Error: Unknown HTTP header\n" + std::string(79, '-') + "\nHTTP/1.0 401 Unauthorized"),
            std::string::npos)
      << refused.out;
}

TEST_F(NetworkCli, AWalkGivesUpOnAHostThatKeepsFailingAndSaysWhy) {
  // Nothing listens at `nobody`: three pages fail for the same reason,
  // the host's other two are not tried; nginx's page still comes.
  std::string nobody = "http://" + FreeLoopbackAddress(80);
  program_.WriteConfig("[lyngsat]\n0010=" + nobody + "/1.html\n0020=" + nobody + "/2.html\n0030=" + nobody +
                       "/3.html\n0035=" + nginx_->Url("/page.html") + "\n0040=" + nobody + "/4.html\n0050=" + nobody +
                       "/5.html\n");
  ProgramResult walk = program_.Run({"!l![10e-50e]"});
  EXPECT_EQ(walk.exitCode, 3);  // nginx's page is of no site: nothing gained
  std::vector<std::string> expected;
  for (const char* page : {"/1.html", "/2.html", "/3.html"}) {
    expected.push_back("kavrel: " + nobody + page + ": the connection was refused");
  }
  // nginx's page holds no LyngSat table.
  expected.push_back("kavrel: " + nginx_->Url("/page.html") +
                     ": a page of LyngSat, but no transponder could be read from it (its layout may have changed)");
  expected.push_back("kavrel: !l![10e-50e]: skipped 2 more pages of " + nobody.substr(7) +
                     " after 3 in a row failed (the connection was refused)");
  expected.push_back("kavrel: !l![10e-50e]: fetched 1 of 6 pages listed for the range");
  EXPECT_EQ(Lines(walk.err), expected);
  size_t downloads = 0;
  for (const std::string& line : Lines(walk.out)) downloads += line.rfind("Downloading ", 0) == 0;
  EXPECT_EQ(downloads, 4u) << walk.out;
}

TEST_F(NetworkCli, AnInterruptedDownloadLeavesNoPageFile) {
  ScriptedServer slow({{"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>"}, {"<body>", 3000}}, 5000);
  std::string script = "'" + program_.BinaryPath() + "' '" + slow.Url("/page.html") +
                       "' /KeepHTML+ & sleep 1; ls; kill -TERM $!; wait $!; echo status=$?";
  ProgramResult result = RunProcess("/bin/sh", {"-c", script}, program_.WorkDir(), 30);
  EXPECT_EQ(Lines(result.out).back(), "status=143") << result.out;
  EXPECT_NE(result.out.find("page.html\n"), std::string::npos) << "the page was not being fetched: " << result.out;
  EXPECT_TRUE(program_.WorkNames().empty());
}

TEST_F(NetworkCli, AFullDiskLeavesNoPageFile) {
  ScratchDir disk;
  if (::mount("tmpfs", disk.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  }
  pages_.Write("site/big.html", "<html>" + std::string(300000, 'b') + "</html>");
  ProgramResult result = RunProcess(program_.BinaryPath(), {nginx_->Url("/big.html")}, disk.path(), 30);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(disk.path())) left.push_back(entry.path().string());
  ::umount(disk.path().c_str());
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_NE(result.err.find("No space left on device"), std::string::npos) << result.err;
  EXPECT_TRUE(left.empty()) << left.front();
}

}  // namespace
}  // namespace kavrel::testing
