// Keeping one list current with --update: a daily run whose page fails
// keeps yesterday's satellite, and a day that gains nothing leaves the
// list as it was. The page comes from nginx on a loopback address.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "support/loopback_servers.h"
#include "support/program.h"

namespace kavrel::testing {
namespace {

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(KAVREL_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(UpdateCli, DailyUpdateWithAFailingPageKeepsYesterdaysSatellite) {
  if (!CanBindPrivilegedPorts()) GTEST_SKIP() << "needs root to serve on port 80";
  if (!HaveProgram("nginx")) GTEST_SKIP() << "nginx is not installed (scripts/install-deps.sh)";
  ScratchDir pages;
  pages.MakeDir("site");
  pages.Write("site/lyngsat.html", ReadSource("examples/lyngsat-sample.html"));
  NginxServer nginx(pages.At("site"));
  ASSERT_TRUE(nginx.ok()) << "nginx did not start";
  InstalledProgram program;
  program.WriteWork("west.ini", "[SATTYPE]\n1=3550\n2=West Sat\n[DVB]\n0=1\n1=12000,H,27500,78\n");
  program.WriteWork("daily.txt", nginx.Url("/lyngsat.html") + "\n" + program.Work("west.ini") + "\n");

  // Day one: the list does not exist yet and is made from both inputs.
  ProgramResult first = program.Run({"@daily.txt", "/Format=x", "-q", "--update=list.xml"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  std::string yesterday = program.ReadWork("list.xml");
  EXPECT_NE(yesterday.find("position=\"192\""), std::string::npos) << yesterday;
  EXPECT_NE(yesterday.find("position=\"-50\""), std::string::npos) << yesterday;

  // Day two: the site changed its layout and West Sat moved a transponder.
  // The format is known from the list itself; Astra keeps yesterday's data.
  pages.Write("site/lyngsat.html", "<html><body>Lyngsat " + std::string(2000, 'x') + "</body></html>");
  program.WriteWork("west.ini", "[SATTYPE]\n1=3550\n2=West Sat\n[DVB]\n0=1\n1=12100,V,27500,78\n");
  ProgramResult second = program.Run({"@daily.txt", "--update=list.xml", "--changes"});
  EXPECT_EQ(second.exitCode, 2) << second.err;
  EXPECT_EQ(second.out,
            "5.0W West Sat: 1 added, 1 removed, 0 changed (1 -> 1 transponders)\n"
            "  - 12000 H 27500 7/8 DVB-S\n"
            "  + 12100 V 27500 7/8 DVB-S\n");
  std::string today = program.ReadWork("list.xml");
  EXPECT_EQ(today.substr(0, today.find("<sat name=\"West")), yesterday.substr(0, yesterday.find("<sat name=\"West")));
  EXPECT_NE(today.find("frequency=\"12100000\""), std::string::npos) << today;

  // Day three: nothing answers; the list stays byte for byte, and the
  // scratch folder of a run killed while it wrote is cleared away.
  program.scratch().MakeDir("work/.list.xml.kavrel-Ab12Cd");
  program.WriteWork(".list.xml.kavrel-Ab12Cd/satellites.xml", "<?xml version=");
  ProgramResult third = program.Run({nginx.Url("/gone.html"), "--update=list.xml"});
  EXPECT_EQ(third.exitCode, 3);
  EXPECT_NE(third.err.find("list.xml stays as it was"), std::string::npos) << third.err;
  EXPECT_EQ(program.ReadWork("list.xml"), today);
  EXPECT_FALSE(program.WorkExists(".list.xml.kavrel-Ab12Cd/satellites.xml"));
  EXPECT_EQ(program.WorkNames(), (std::vector<std::string>{"daily.txt", "list.xml", "list.xml.lock", "west.ini"}));
}

TEST(UpdateCli, AFolderListGainsFilesAndKeepsTheOthers) {
  InstalledProgram program;
  program.scratch().MakeDir("work/lists");  // empty: a list without satellites yet
  const std::string hotBird = "[SATTYPE]\n1=0130\n2=Hot Bird\n[DVB]\n0=1\n1=10719,V,27500,34\n";
  program.WriteWork("hotbird.ini", hotBird);
  program.WriteWork("west.ini", "[SATTYPE]\n1=3550\n2=West Sat\n[DVB]\n0=1\n1=12000,H,27500,78\n");
  ProgramResult first = program.Run({program.Work("hotbird.ini"), "/Format=i1", "--update=lists"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(program.ReadWork("lists/0130.ini"), hotBird);

  // Without /Format= a folder takes the run's format: the configuration's
  // SaveFormat, i1 by default.
  ProgramResult second = program.Run({program.Work("west.ini"), "--update=lists/", "-q"});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(program.ReadWork("lists/0130.ini"), hotBird);
  EXPECT_TRUE(program.WorkExists("lists/3550.ini"));
  EXPECT_FALSE(program.WorkExists("lists/0130(1).ini"));
}

}  // namespace
}  // namespace kavrel::testing
