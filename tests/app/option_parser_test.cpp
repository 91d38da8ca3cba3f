#include "app/option_parser.h"

#include <gtest/gtest.h>

#include "support/memory_run.h"

namespace kavrel {
namespace {

struct Parsed {
  Options options;
  bool providersInfo = false;
  std::vector<std::string> printed;
};

// Parses the arguments as they would follow the input on a command line.
Parsed Parse(const std::vector<std::string>& arguments, Options start = Options()) {
  testing::MemoryRun memory;
  std::vector<std::string> commandLine = {"kavrel", "input"};
  commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
  ParseOptions(memory.run, CollectOptionTokens(commandLine), start);
  return Parsed{start, memory.run.ProvidersInfo, memory.PrintedLines()};
}

TEST(OptionTokens, CollectedFromTheArgumentsAfterTheInput) {
  EXPECT_EQ(CollectOptionTokens({"kavrel"}), "");
  EXPECT_EQ(CollectOptionTokens({"kavrel", "in"}), "");
  EXPECT_EQ(CollectOptionTokens({"kavrel", "in", "/Ku-", "a b"}), " /Ku- a b");
  std::string text = " /A  /B";
  EXPECT_EQ(NextOptionToken(text), "/B");
  EXPECT_EQ(NextOptionToken(text), "");  // two blanks in a row
  EXPECT_EQ(text, " /A");
  std::string noBlank = "/A";
  EXPECT_EQ(NextOptionToken(noBlank), "");
  EXPECT_EQ(noBlank, "/A");
}

TEST(OptionParser, SwitchesInAnyLetterCase) {
  Parsed p = Parse({"/ku-", "/C-", "/LINEAR-", "/Circular-", "/data-", "/FEEDS-", "/ConvCircular+",
                    "/convcband+", "/KeepHTML+", "/ProvInfo+", "/DSS+"});
  EXPECT_FALSE(p.options.AcceptKu);
  EXPECT_FALSE(p.options.AcceptC);
  EXPECT_FALSE(p.options.AcceptLinear);
  EXPECT_FALSE(p.options.AcceptCircular);
  EXPECT_FALSE(p.options.AcceptData);
  EXPECT_FALSE(p.options.AcceptFeeds);
  EXPECT_TRUE(p.options.ConvCircular);
  EXPECT_TRUE(p.options.ConvCBand);
  EXPECT_TRUE(p.options.KeepHTML);
  EXPECT_TRUE(p.providersInfo);
  EXPECT_TRUE(p.options.AcceptedKinds.Contains(3));
  EXPECT_TRUE(p.printed.empty());
  // Characters after the switch are ignored.
  EXPECT_FALSE(Parse({"/Ku-xyz"}).options.AcceptKu);
}

TEST(OptionParser, LeftmostWins) {
  EXPECT_FALSE(Parse({"/Ku-", "/Ku+"}).options.AcceptKu);
  EXPECT_TRUE(Parse({"/Ku+", "/Ku-"}).options.AcceptKu);

  Parsed formatLast = Parse({"/Format=i2", "/DVBS2-"});
  EXPECT_EQ(formatLast.options.FormatCode, 5);
  EXPECT_TRUE(formatLast.options.AcceptedKinds.Contains(2));
  Parsed formatFirst = Parse({"/DVBS2-", "/Format=i2"});
  EXPECT_EQ(formatFirst.options.FormatCode, 5);
  EXPECT_FALSE(formatFirst.options.AcceptedKinds.Contains(2));
}

TEST(OptionParser, BadSwitchesAreReportedAndSkipped) {
  Parsed p = Parse({"/Ku*", "/Ku", "/Cx", "/Conv+", "/C-"});
  // Tokens are taken from the right.
  EXPECT_EQ(p.printed, (std::vector<std::string>{"Error in parameters - /Conv+", "Error in parameters - /Cx",
                                                 "Error in parameters - /Ku", "Error in parameters - /Ku*"}));
  EXPECT_FALSE(p.options.AcceptC);
  EXPECT_TRUE(p.options.AcceptKu);
  // Unknown tokens are ignored silently; "/S+" is no "/S".
  Parsed quiet = Parse({"/Verbose", "/S+", "plain"});
  EXPECT_TRUE(quiet.printed.empty());
  EXPECT_FALSE(quiet.options.SaveConfig);
  EXPECT_TRUE(Parse({"/s"}).options.SaveConfig);
}

TEST(OptionParser, SymbolRateLimits) {
  Options start;
  start.MinSR = 100;
  start.MaxSR = 200;
  EXPECT_EQ(Parse({"/MinSR=2000", "/MaxSR=0x2710"}, start).options.MinSR, 2000);
  EXPECT_EQ(Parse({"/MaxSR=0x2710"}, start).options.MaxSR, 10000);
  EXPECT_EQ(Parse({"/MinSR=abc"}, start).options.MinSR, 0);
  EXPECT_EQ(Parse({"/MaxSR="}, start).options.MaxSR, 65535);
  EXPECT_EQ(Parse({"/minsr=-5"}, start).options.MinSR, -5);
}

TEST(OptionParser, FormatLetters) {
  auto format = [](const std::string& token) { return Parse({token}).options; };
  EXPECT_EQ(format("/Format=i1").FormatCode, 4);
  Options i3 = format("/format=I3");
  EXPECT_EQ(i3.FormatCode, 6);
  EXPECT_TRUE(i3.AcceptedKinds.Contains(2));
  EXPECT_TRUE(i3.AcceptedKinds.Contains(3));
  EXPECT_EQ(format("/Format=xml").FormatCode, 2);
  EXPECT_EQ(format("/Format=d").FormatCode, 3);
  EXPECT_EQ(format("/Format=T").FormatCode, 7);
  Options k = format("/Format=k");
  EXPECT_EQ(k.FormatCode, 8);
  EXPECT_TRUE(k.AcceptedKinds.Contains(2));
  EXPECT_FALSE(format("/Format=i1").AcceptedKinds.Contains(2));

  Options start;
  start.FormatCode = 7;
  for (const char* bad : {"/Format=", "/Format=q", "/Format=i4"}) {
    Parsed p = Parse({bad}, start);
    EXPECT_EQ(p.options.FormatCode, 7) << bad;
    EXPECT_EQ(p.printed, std::vector<std::string>{std::string("Error in parameters - ") + bad});
  }
}

TEST(OptionParser, Proxies) {
  Parsed plain = Parse({"/Proxy=\tproxy.example\t:3128"});
  EXPECT_EQ(plain.options.ProxyHost, "proxy.example");
  EXPECT_EQ(plain.options.ProxyPort, 3128);

  Parsed noPort = Parse({"/proxy=host:"});
  EXPECT_EQ(noPort.options.ProxyHost, "host");
  EXPECT_EQ(noPort.options.ProxyPort, 0);

  Parsed noColon = Parse({"/Proxy=host"});
  EXPECT_EQ(noColon.printed, std::vector<std::string>{"Error in parameters - /Proxy=host"});
  EXPECT_EQ(noColon.options.ProxyHost, "");

  Parsed withUser = Parse({"/Proxya=user:secret@10.0.0.1:8080"});
  EXPECT_EQ(withUser.options.ProxyUser, "user");
  EXPECT_EQ(withUser.options.ProxyPassword, "secret");
  EXPECT_EQ(withUser.options.ProxyHost, "10.0.0.1");
  EXPECT_EQ(withUser.options.ProxyPort, 8080);

  // A plain proxy keeps earlier credentials.
  Options start;
  start.ProxyUser = "u";
  start.ProxyPassword = "p";
  Parsed kept = Parse({"/Proxy=h:1"}, start);
  EXPECT_EQ(kept.options.ProxyUser, "u");
  EXPECT_EQ(kept.options.ProxyPassword, "p");

  // No "@" after the user's ":" : the token and everything left of it is
  // dropped.
  Parsed broken = Parse({"/Ku-", "/PROXYA=user@host:8080"});
  EXPECT_EQ(broken.printed, std::vector<std::string>{"Error in parameters - /PROXYA=user@host:8080"});
  EXPECT_TRUE(broken.options.AcceptKu);
  EXPECT_EQ(broken.options.ProxyHost, "");
  // Neither "=" nor ":" : reported, the parsing goes on.
  Parsed missing = Parse({"/Ku-", "/Proxyauser"});
  EXPECT_FALSE(missing.options.AcceptKu);
  EXPECT_EQ(missing.printed.size(), 1u);

  std::string longHost(300, 'h');
  EXPECT_EQ(Parse({"/Proxy=" + longHost + ":1"}).options.ProxyHost.size(), 255u);
}

TEST(OptionParser, EmptyTokensEndTheParsing) {
  EXPECT_TRUE(Parse({"/Ku-", "", "/C-"}).options.AcceptKu);
  EXPECT_FALSE(Parse({"/Ku-", "", "/C-"}).options.AcceptC);
  // A trailing blank (as a list line may have) applies nothing.
  testing::MemoryRun memory;
  Options options;
  ParseOptions(memory.run, " /C- ", options);
  EXPECT_TRUE(options.AcceptC);
  // An argument with a blank counts as several tokens.
  Options split;
  ParseOptions(memory.run, " /Ku- /C-", split);
  EXPECT_FALSE(split.AcceptKu);
  EXPECT_FALSE(split.AcceptC);
}

TEST(OptionParser, UsageText) {
  std::ostringstream out;
  PrintUsage(out);
  std::vector<std::string> lines = testing::Lines(out.str());
  ASSERT_EQ(lines.size(), 68u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], "Usage1: kavrel [+]<html_file or filemask> [options]");
  EXPECT_EQ(lines[31], "    /Format=<i1|i2|i3|x|d|t|k> - Format of file(s) with transponders (INI,XML,DLL,TRP");
  EXPECT_EQ(lines[32], "     or Kathrein UFS 910 data files )");
  EXPECT_EQ(lines[42], "Examples :");
  for (size_t i = 53; i < 58; ++i) EXPECT_EQ(lines[i].rfind("    kavrel http://", 0), 0u) << i;
  EXPECT_NE(lines[56].find(":3128"), std::string::npos);
  EXPECT_NE(lines[57].find("/pos-23.5E.php /DVBS2+"), std::string::npos);
  EXPECT_EQ(lines[58], "Examples of list file");
  EXPECT_EQ(lines[67], "-8<-----------8<-------");
}

TEST(OptionParser, ProxyPasswordsEndAtTheLastAtAndAreNeverShown) {
  struct Case {
    std::string token;
    std::string user, password, host;  // empty host: refused
    int port;
    std::string shown;  // the echo of a refused token
  };
  const Case cases[] = {
      {"/Proxya=me:pa:ss@10.9.9.9:3128", "me", "pa:ss", "10.9.9.9", 3128, ""},
      {"/Proxya=me:p@ss@proxy.example:8080", "me", "p@ss", "proxy.example", 8080, ""},
      {"/Proxya=me:secret@:3128", "", "", "", 0, "/Proxya=me:***@:3128"},
      {"/Proxya=me:secret@proxy.example", "", "", "", 0, "/Proxya=me:***@proxy.example"},
      {"/Proxya=me:secret", "", "", "", 0, "/Proxya=me:***"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    Parsed parsed = Parse({c.token});
    EXPECT_EQ(parsed.options.ProxyUser, c.user);
    EXPECT_EQ(parsed.options.ProxyPassword, c.password);
    EXPECT_EQ(parsed.options.ProxyHost, c.host);
    EXPECT_EQ(parsed.options.ProxyPort, c.port);
    // A refused proxy option leaves the run without a way to fetch.
    EXPECT_EQ(parsed.options.ProxyRefused, c.host.empty());
    EXPECT_EQ(parsed.printed, c.shown.empty() ? std::vector<std::string>{}
                                              : std::vector<std::string>{"Error in parameters - " + c.shown});
  }
}

}  // namespace
}  // namespace kavrel
