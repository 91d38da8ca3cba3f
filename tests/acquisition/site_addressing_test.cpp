#include "acquisition/site_addressing.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/profile_file.h"
#include "support/scratch_dir.h"

namespace kavrel {
namespace {

TEST(SiteAddressing, TheShippedTemplateAddressesTodaysPages) {
  TIniFile shipped(std::string(KAVREL_SOURCE_DIR) + "/data/kavrel.ini");
  const std::tuple<SiteType, int32_t, std::string> pages[] = {
      {kSiteLyngSat, 130, "https://www.lyngsat.com/Hotbird-13F-13G.html"},
      {kSiteLyngSat, 1830, "https://www.lyngsat.com/NSS-9.html"},  // 177.0W
      {kSiteKingOfSat, 130, "https://en.kingofsat.tv/pos-13E.php"},
      {kSiteKingOfSat, 48, "https://en.kingofsat.tv/pos-4.8E.php"},
      {kSiteKingOfSat, 3592, "https://en.kingofsat.tv/pos-0.8W.php"},
      {kSiteKingOfSat, 282, "https://en.kingofsat.tv/pos-28.2E.php"},
  };
  for (const auto& [site, position, address] : pages) {
    EXPECT_EQ(FindSitePageAddress(shipped, site, position), address) << position;
  }
}

TEST(SiteAddressing, PlainKeyThenWestKey) {
  testing::ScratchDir dir;
  dir.Write("kavrel.ini",
            "[lyngsat]\n0130=http://l.example/hotbird.html\n-0300=http://l.example/west.html\n"
            "3300=http://l.example/plain3300.html\n-0200=http://l.example/only-west.html\n"
            "0000=http://l.example/zero.html\n"
            "[kingofsat]\n130=http://k.example/unpadded.php\n");
  TIniFile config(dir.At("kavrel.ini"));
  EXPECT_EQ(FindSitePageAddress(config, kSiteLyngSat, 130), "http://l.example/hotbird.html");
  EXPECT_EQ(FindSitePageAddress(config, kSiteLyngSat, 3300), "http://l.example/plain3300.html");
  EXPECT_EQ(FindSitePageAddress(config, kSiteLyngSat, 3400), "http://l.example/only-west.html");
  EXPECT_EQ(FindSitePageAddress(config, kSiteLyngSat, 0), "http://l.example/zero.html");
  EXPECT_EQ(FindSitePageAddress(config, kSiteLyngSat, 3299), "");
  EXPECT_EQ(FindSitePageAddress(config, kSiteKingOfSat, 130), "");  // keys keep their zeros
  EXPECT_EQ(FindSitePageAddress(config, kSiteNone, 130), "");
  EXPECT_EQ(FindSitePageAddress(config, kSiteFlySat, -1), "");
  TIniFile missing(dir.At("none.ini"));
  EXPECT_EQ(FindSitePageAddress(missing, kSiteLyngSat, 130), "");
}

TEST(SiteAddressing, LocalPageNames) {
  testing::ScratchDir dir;
  testing::CurrentDirectoryGuard cwd(dir.path());
  EXPECT_EQ(LocalPageName("http://www.satcodx.example/0130/usa/"), "index.htm");
  dir.Write("index.htm", "");
  EXPECT_EQ(LocalPageName("http://www.satcodx.example/0130/usa/"), "index(1).htm");
  EXPECT_EQ(LocalPageName("http://host"), "host");
  EXPECT_EQ(LocalPageName("http://t.example/television/freq-tab.pl?sat=30"), "freq-tab.htm");
  EXPECT_EQ(LocalPageName("http://l.example/hotbird.html"), "hotbird.html");
  EXPECT_EQ(LocalPageName("http://k.example/pos-23.5E.php"), "pos-23.5E.php");
  EXPECT_EQ(LocalPageName("http://k.example/page"), "page");
  EXPECT_EQ(LocalPageName("http://k.example/.."), "index(1).htm");
  EXPECT_LE(LocalPageName("http://k.example/" + std::string(1000, 'a') + ".php").size(), 200u);
}

}  // namespace
}  // namespace kavrel
