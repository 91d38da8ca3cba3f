#include "app/configuration.h"

#include <gtest/gtest.h>

#include "formats/format_table.h"
#include "platform/fatal_error.h"
#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

Options DefaultRunOptions() {
  Options o;
  DefaultOptions(o);
  o.FormatCode = kFormatIni1;
  return o;
}

TEST(Configuration, MissingFileOrKeysKeepTheDefaults) {
  ScratchDir dir;
  MemoryRun m;
  m.run.input.ConfigPath = dir.At("kavrel.ini");
  LoadConfiguration(m.run);
  EXPECT_EQ(m.run.options, DefaultRunOptions());
  EXPECT_FALSE(dir.Exists("kavrel.ini"));

  dir.Write("kavrel.ini", "[lyngsat]\n0130=http://x/\n[Other]\nAcceptKu=off\n");
  LoadConfiguration(m.run);
  EXPECT_EQ(m.run.options, DefaultRunOptions());
}

TEST(Configuration, ValuesOfOtherFormsFallBack) {
  ScratchDir dir;
  dir.Write("kavrel.ini",
            "[common]\n"
            "AcceptKu=On\nAcceptC=ON\nAcceptLinear=\nacceptdvbs2 = on\nAcceptDSS=on\n"
            "AcceptData=off\nKeepHTML=on\nAddProvidersInfo=on\nConvertPolararization=on\n"
            "MaxSR=0x2710\nMinSR=abc\nProxyPort=-8\nSaveFormat=XML\n"
            "ProxyHost=" + std::string(300, 'h') + "\nProxyUser=u\nProxyPassword= p w \n"
            "PageDelay=999999\nMaxPageSize=12\nPageDeadline=abc\nUserAgent= me/1 \n");
  MemoryRun m;
  m.run.input.ConfigPath = dir.At("kavrel.ini");
  LoadConfiguration(m.run);
  const Options& o = m.run.options;
  EXPECT_FALSE(o.AcceptKu);
  EXPECT_FALSE(o.AcceptC);
  EXPECT_FALSE(o.AcceptLinear);
  EXPECT_TRUE(o.AcceptCircular);
  EXPECT_EQ(o.AcceptedKinds, (KindSet{kKindDvbS, kKindDvbS2, kKindDss}));
  EXPECT_FALSE(o.AcceptData);
  EXPECT_TRUE(o.KeepHTML);
  EXPECT_TRUE(m.run.ProvidersInfo);
  EXPECT_TRUE(o.ConvCircular);
  EXPECT_EQ(o.MaxSR, 10000);
  EXPECT_EQ(o.MinSR, 0);
  EXPECT_EQ(o.ProxyPort, -8);
  EXPECT_EQ(o.FormatCode, kFormatIni1);
  EXPECT_EQ(o.ProxyHost, std::string(255, 'h'));
  EXPECT_EQ(o.ProxyPassword, "p w");
  // The download settings are kept within their bounds.
  EXPECT_EQ(m.run.input.PageDelayMs, 600000);
  EXPECT_EQ(m.run.input.MaxPageSize, 1024);
  EXPECT_EQ(m.run.input.PageDeadlineSeconds, kDefaultPageDeadlineSeconds);
  EXPECT_EQ(m.run.input.UserAgent, "me/1");

  // "off" removes a kind that was in the set before.
  dir.Write("kavrel.ini", "[Common]\nAcceptDVBS2=off\nSaveFormat=kat\n");
  m.run.options.AcceptedKinds.Add(kKindDvbS2);
  LoadConfiguration(m.run);
  EXPECT_EQ(m.run.options.AcceptedKinds, KindSet{kKindDvbS});
  EXPECT_EQ(m.run.options.FormatCode, kFormatKathrein);
}

TEST(Configuration, SavesNineteenKeysAndKeepsTheRest) {
  ScratchDir dir;
  dir.Write("kavrel.ini",
            "; my settings\n[COMMON]\nSaveFormat=ini1\nMyOwnKey=1\nkeephtml=on\nPageDeadline=30\n"
            "[lyngsat]\n0130=http://example/130.html\n");
  MemoryRun m;
  m.run.input.ConfigPath = dir.At("kavrel.ini");
  m.run.options = DefaultRunOptions();
  m.run.options.FormatCode = kFormatKathrein;
  m.run.options.AcceptedKinds.Add(kKindDvbS2);
  m.run.options.AcceptC = false;
  m.run.options.MinSR = 2000;
  m.run.options.SaveConfig = true;
  m.run.options.ProxyHost = "proxy\r\n[lyngsat]";
  m.run.options.ProxyPort = 3128;
  m.run.ProvidersInfo = true;
  SaveConfiguration(m.run);
  EXPECT_EQ(dir.Read("kavrel.ini"),
            "; my settings\n[COMMON]\nSaveFormat=kat\nMyOwnKey=1\nKeepHTML=off\nPageDeadline=30\n"
            "AcceptDVBS2=on\nAcceptDSS=off\nAcceptData=on\nAcceptFeeds=on\n"
            "ConvertPolararization=off\nConvertCBand=off\nAcceptKu=on\nAcceptC=off\n"
            "AcceptLinear=on\nAcceptCircular=on\nMinSR=2000\nMaxSR=65535\n"
            "AddProvidersInfo=on\nProxyHost=proxy[lyngsat]\nProxyPort=3128\nProxyUser=\n"
            "ProxyPassword=\n"
            "[lyngsat]\n0130=http://example/130.html\n");

  // What was saved loads back, all but SaveConfig.
  MemoryRun next;
  next.run.input.ConfigPath = m.run.input.ConfigPath;
  next.run.options = DefaultRunOptions();
  LoadConfiguration(next.run);
  Options expected = m.run.options;
  expected.SaveConfig = false;
  expected.ProxyHost = "proxy[lyngsat]";
  EXPECT_EQ(next.run.options, expected);
  EXPECT_TRUE(next.run.ProvidersInfo);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"kavrel.ini"});
}

TEST(Configuration, RefusedWriteEndsTheRunAndKeepsTheOldFile) {
  ScratchDir dir;
  MemoryRun m;
  m.run.input.ConfigPath = dir.At("missing/kavrel.ini");
  try {
    SaveConfiguration(m.run);
    FAIL() << "no error";
  } catch (const FatalError& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + dir.At("missing/kavrel.ini"));
  }

  // A name that fits the directory while the temporary name beside it
  // does not: the replacement fails after the old file was read.
  std::string name = std::string(245, 'k') + ".ini";
  dir.Write(name, "[Common]\nAcceptKu=off\n");
  m.run.input.ConfigPath = dir.At(name);
  EXPECT_THROW(SaveConfiguration(m.run), FatalError);
  EXPECT_EQ(dir.Read(name), "[Common]\nAcceptKu=off\n");
  EXPECT_EQ(dir.Names(), std::vector<std::string>{name});
}

TEST(Configuration, EveryFormatHasItsSaveFormatName) {
  const std::pair<uint8_t, std::string_view> names[] = {
      {kFormatIni1, "ini1"}, {kFormatIni2, "ini2"}, {kFormatIni3, "ini3"}, {kFormatXml, "xml"},
      {kFormatDll, "dll"},   {kFormatTrp, "trp"},   {kFormatKathrein, "kat"}};
  for (auto [code, name] : names) {
    ASSERT_NE(FindOutputFormat(code), nullptr) << name;
    EXPECT_EQ(FindOutputFormat(code)->configName, name);
    EXPECT_EQ(FormatOfConfigName(name), FindOutputFormat(code));
  }
}

}  // namespace
}  // namespace kavrel::testing
