#include "parsers/kingofsat_parser.h"

#include <gtest/gtest.h>

#include "catalogue/admission.h"
#include "page_test_support.h"

namespace kavrel::testing {
namespace {

using Strings = std::vector<std::string>;

std::string Page(const std::string& name) { return PagePath("kingofsat", name); }

TEST(KingOfSatParser, ReadsRowLinesAndSkipsMalformedOnes) {
  MemoryRun memory;
  memory.run.options.AcceptedKinds.Add(kKindDvbS2);
  std::string path = Page("normal.html");
  EXPECT_EQ(ParseKingOfSatPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...", "4 transponders loaded"}));
  // The row before the title, rows without ids separator, FEC or ") - ",
  // unknown systems, unreadable frequencies and a blank polarization are
  // skipped; an unknown modulation is kept as 0.
  EXPECT_EQ(SatelliteSummary(memory), Strings{"160 Eutelsat 16A (4)"});
  EXPECT_EQ(Described(memory, 0), (Strings{
                                      "11727 V 27500 3/4 k1 m1 1/1070",
                                      "11747 H 30000 2/3 k2 m2 1/1071",
                                      "11785 H 27500 5/6 k1 m1 0/0",
                                      "11804 V 22000 7/8 k1 m0 70/2",
                                  }));
}

TEST(KingOfSatParser, TitlesInEverySpellingSwitchTheSatellite) {
  MemoryRun memory;
  std::string path = Page("several.html");
  EXPECT_EQ(ParseKingOfSatPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...", "3 transponders loaded"}));
  // "30,0&deg;W" and "4.0&deg;w" are West, "40&deg;E" has no decimal mark;
  // a title without a position leaves the satellite as it was.
  EXPECT_EQ(SatelliteSummary(memory),
            (Strings{"3300 Intelsat 901 (1)", "3560 Amos 3 (1)", "400 Express AM7 (3)"}));
  EXPECT_EQ(Described(memory, 0), Strings{"11475 V 5000 3/4 k1 m1 2/9"});
}

TEST(KingOfSatParser, ATitleWithoutPositionSelectsNothing) {
  MemoryRun memory;
  memory.run.sink.FindOrAddSatellite("Earlier", 100);
  OfferedTransponder earlier;
  earlier.Frequency = 10700;
  earlier.Polarization = 'H';
  earlier.SymbolRate = 27500;
  earlier.SystemKind = kKindDvbS;
  memory.run.sink.AddTransponder(earlier);
  std::string path = Page("no-position.html");
  EXPECT_EQ(ParseKingOfSatPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), Strings{"Processing " + path + "..."});
  EXPECT_EQ(SatelliteSummary(memory), Strings{"100 Earlier (1)"});
}

}  // namespace
}  // namespace kavrel::testing
