// Saved pages through the whole program: masks, the files written, parse
// failures in the middle of a mask, and pages built to hurt.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <fstream>

#include "parsers/page_test_support.h"
#include "support/program.h"

namespace kavrel::testing {
namespace {

using Strings = std::vector<std::string>;

std::string Example(const std::string& name) {
  return std::string(KAVREL_SOURCE_DIR) + "/examples/" + name;
}

TEST(PagesCli, AMaskOfSavedPagesOfSeveralSitesBecomesIniFiles) {
  InstalledProgram program;
  program.scratch().MakeDir("work/saved");
  for (const char* site : {"flysat", "kingofsat", "lyngsat", "satcodx", "telesputnik"}) {
    program.WriteWork(std::string("saved/") + site + ".html",
                      ReadFile(Example(std::string(site) + "-sample.html")));
  }
  ProgramResult result = program.Run({"saved/*.html", "/Format=i1"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "kavrel: 3 transponders were not admitted only because of their system "
                        "(3 DVB-S2); /DVBS2+ admits them\n");
  std::string work = program.WorkDir();
  EXPECT_EQ(Lines(result.out),
            (Strings{"---- Kavrel v2.45b ----",
                     "Processing saved/flysat.html...", "5 transponders loaded",
                     "Processing saved/kingofsat.html...", "4 transponders loaded",
                     "Processing saved/lyngsat.html...", "5 transponders loaded",
                     "Processing saved/satcodx.html...", "5 transponders loaded",
                     "Processing saved/telesputnik.html...", "4 transponders loaded",
                     "Writting INI file(s)...",
                     "Creating " + work + "/0130.ini...",
                     "Creating " + work + "/0160.ini...",
                     "Creating " + work + "/0192.ini...",
                     "Creating " + work + "/0282.ini...",
                     "Creating " + work + "/0900.ini...",
                     "All done"}));
  EXPECT_EQ(program.ReadWork("0192.ini"),
            "[SATTYPE]\n1=0192\n2=Astra 1KR\n[DVB]\n0=5\n"
            "1=11229,V,22000,23\n2=11244,H,22000,56\n3=11259,V,27500,34\n"
            "4=11273,H,22000,23\n5=11288,V,6111,34\n");
  EXPECT_EQ(program.ReadWork("0900.ini"),
            "[SATTYPE]\n1=0900\n2=Yamal 201\n[DVB]\n0=4\n"
            "1=11265,H,20000,34\n2=11345,V,20000,34\n3=11385,H,20000,34\n4=11425,V,20000,34\n");
}

TEST(PagesCli, EachMarkupOfASiteGoesToItsOwnReader) {
  // The old and today's markup of two sites side by side in one mask.
  InstalledProgram program;
  program.scratch().MakeDir("work/saved");
  program.WriteWork("saved/a.html", ReadFile(Example("lyngsat-sample.html")));
  program.WriteWork("saved/b.html", ReadFile(PagePath("lyngsat", "today.html")));
  program.WriteWork("saved/c.html", ReadFile(Example("kingofsat-sample.html")));
  program.WriteWork("saved/d.html", ReadFile(PagePath("kingofsat", "today.html")));
  ProgramResult result = program.Run({"saved/*.html", "/DVBS2+", "/DSS+", "/Format=i3"});
  EXPECT_EQ(result.exitCode, 0);
  std::string work = program.WorkDir();
  EXPECT_EQ(Lines(result.out),
            (Strings{"---- Kavrel v2.45b ----",
                     "Processing saved/a.html...", "6 transponders loaded",
                     "Processing saved/b.html...", "10 transponders loaded",
                     "Processing saved/c.html...", "5 transponders loaded",
                     "Processing saved/d.html...", "8 transponders loaded",
                     "Writting INI file(s)...",
                     "Creating " + work + "/0160.ini...",
                     "Creating " + work + "/0192.ini...",
                     "Creating " + work + "/3300.ini...",
                     "All done"}));
  // Both of today's pages name 30.0 W; the KingOfSat page came last. Of its
  // two streams of 11096 H the INI file holds the first.
  EXPECT_EQ(program.ReadWork("3300.ini"),
            "[SATTYPE]\n1=3300\n2=Hispasat 30W-5 / Hispasat 30W-6\n"
            "[DVB]\n0=2\n1=10729,V,22000,56\n2=11200,V,7200,34\n"
            "[DVBS2]\n0=4\n1=10795,H,27500,34\n2=11015,V,36000,910\n3=11096,H,30000,23\n"
            "4=12015,L,5000,23\n[DSS]\n0=1\n1=12100,R,20000,67\n");
}

TEST(PagesCli, TheExamplesFollowTheGateOptions) {
  InstalledProgram program;
  ProgramResult result =
      program.Run({Example("lyngsat-sample.html"), "/Data-", "/Feeds-", "/DVBS2+", "/Format=i2",
                   "/ProvInfo+"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(Lines(result.out).at(2), "4 transponders loaded");
  EXPECT_EQ(program.ReadWork("0192.ini"),
            "[SATTYPE]\n1=0192\n2=Astra 1KR\n[DVB]\n0=4\n"
            "1=11229,V,22000,23; Example Network\n2=11244,H,22000,56; Sample TV\n"
            "3=11259,V,27500,34; Radio Sample\n4=11303,H,22000,23,S2; HD Sample (/DVBS2)\n");
}

TEST(PagesCli, AFailedPageInTheMiddleOfAMaskCostsOnlyItsOwnSatellite) {
  InstalledProgram program;
  program.WriteWork("a.html", ReadFile(Example("flysat-sample.html")));
  program.WriteWork("b.html", ReadFile(PagePath("lyngsat", "abandon-rate-zero.html")));
  program.WriteWork("c.html", ReadFile(PagePath("satcodx", "abandon-no-paren.html")));
  program.WriteWork("d.html", ReadFile(Example("kingofsat-sample.html")));
  ProgramResult result = program.Run({"*.html"});
  EXPECT_EQ(result.exitCode, 2);
  std::string work = program.WorkDir();
  EXPECT_EQ(Lines(result.err), (Strings{"kavrel: " + work + "/b.html: the page could not be read",
                                        "kavrel: " + work + "/c.html: the page could not be read",
                                        "kavrel: 2 transponders were not admitted only because of their "
                                        "system (2 DVB-S2); /DVBS2+ admits them"}));
  EXPECT_EQ(Lines(result.out),
            (Strings{"---- Kavrel v2.45b ----",
                     "Processing " + work + "/a.html...", "5 transponders loaded",
                     "Processing " + work + "/b.html...", "Error while parsing HTML data",
                     "Processing " + work + "/c.html...", "Error while parsing HTML data",
                     "Processing " + work + "/d.html...", "4 transponders loaded",
                     "Writting INI file(s)...",
                     "Creating " + work + "/0130.ini...",
                     "Creating " + work + "/0160.ini...",
                     "All done"}));
  EXPECT_FALSE(program.WorkExists("0192.ini"));
}

// The peak memory of the largest child process this test has waited for.
long PeakChildMegabytes() {
  struct rusage usage {};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return usage.ru_maxrss / 1024;
}

TEST(PagesCli, OneFiftyMegabyteLineIsReadInBoundedTimeAndMemory) {
  constexpr size_t kLineSize = 50u << 20;
  // Each page names its site on its first line; the second line repeats the
  // site's markers without ever ending.
  const std::pair<std::string, std::string> pages[] = {
      {"LyngSat", "<b><font face=\"Arial\" size=5>Astra at 19.2\xB0""E "
                  "align=\"center\"><font face=\"Verdana\" size=2><b>11229 V</b> "},
      {"KingOfSat", "<TITLE>Sat (1.0&deg;E)<TR bgcolor=\"#FAF6EE\"><td colspan=14>x - 11727&nbsp;V"
                    " - <td  width=\"50%\" bgcolor=\"#F\">DVB-S (QPSK) - 27500 3/4 - NID:1 - "},
      {"FlySat", "    <td rowspan=2 align=\"center\"><font face=\"Verdana\" size=2><b>11034 V</b> "},
      {"SatcoDX", "<font color=#FFFFFF><h3>x</h3><h1>Sat (13.0E - x)</h1><TR BGCOLOR=#FFCC00>"},
      {"Telesputnik", "<a href=\"pid.pl?id=1\">\xDF\xEC\xE0\xEB</a><td c>V</td> 11,727 "},
  };
  InstalledProgram program;
  for (const auto& [site, markup] : pages) {
    SCOPED_TRACE(site);
    {
      std::ofstream out(program.Work("huge.html"), std::ios::binary | std::ios::trunc);
      out << "<title>" << site << "</title>\n";
      if (site == "Telesputnik") {
        // Rows count only after a header with a position.
        out << "<table border=0 width=\"100%\"><tr><td valign=bottom><h2>Sat  90.0&deg;</h2>\n";
      }
      std::string block;
      while (block.size() < (1u << 20)) block += markup;
      for (size_t written = 0; written < kLineSize; written += block.size()) out << block;
    }
    auto start = std::chrono::steady_clock::now();
    ProgramResult result = program.Run({"huge.html"}, 60);
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NE(result.exitCode, 1);
    EXPECT_EQ(Lines(result.out).at(1), "Processing " + program.Work("huge.html") + "...");
    EXPECT_LT(seconds, 20.0);
    std::remove(program.Work("huge.html").c_str());
    for (const std::string& name : program.WorkNames()) std::remove(program.Work(name).c_str());
  }
  // The line itself and a working copy or two of it (about 100 MB here);
  // nothing that grows faster than the page.
  EXPECT_LT(PeakChildMegabytes(), 4 * 50 + 32);
}

}  // namespace
}  // namespace kavrel::testing
