#include "parsers/lyngsat_today_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "page_test_support.h"

namespace kavrel::testing {
namespace {

using Strings = std::vector<std::string>;

std::string Page(const std::string& name) { return PagePath("lyngsat", name); }

// A page of the current markup made of a title and one transponder row.
std::string TodaysPage(const std::string& title, const std::string& frequencyCell = "11747&nbsp;V") {
  return "<html><head><title>" + title +
         "</title></head>\n<table>\n<tr>\n<td>&nbsp;</td>\n"
         "<td align=\"center\"><font face=\"Verdana\"><font size=2><b>" +
         frequencyCell +
         "</b><br></font></td>\n<td></td>\n<td bgcolor=\"#ffcc99\">Example</td>\n<td></td>\n"
         "<td><font size=2>DVB-S</font></td>\n<td colspan=2>27500-3/4<br></td>\n<td>1-2</td>\n"
         "<td>x</td>\n</tr>\n</table>\n";
}

TEST(LyngSatTodayParser, TellsTheCurrentMarkupFromTheOldOne) {
  Strings oldPages;
  for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("pages/lyngsat"))) {
    std::string name = entry.path().filename().string();
    if (name.starts_with("today")) {
      EXPECT_TRUE(IsTodaysLyngSatPage(ReadFile(entry.path().string()))) << name;
    } else if (name != "unreadable.html") {
      oldPages.push_back(entry.path().string());
    }
  }
  oldPages.push_back(std::string(KAVREL_SOURCE_DIR) + "/examples/lyngsat-sample.html");
  ASSERT_GE(oldPages.size(), 12u);
  for (const std::string& path : oldPages) {
    SCOPED_TRACE(path);
    std::string bytes = ReadFile(path);
    ASSERT_FALSE(bytes.empty());
    EXPECT_FALSE(IsTodaysLyngSatPage(bytes));
  }
  EXPECT_TRUE(IsTodaysLyngSatPage(ReadFile(Page("today.html"))));
  // The title alone or the row alone is not enough.
  EXPECT_TRUE(IsTodaysLyngSatPage(TodaysPage("Sat at 1.0\xB0W - LyngSat")));
  EXPECT_FALSE(IsTodaysLyngSatPage(TodaysPage("Sat at 1.0\xB0W - LyngSat sample page")));
  std::string oldRows = TodaysPage("Sat at 1.0\xB0W - LyngSat");
  oldRows.replace(oldRows.find("<font face=\"Verdana\"><font size=2>"), 34,
                  "<font face=\"Verdana\" size=2>");
  EXPECT_FALSE(IsTodaysLyngSatPage(oldRows));
}

TEST(LyngSatTodayParser, ReadsEveryKindOfRowOfAPage) {
  MemoryRun memory;
  memory.run.options.AcceptedKinds = KindSet{kKindDvbS, kKindDvbS2, kKindDss};
  std::string path = Page("today.html");
  EXPECT_EQ(ParseTodaysLyngSatPage(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
  EXPECT_EQ(memory.PrintedLines(), (Strings{"Processing " + path + "...", "10 transponders loaded"}));
  // Left out: the "Ku" heading, a channel row, ISDB and Digicipher 2 rows.
  EXPECT_EQ(SatelliteSummary(memory), Strings{"3300 Hispasat 30W-5 (10)"});
  EXPECT_EQ(Described(memory, 0), (Strings{
                                      "3880 L 3000 1/2 k1 m1 0/0 C Band Radio",
                                      "10719 V 27500 3/4 k1 m1 1/1026 Example TV",
                                      "10730 H 7200 5/6 k2 m2 0/0 (feeds)",
                                      "10750 V 6111 2/3 k1 m1 1/1040 Data Link",
                                      "10770 H 36000 5/6 k2 m3 2/7 Wide Band",
                                      "10790 V 30000 3/4 k2 m2 3/4 Multi Mux is1 pls2:8",
                                      "10810 H 22000 2/3 k2 m2 5/6 Old Label",
                                      "11747 H 27500 7/8 k1 m1 0/0 Half Step +500kHz",
                                      "12224 R 20000 6/7 k3 m1 65535/1 Direct",
                                      "12380 V 1000 0/0 k1 m1 0/0 Same Line",
                                  }));
}

// Pages of the layouts since 2021, restyled in several ways, give every
// row they hold: no markup is assumed, only what the cells say.
TEST(LyngSatTodayParser, ReadsTheLayoutsSince2021ByTheirCells) {
  struct Case {
    std::string page;
    std::string satellite;
    Strings rows;
  };
  const Case cases[] = {
      // <font> cells, absolute mux links, bgcolor, &nbsp;, "&deg;", an
      // ISDB row (offered, then refused by admission) and one without a
      // symbol rate.
      {"today-2021.html",
       "130 Hotbird 13C (4)",
       {"10719 V 27500 3/4 k1 m1 0/0", "10775 H 29900 5/6 k2 m2 0/0 is2 pls2:131070",
        "11034 V 27500 2/3 k2 m2 0/0", "12380 H 36000 0/0 k2 m4 0/0 +500kHz plp1"}},
      // UTF-8 with U+00A0 and "&#160;"/"&#xa0;", spans and classes,
      // relative links, linear-gradient, upper-case tags, tbody, unquoted
      // attributes, lower-case words, words on one line.
      {"today-2026.html",
       "3550 Eutelsat 5 West B (3)",
       {"11013 H 30000 3/4 k2 m3 0/0 is4 pls1:8", "11095 V 27500 5/6 k1 m1 0/0",
        "11178 V 7200 2/3 k2 m2 0/0 is0 pls3:262143 plp0"}},
      // All on one line, Latin-1 no-break spaces, no degree sign, feed and
      // data marks, DSS.
      {"today-oneline.html",
       "3255 Intelsat 35e (3)",
       {"3880 R 30000 7/8 k1 m1 0/0", "4120 L 3000 1/2 k1 m1 0/0", "12224 R 20000 6/7 k3 m1 0/0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page);
    MemoryRun memory;
    memory.run.options.AcceptedKinds = KindSet{kKindDvbS, kKindDvbS2, kKindDss};
    std::string bytes = ReadFile(Page(c.page));
    ASSERT_TRUE(IsTodaysLyngSatPage(bytes));
    EXPECT_EQ(ParseTodaysLyngSatPage(memory.run.sink, memory.Source(Page(c.page))), ProducerResult::kRead);
    EXPECT_EQ(SatelliteSummary(memory), Strings{c.satellite});
    EXPECT_EQ(Described(memory, 0), c.rows);
  }
  // The feed and data marks still decide with /Feeds and /Data.
  MemoryRun memory;
  memory.run.options.AcceptFeeds = false;
  memory.run.options.AcceptData = false;
  memory.run.options.AcceptedKinds.Add(kKindDss);
  EXPECT_EQ(ParseTodaysLyngSatPage(memory.run.sink, memory.Source(Page("today-oneline.html"))),
            ProducerResult::kRead);
  EXPECT_EQ(Described(memory, 0), Strings{"12224 R 20000 6/7 k3 m1 0/0"});
  EXPECT_EQ(memory.run.sink.OfferedOnPage(), 3u);

  // Rows that say nothing readable are not offered at all.
  MemoryRun unreadable;
  EXPECT_EQ(ParseTodaysLyngSatPage(unreadable.run.sink, unreadable.Source(Page("unreadable.html"))),
            ProducerResult::kRead);
  EXPECT_EQ(unreadable.run.sink.OfferedOnPage(), 0u);
}

TEST(LyngSatTodayParser, OptionsDecideWhichRowsStay) {
  struct Case {
    std::string name;
    std::function<void(Options&)> set;
    Strings frequencies;
  };
  const Case cases[] = {
      {"defaults: DVB-S only", [](Options&) {}, {"3880", "10719", "10750", "11747", "12380"}},
      {"/Data-", [](Options& o) { o.AcceptData = false; }, {"3880", "10719", "11747", "12380"}},
      {"/Feeds- with DVB-S2",
       [](Options& o) {
         o.AcceptFeeds = false;
         o.AcceptedKinds.Add(kKindDvbS2);
       },
       {"3880", "10719", "10750", "10770", "10790", "10810", "11747", "12380"}},
      {"/Feeds+ with DVB-S2",
       [](Options& o) { o.AcceptedKinds.Add(kKindDvbS2); },
       {"3880", "10719", "10730", "10750", "10770", "10790", "10810", "11747", "12380"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryRun memory;
    c.set(memory.run.options);
    EXPECT_EQ(ParseTodaysLyngSatPage(memory.run.sink, memory.Source(Page("today.html"))),
              ProducerResult::kRead);
    Strings frequencies;
    for (const TransponderRecord& t : memory.TranspondersOf(0)) {
      frequencies.push_back(std::to_string(t.Frequency));
    }
    EXPECT_EQ(frequencies, c.frequencies);
  }
}

TEST(LyngSatTodayParser, TitlesNameThePositionOrAbandonThePage) {
  constexpr ProducerResult kRead = ProducerResult::kRead;
  constexpr ProducerResult kAbandoned = ProducerResult::kAbandoned;
  struct Case {
    std::string page;
    ProducerResult result;
    Strings satellites;  // an empty one is dropped at the end of the page
  };
  const std::string huge = "11747&nbsp;V</b>" + std::string(70000, 'x');
  const Case cases[] = {
      {TodaysPage("Hot Bird at 13.0\xB0" "E - LyngSat"), kRead, {"130 Hot Bird (1)"}},
      {TodaysPage("Amos at 4.0\xC2\xB0W - LyngSat"), kRead, {"3560 Amos (1)"}},
      {TodaysPage("Far at 180.0&deg;W - LyngSat"), kRead, {"1800 Far (1)"}},
      {TodaysPage("Zero at 0.0\xB0W - LyngSat"), kRead, {"0 Zero (1)"}},
      // A name may hold " at " itself; the last one counts.
      {TodaysPage("Look at Me at 1.5\xB0" "E - LyngSat"), kRead, {"15 Look at Me (1)"}},
      {TodaysPage("Half at 9.0\xB0" "E - LyngSat", "11747.<font>5</font>0&nbsp;H"), kRead,
       {"90 Half (1)"}},
      {TodaysPage("Band at 9.0\xB0" "E - LyngSat", "C"), kRead, {}},
      // A row that never closes is dropped, the next one is read; a row
      // beyond the length limit is dropped whole.
      {"<tr><td>" + TodaysPage("Open at 9.0\xB0" "E - LyngSat"), kRead, {"90 Open (1)"}},
      {TodaysPage("Huge at 9.0\xB0" "E - LyngSat", huge), kRead, {}},
      {TodaysPage("Sat at 4.0\xB0W - LyngSat sample"), kAbandoned, {}},
      {TodaysPage("Sat 4.0\xB0W - LyngSat"), kAbandoned, {}},
      {TodaysPage("Sat at 4\xB0W - LyngSat"), kAbandoned, {}},
      {TodaysPage("Plain at 4.0W - LyngSat"), kRead, {"3560 Plain (1)"}},  // no degree sign
      {TodaysPage("Sat at 4.0\xB0w - LyngSat"), kAbandoned, {}},
      {TodaysPage("Sat at 181.0\xB0" "E - LyngSat"), kAbandoned, {}},
      {TodaysPage(" at 4.0\xB0W - LyngSat"), kAbandoned, {}},
      {"<title>Sat at 4.0\xB0W - LyngSat", kAbandoned, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.page.substr(0, 80));
    MemoryRun memory;
    EXPECT_EQ(ParseTodaysLyngSatPage(memory.run.sink, SourceText{"p", c.page}), c.result);
    EXPECT_EQ(SatelliteSummary(memory), c.satellites);
    // A page read to its end reports its count; an abandoned one does not.
    EXPECT_EQ(memory.PrintedLines().size(), c.result == kRead ? 2u : 1u);
  }
}

}  // namespace
}  // namespace kavrel::testing
