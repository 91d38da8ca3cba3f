#include "parsers/telesputnik_parser.h"

#include <gtest/gtest.h>

#include "page_test_support.h"

namespace kavrel::testing {
namespace {

using Strings = std::vector<std::string>;

std::string Page(const std::string& name) { return PagePath("telesputnik", name); }

TEST(TelesputnikParser, ReadsRowsAndTransliteratesNames) {
  MemoryRun memory;
  std::string path = Page("normal.html");
  EXPECT_EQ(ParseTelesputnikPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...", "5 transponders loaded"}));
  // Left out: the row before the header, a RADIO row, cells written "<td>",
  // a frequency without comma (0 MHz) and a row without polarization. A
  // commented-out row counts.
  EXPECT_EQ(SatelliteSummary(memory), Strings{"900 Yamal 201 (5)"});
  EXPECT_EQ(Described(memory, 0), (Strings{
                                      "11727 V 27500 3/4 k1 m1 0/0 NTV+",
                                      "11747 H 27500 2/3 k1 m1 0/0 Pervyj kanal",
                                      "11766 V 20000 5/6 k1 m1 0/0 Telekom Dannye",
                                      "11804 V 27500 7/8 k1 m1 0/0 Zakrytyj",
                                      "11861 H 30000 0/0 k1 m1 0/0 Schuka yozh Yolka",
                                  }));

  MemoryRun noData;
  noData.run.options.AcceptData = false;
  EXPECT_EQ(ParseTelesputnikPage(noData.run.sink, noData.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(noData.Satellite(0).Count(), 4);
}

TEST(TelesputnikParser, HeadersNeedTheDoubleBlankAndTheDegreeSign) {
  MemoryRun memory;
  std::string path = Page("several.html");
  EXPECT_EQ(ParseTelesputnikPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...", "1 transponders loaded"}));
  // West by its Cyrillic abbreviation; the two incomplete headers leave
  // their rows with the satellite before them.
  EXPECT_EQ(SatelliteSummary(memory), (Strings{"3490 Ekspress AM44 (3)", "400 Ekspress AM7 (1)"}));
  EXPECT_EQ(Described(memory, 1), Strings{"3875 R 4340 3/4 k1 m1 0/0 Vostok"});

  MemoryRun none;
  path = Page("no-position.html");
  EXPECT_EQ(ParseTelesputnikPage(none.run.sink, none.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(none.PrintedLines(), Strings{"Processing " + path + "..."});
  EXPECT_TRUE(none.run.catalogue.Satellites().empty());
}

}  // namespace
}  // namespace kavrel::testing
