#include <gtest/gtest.h>

#include "acquisition/input_dispatch.h"
#include "parsers/page_test_support.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

using Strings = std::vector<std::string>;

TEST(PageDispatch, TheFirstLineThatNamesASiteDecides) {
  ScratchDir dir;
  auto detect = [&dir](const std::string& text) {
    dir.Write("page", text);
    return DetectPageSite(ReadFile(dir.At("page")));
  };
  EXPECT_EQ(DetectPageSite(ReadFile(dir.At("missing"))), kSiteNone);
  EXPECT_EQ(detect(""), kSiteNone);
  EXPECT_EQ(detect("<html>\nnothing here\n"), kSiteNone);
  EXPECT_EQ(detect("<title>FlySat</title>\r\n<a href=lyngsat.com>\n"), kSiteFlySat);
  EXPECT_EQ(detect("x\nKingOfSat and LyngSat\n"), kSiteLyngSat);
  EXPECT_EQ(detect("kingofsat telesputnik satcodx\n"), kSiteSatcoDX);
  EXPECT_EQ(detect("www.TeleSputnik.ru flysat"), kSiteTelesputnik);
  EXPECT_EQ(detect("\n\nen.kingofsat.net"), kSiteKingOfSat);
}

// Copies fixture pages into a directory under new names.
void Install(const ScratchDir& dir, const std::vector<std::pair<std::string, std::string>>& pages) {
  for (const auto& [name, fixture] : pages) dir.Write(name, ReadFile(TestDataPath("pages/" + fixture)));
}

TEST(PageDispatch, LocalPagesOfEverySiteGoToTheirParser) {
  ScratchDir dir;
  Install(dir, {{"a.html", "lyngsat/normal.html"},
                {"b.htm", "kingofsat/several.html"},
                {"c", "flysat/several.html"},
                {"d.page", "satcodx/several.html"},
                {"e.txt", "telesputnik/several.html"}});
  dir.Write("f.html", "<html>a page of no known site is left alone</html>\n");
  MemoryRun memory;
  ProcessInput(memory.run.input, dir.path() + "/*");
  std::string prefix = dir.path() + "/";
  EXPECT_EQ(memory.PrintedLines(),
            (Strings{"Processing " + prefix + "a.html...", "5 transponders loaded",
                     "Processing " + prefix + "b.htm...", "3 transponders loaded",
                     "Processing " + prefix + "c...", "1 transponders loaded",
                     "Processing " + prefix + "d.page...", "2 transponders loaded",
                     "Processing " + prefix + "e.txt...", "1 transponders loaded"}));
  // Positions that come again replace the earlier page's list.
  EXPECT_EQ(SatelliteSummary(memory),
            (Strings{"192 Astra 1KR (5)", "3300 Intelsat 901 (2)", "3560 Amos 3 (1)",
                     "400 Ekspress AM7 (1)", "40 Amos 3 (1)", "130 Eutelsat Hot Bird 13B (1)",
                     "180 Intelsat 901 (2)", "3490 Ekspress AM44 (3)"}));
}

TEST(PageDispatch, AFailedPageDiscardsOnlyTheSatelliteItWasFilling) {
  ScratchDir dir;
  Install(dir, {{"1.html", "kingofsat/several.html"},           // 3300, 3560, 400
                {"2.html", "lyngsat/abandon-header-no-at.html"},  // gives up before any satellite
                {"3.html", "lyngsat/abandon-rate-zero.html"},     // appends 192, then gives up
                {"4.html", "lyngsat/normal.html"},                // 192 again
                {"5.html", "flysat/several.html"},                // 3300 (replaced) and 40
                {"6.html", "satcodx/abandon-frequency.html"}});   // selects 192, then gives up
  MemoryRun memory;
  ProcessInput(memory.run.input, dir.path() + "/*.html");
  std::string prefix = dir.path() + "/";
  EXPECT_EQ(memory.PrintedLines(),
            (Strings{"Processing " + prefix + "1.html...", "3 transponders loaded",
                     "Processing " + prefix + "2.html...", "Error while parsing HTML data",
                     "Processing " + prefix + "3.html...", "Error while parsing HTML data",
                     "Processing " + prefix + "4.html...", "5 transponders loaded",
                     "Processing " + prefix + "5.html...", "1 transponders loaded",
                     "Processing " + prefix + "6.html...", "Error while parsing HTML data"}));
  // The satellite of 6.html is 192, not the last one (40), which stays.
  EXPECT_EQ(SatelliteSummary(memory), (Strings{"3300 Intelsat 901 (2)", "3560 Amos 3 (1)",
                                               "400 Express AM7 (3)", "40 Amos 3 (1)"}));
  EXPECT_EQ(memory.run.sink.Current(), nullptr);
}

}  // namespace
}  // namespace kavrel::testing
