#include "parsers/lyngsat_parser.h"

#include <gtest/gtest.h>

#include "page_test_support.h"

namespace kavrel::testing {
namespace {

using Strings = std::vector<std::string>;

std::string Page(const std::string& name) { return PagePath("lyngsat", name); }

TEST(LyngSatParser, ReadsEveryRowColourAndSystemOfAPage) {
  MemoryRun memory;
  std::string path = Page("normal.html");
  EXPECT_EQ(ParseLyngSatPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...", "5 transponders loaded"}));
  // The row before the header went nowhere; white rows, unknown systems,
  // a missing polarization and (by default) DVB-S2 and DSS are left out.
  EXPECT_EQ(SatelliteSummary(memory), Strings{"192 Astra 1KR (5)"});
  EXPECT_EQ(Described(memory, 0), (Strings{
                                      "11229 V 22000 2/3 k1 m1 1/1026 Canal+",
                                      "11258 H 22000 5/6 k1 m1 1/1028 Data Link",
                                      "11273 V 22000 3/4 k1 m1 1/1029 News Feed",
                                      "11288 V 27500 0/0 k1 m1 1/1030 Radio One",
                                      "11303 H 27500 7/8 k1 m1 0/0 Free TV",
                                  }));
}

TEST(LyngSatParser, DataAndFeedRowsFollowTheirOptions) {
  MemoryRun memory;
  memory.run.options.AcceptData = false;
  memory.run.options.AcceptFeeds = false;
  memory.run.options.AcceptedKinds.Add(kKindDvbS2);
  memory.run.options.AcceptedKinds.Add(kKindDss);
  EXPECT_EQ(ParseLyngSatPage(memory.run.sink, memory.Source(Page("normal.html"))), ProducerResult::kRead);
  EXPECT_EQ(Described(memory, 0), (Strings{
                                      "11229 V 22000 2/3 k1 m1 1/1026 Canal+",
                                      "11243 H 22000 3/4 k2 m2 1/1027 Sky",
                                      "11288 V 27500 0/0 k1 m1 1/1030 Radio One",
                                      "11303 H 27500 7/8 k1 m1 0/0 Free TV",
                                      "11332 H 27500 3/4 k3 m1 1/1033 Both Marks",
                                  }));

  MemoryRun dataOnly;
  dataOnly.run.options.AcceptFeeds = false;
  EXPECT_EQ(ParseLyngSatPage(dataOnly.run.sink, dataOnly.Source(Page("normal.html"))), ProducerResult::kRead);
  EXPECT_EQ(dataOnly.Satellite(0).Count(), 4);
}

TEST(LyngSatParser, EachHeaderSwitchesTheSatellite) {
  MemoryRun memory;
  std::string path = Page("several.html");
  EXPECT_EQ(ParseLyngSatPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  // Only the last satellite is counted; "w" in lower case is not West.
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...", "1 transponders loaded"}));
  EXPECT_EQ(SatelliteSummary(memory),
            (Strings{"130 Hot Bird 13C (2)", "3325 Intelsat 907 (1)", "70 Nilesat 201 (1)"}));
  EXPECT_EQ(Described(memory, 1), Strings{"11495 V 2170 3/4 k1 m1 0/0 Example TV"});
}

TEST(LyngSatParser, MalformedHeadersAndRowsAbandonThePage) {
  struct Case {
    std::string page;
    Strings satellites;  // what stays for the caller to discard
  };
  const Case cases[] = {
      {"abandon-header-no-at.html", {}},
      {"abandon-header-no-degree.html", {}},
      {"abandon-header-no-dot.html", {}},
      {"abandon-header-not-number.html", {}},
      {"abandon-no-blank.html", {"192 Astra 1KR (1)"}},
      {"abandon-no-dash.html", {"192 Astra 1KR (1)"}},
      {"abandon-rate-zero.html", {"192 Astra 1KR (1)"}},
      {"abandon-frequency-zero.html", {"192 Astra 1KR (1)"}},
      // Only blanks go before the frequency: a tab leaves no number.
      {"abandon-frequency-tab.html", {"192 Astra 1KR (1)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    MemoryRun memory;
    std::string path = Page(c.page);
    EXPECT_EQ(ParseLyngSatPage(memory.run.sink, memory.Source(path)), ProducerResult::kAbandoned);
    // No count line, and no satellite is dropped by the parser itself.
    EXPECT_EQ(memory.PrintedLines(), Strings{"Processing " + path + "..."});
    EXPECT_EQ(SatelliteSummary(memory), c.satellites);
  }
}

TEST(LyngSatParser, RowsBeforeTheHeaderDoNotGoToAnEarlierSatellite) {
  MemoryRun memory;
  memory.run.sink.FindOrAddSatellite("Earlier", 100);
  EXPECT_EQ(ParseLyngSatPage(memory.run.sink, memory.Source(Page("normal.html"))), ProducerResult::kRead);
  EXPECT_EQ(SatelliteSummary(memory), (Strings{"100 Earlier (0)", "192 Astra 1KR (5)"}));
}

}  // namespace
}  // namespace kavrel::testing
