#include "parsers/flysat_parser.h"

#include <gtest/gtest.h>

#include "page_test_support.h"

namespace kavrel::testing {
namespace {

using Strings = std::vector<std::string>;

std::string Page(const std::string& name) { return PagePath("flysat", name); }

TEST(FlySatParser, ReadsRowsByTheirProvidersColour) {
  MemoryRun memory;
  std::string path = Page("normal.html");
  EXPECT_EQ(ParseFlySatPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...", "5 transponders loaded"}));
  EXPECT_EQ(SatelliteSummary(memory), Strings{"130 Hot Bird 13C (5)"});
  // Providers split over two lines are joined; "&nbsp;" means none.
  EXPECT_EQ(Described(memory, 0), (Strings{
                                      "11034 V 27500 3/4 k1 m1 0/0 Canal+",
                                      "11094 H 27500 3/4 k1 m1 0/0 Data Link",
                                      "11113 V 27500 3/4 k1 m1 0/0 News Feed",
                                      "11132 H 27500 7/8 k1 m1 0/0 Free TV",
                                      "11151 V 27500 0/0 k1 m1 0/0",
                                  }));
}

TEST(FlySatParser, GatesAndSystemsFollowTheOptions) {
  MemoryRun memory;
  memory.run.options.AcceptData = false;
  memory.run.options.AcceptFeeds = false;
  memory.run.options.AcceptedKinds.Add(kKindDvbS2);
  // A row without a system text is offered as kind 0; admission decides.
  memory.run.options.AcceptedKinds.Add(0);
  EXPECT_EQ(ParseFlySatPage(memory.run.sink, memory.Source(Page("normal.html"))), ProducerResult::kRead);
  EXPECT_EQ(Described(memory, 0), (Strings{
                                      "11034 V 27500 3/4 k1 m1 0/0 Canal+",
                                      "11054 H 29900 2/3 k2 m2 0/0 Sky",
                                      "11132 H 27500 7/8 k1 m1 0/0 Free TV",
                                      "11151 V 27500 0/0 k1 m1 0/0",
                                      "11170 H 27500 3/4 k0 m0 0/0 No System",
                                  }));
}

TEST(FlySatParser, HeadersSwitchTheSatelliteOnlyWithAPosition) {
  MemoryRun memory;
  std::string path = Page("several.html");
  EXPECT_EQ(ParseFlySatPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...", "1 transponders loaded"}));
  // "unknown" has no blank: its row stays with the West satellite before
  // it; "west" in lower case is not West.
  EXPECT_EQ(SatelliteSummary(memory), (Strings{"3300 Intelsat 901 (2)", "40 Amos 3 (1)"}));

  MemoryRun zero;
  path = Page("position-zero.html");
  EXPECT_EQ(ParseFlySatPage(zero.run.sink, zero.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(zero.PrintedLines(), (Strings{"Processing " + path + "...", "0 transponders loaded"}));
  EXPECT_TRUE(zero.run.catalogue.Satellites().empty());
}

}  // namespace
}  // namespace kavrel::testing
