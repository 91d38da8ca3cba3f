#include "parsers/satcodx_parser.h"

#include <gtest/gtest.h>

#include "page_test_support.h"

namespace kavrel::testing {
namespace {

using Strings = std::vector<std::string>;

std::string Page(const std::string& name) { return PagePath("satcodx", name); }

TEST(SatcoDXParser, ReadsTheSimpleLayout) {
  MemoryRun memory;
  std::string path = Page("simple.html");
  EXPECT_EQ(ParseSatcoDXPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...",
                                            "Error: Freq 11766 symbolrate missing - record skiped!",
                                            "5 transponders loaded"}));
  // The row before the header goes nowhere, the row without a polarization
  // and the one in an unknown colour are left out.
  EXPECT_EQ(SatelliteSummary(memory), Strings{"130 Eutelsat Hot Bird 13B (5)"});
  EXPECT_EQ(Described(memory, 0), (Strings{
                                      "11727 V 27500 3/4 k1 m1 0/0",
                                      "11747 H 27500 2/3 k1 m1 0/0",
                                      "11785 H 27500 0/0 k1 m1 0/0",
                                      "11823 H 27500 7/8 k1 m1 0/0",
                                      "11842 V 27500 1/2 k1 m1 0/0",
                                  }));

  MemoryRun noData;
  noData.run.options.AcceptData = false;
  EXPECT_EQ(ParseSatcoDXPage(noData.run.sink, noData.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(noData.Satellite(0).Count(), 4);
}

TEST(SatcoDXParser, ReadsTheGroupedLayoutAndIgnoresItsChannelRows) {
  MemoryRun memory;
  std::string path = Page("grouped.html");
  EXPECT_EQ(ParseSatcoDXPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...",
                                            "Error: Freq 11259 symbolrate missing - record skipped!",
                                            "4 transponders loaded"}));
  // The simple row before the first grouped one counts; the one after it
  // is taken for a channel row.
  EXPECT_EQ(Described(memory, 0), (Strings{
                                      "10714 H 22000 5/6 k1 m1 0/0",
                                      "11229 V 22000 2/3 k1 m1 1/1026",
                                      "11244 H 22000 5/6 k1 m1 1/1027",
                                      "11288 V 22000 3/4 k1 m1 1/0",
                                  }));

  MemoryRun noData;
  noData.run.options.AcceptData = false;
  EXPECT_EQ(ParseSatcoDXPage(noData.run.sink, noData.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(noData.Satellite(0).Count(), 3);
}

TEST(SatcoDXParser, EachHeaderSwitchesTheSatellite) {
  MemoryRun memory;
  std::string path = Page("several.html");
  EXPECT_EQ(ParseSatcoDXPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...", "2 transponders loaded"}));
  EXPECT_EQ(SatelliteSummary(memory),
            (Strings{"130 Eutelsat Hot Bird 13B (1)", "180 Intelsat 901 (2)"}));
  EXPECT_EQ(Described(memory, 1), (Strings{"3875 R 5000 3/4 k1 m1 0/0", "3915 L 5000 3/4 k1 m1 0/0"}));
}

TEST(SatcoDXParser, MalformedHeadersAndFrequenciesAbandonThePage) {
  struct Case {
    std::string page;
    Strings satellites;
  };
  const Case cases[] = {
      {"abandon-no-title.html", {}},
      {"abandon-no-paren.html", {}},
      {"abandon-no-separator.html", {}},
      {"abandon-no-dot.html", {}},
      {"abandon-west.html", {}},  // "27.5W" is not a number here
      {"abandon-frequency.html", {"192 Astra 1KR (1)"}},
      {"abandon-grouped-frequency.html", {"192 Astra 1KR (1)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    MemoryRun memory;
    std::string path = Page(c.page);
    EXPECT_EQ(ParseSatcoDXPage(memory.run.sink, memory.Source(path)), ProducerResult::kAbandoned);
    EXPECT_EQ(memory.PrintedLines(), Strings{"Processing " + path + "..."});
    EXPECT_EQ(SatelliteSummary(memory), c.satellites);
  }
}

}  // namespace
}  // namespace kavrel::testing
