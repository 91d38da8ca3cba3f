// Pages that are cut short, made of noise, or written for another site:
// every parser reads them to an end (or gives up) without harm.
#include <gtest/gtest.h>

#include <random>

#include "page_test_support.h"
#include "parsers/flysat_parser.h"
#include "parsers/kingofsat_parser.h"
#include "parsers/lyngsat_parser.h"
#include "parsers/satcodx_parser.h"
#include "parsers/telesputnik_parser.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

struct Site {
  std::string name;
  Producer parse;
  std::string page;  // a fixture that reads without error
};

const Site kSites[] = {
    {"lyngsat", ParseLyngSatPage, "normal.html"},
    {"kingofsat", ParseKingOfSatPage, "normal.html"},
    {"flysat", ParseFlySatPage, "normal.html"},
    {"satcodx", ParseSatcoDXPage, "grouped.html"},
    {"telesputnik", ParseTelesputnikPage, "normal.html"},
};

TEST(HostilePages, TruncatedPagesAreReadAsFarAsTheyGo) {
  for (const Site& site : kSites) {
    SCOPED_TRACE(site.name);
    std::string whole = ReadFile(PagePath(site.name, site.page));
    MemoryRun complete;
    ASSERT_EQ(site.parse(complete.run.sink, SourceText{"whole.html", whole}), ProducerResult::kRead);
    size_t fullCount = complete.Satellite(0).Count();
    for (size_t length = 0; length < whole.size(); length += 7) {
      MemoryRun memory;
      (void)site.parse(memory.run.sink, SourceText{"cut.html", std::string_view(whole).substr(0, length)});
      for (const SatelliteRecord& satellite : memory.run.catalogue.Satellites()) {
        EXPECT_LE(satellite.Count(), fullCount) << length;
      }
    }
  }
}

// Noise made of the bytes and pieces that the parsers look for, so that
// markers, half rows and stray brackets meet in every order.
std::string MarkupNoise(size_t size, unsigned seed) {
  static const std::vector<std::string> pieces = {
      "<", ">", "\n", "\r", "\r\n", " ", "-", ".", ",", "/", "(", ")", "\"", "\xB0", "\0", "7",
      "11727", "&nbsp;", "&deg;", "<br>", "<td ", "</td>", "<th rowspan=", "<TITLE>", " at ",
      " - ", "  ", "\xE7.\xE4.", "West", "DATA", "MPEG-2", ">DVB<", "8PSK", "#ffd0a0",
      "40e0d0\"", "<b><font face=\"Arial\" size=5>",
      "align=\"center\"><font face=\"Verdana\" size=2><b>",
      "<TR bgcolor=\"#FAF6EE\"><td colspan=14>", "<td  width=\"50%\" bgcolor=\"#",
      "    <td rowspan=", "<table width=\"100%\" bgcolor=\"#ccffcc\" border=\"0\" align=\"center\" "
                         "cellPadding=0 cellSpacing=0>",
      "<font color=#FFFFFF><h3>", "</h3><h1>", "<TR BGCOLOR=#FFCC00>", "<TD><font size=-1>",
      "<table border=0 width=\"100%\"><tr><td valign=bottom><h2>", "<a href=\"pid.pl?id=",
  };
  std::mt19937 random(seed);
  std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string text;
  while (text.size() < size) {
    if (random() % 4 == 0) {
      text += static_cast<char>(byte(random));
    } else {
      const std::string& piece = pieces[pick(random)];
      text += piece.empty() ? std::string(1, '\0') : piece;
    }
  }
  return text;
}

TEST(HostilePages, NoiseIsReadWithoutHarm) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::string noise = MarkupNoise(200000, seed);
    for (const Site& site : kSites) {
      SCOPED_TRACE(site.name + " seed " + std::to_string(seed));
      MemoryRun memory;
      (void)site.parse(memory.run.sink, SourceText{"noise.html", noise});
      for (const SatelliteRecord& satellite : memory.run.catalogue.Satellites()) {
        for (const TransponderRecord& t : satellite.Transponders) {
          EXPECT_TRUE(t.Polarization == 'H' || t.Polarization == 'V' || t.Polarization == 'L' ||
                      t.Polarization == 'R');
        }
      }
    }
  }
}

TEST(HostilePages, AnotherSitesMarkupYieldsNothing) {
  for (const Site& reader : kSites) {
    for (const Site& writer : kSites) {
      if (reader.name == writer.name) continue;
      SCOPED_TRACE(reader.name + " reading " + writer.name);
      MemoryRun memory;
      std::string path = PagePath(writer.name, writer.page);
      EXPECT_EQ(reader.parse(memory.run.sink, memory.Source(path)), ProducerResult::kRead);
      EXPECT_EQ(memory.PrintedLines(), std::vector<std::string>{"Processing " + path + "..."});
      EXPECT_TRUE(memory.run.catalogue.Satellites().empty());
    }
  }
}

}  // namespace
}  // namespace kavrel::testing
