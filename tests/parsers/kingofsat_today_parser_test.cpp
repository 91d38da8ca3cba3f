#include "parsers/kingofsat_today_parser.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "page_test_support.h"

namespace kavrel::testing {
namespace {

using Strings = std::vector<std::string>;

std::string Page(const std::string& name) { return PagePath("kingofsat", name); }

TEST(KingOfSatTodayParser, RecognizesTodaysMarkupAndNeverTheOldOne) {
  Strings oldPages = {std::string(KAVREL_SOURCE_DIR) + "/examples/kingofsat-sample.html"};
  for (const auto& entry : std::filesystem::directory_iterator(Page(""))) {
    if (entry.path().filename() != "today.html") oldPages.push_back(entry.path().string());
  }
  ASSERT_GE(oldPages.size(), 4u);
  for (const std::string& path : oldPages) {
    std::string bytes = ReadFile(path);
    ASSERT_FALSE(bytes.empty()) << path;
    EXPECT_FALSE(IsTodaysKingOfSatPage(bytes)) << path;
  }
  EXPECT_TRUE(IsTodaysKingOfSatPage(ReadFile(Page("today.html"))));
}

// One transponder table of today's markup with the given position and
// satellite cells and a 13-cell row around them.
std::string Table(const std::string& position, const std::string& satellite,
                  const std::string& frequency) {
  return "<table class=\"frq\"><tr><td class=\"pos\">" + position +
         "</td><td><span class=\"nbc\">4</span><a>" + satellite + "</a></td><td>" + frequency +
         "</td><td>H</td><td><a href=\"tp.php?tp=1\">9</a></td><td>Europe</td><td>DVB-S</td>"
         "<td>QPSK</td><td><a>27500</a> <a>3/4</a></td><td>x, 1.0 Mb/s</td><td>70</td><td>8</td>"
         "<td></td></tr></table>\n<table class=\"fl\"><tr><td>Channel</td></tr></table>\n";
}

struct PageCase {
  std::string label;
  std::string bytes;  // empty: the fixture page
  bool acceptFeeds;
  Strings endings;  // what is printed after "Processing ..."
  Strings satellites;
  Strings transponders;  // of the first satellite
};

TEST(KingOfSatTodayParser, ReadsEachTransponderTableByWhatItsCellsHold) {
  const Strings fixture = {
      "10729 V 22000 5/6 k1 m1 1/2",   // 13 cells, a bare transponder number before the rate
      "10795 H 27500 3/4 k2 m2 1/3 +500kHz",  // 12 cells, rate and FEC apart
      "11015 V 36000 9/10 k2 m3 1/4",         // DVB-S2X, 16APSK
      "11096 H 30000 2/3 k2 m2 1/5 is5 pls1:16416",  // two streams of one frequency
      "11096 H 29950 3/5 k2 m2 1/6 is6 pls1:16416",
      "11200 V 7200 3/4 k1 m1 1/7",           // the feed
      "12015 L 5000 2/3 k2 m2 9/10 plp0",     // T2-MI marker, no network text
      "12100 R 20000 6/7 k3 m1 65535/65535",
  };
  Strings withoutFeed = fixture;
  withoutFeed.erase(withoutFeed.begin() + 5);
  const std::vector<PageCase> cases = {
      // The title names the satellites and the position; ISDB-S is skipped.
      {"fixture",
       "",
       true,
       {"8 transponders loaded"},
       {"3300 Hispasat 30W-5 / Hispasat 30W-6 (8)"},
       fixture},
      {"fixture /Feeds-",
       "",
       false,
       {"7 transponders loaded"},
       {"3300 Hispasat 30W-5 / Hispasat 30W-6 (7)"},
       withoutFeed},
      // Without a title position the rows' cells name the satellite, once
      // per position.
      {"rows name it",
       "<title>KingOfSat</title>" + Table("28.2&deg;E", "Astra 2E", "10773.00") +
           Table("28.2&deg;E", "Astra 2F", "10788.00") + Table("4&deg; w", "Amos 3", "11139.00"),
       true,
       {"1 transponders loaded"},
       {"282 Astra 2E (2)", "3560 Amos 3 (1)"},
       {"10773 H 27500 3/4 k1 m1 70/8", "10788 H 27500 3/4 k1 m1 70/8"}},
      // Tables before any position go nowhere; a frequency needs two decimals.
      {"no position",
       Table("", "Astra 2E", "10773.00") + Table("28.2", "Astra 2E", "10773.00"),
       true,
       {},
       {},
       {}},
      {"unreadable frequencies",
       "<title>Sat (19.2&deg;E)</title>" + Table("", "", "10773.0") + Table("", "", "10773") +
           Table("", "", "1a773.00") + Table("", "", "10773.00") + "<table class=\"frq\"><td>",
       true,
       {"1 transponders loaded"},
       {"192 Sat (1)"},
       {"10773 H 27500 3/4 k1 m1 70/8"}},
  };
  const std::string fixturePath = Page("today.html");
  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.label);
    MemoryRun memory;
    memory.run.options.AcceptedKinds = KindSet{kKindDvbS, kKindDvbS2, kKindDss};
    memory.run.options.AcceptFeeds = c.acceptFeeds;
    SourceText source = c.bytes.empty() ? memory.Source(fixturePath) : SourceText{"page", c.bytes};
    EXPECT_EQ(ParseTodaysKingOfSatPage(memory.run.sink, source), ProducerResult::kRead);
    Strings printed = memory.PrintedLines();
    ASSERT_FALSE(printed.empty());
    EXPECT_EQ(printed[0], "Processing " + std::string(source.name) + "...");
    EXPECT_EQ(Strings(printed.begin() + 1, printed.end()), c.endings);
    EXPECT_EQ(SatelliteSummary(memory), c.satellites);
    if (!c.transponders.empty()) {
      EXPECT_EQ(Described(memory, 0), c.transponders);
    }
  }
}

}  // namespace
}  // namespace kavrel::testing
