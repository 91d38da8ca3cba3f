#include "acquisition/input_dispatch.h"

#include <gtest/gtest.h>

#include "app/list_file.h"
#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel {
namespace {

TEST(InputClassification, FormsOfAnInput) {
  EXPECT_EQ(ClassifyInput("http://www.lyngsat.example/a.html"), InputKind::kPageAddress);
  EXPECT_EQ(ClassifyInput("hTtP://x/"), InputKind::kPageAddress);
  EXPECT_EQ(ClassifyInput("https://x/"), InputKind::kPageAddress);
  EXPECT_EQ(ClassifyInput("HTTPS://x/"), InputKind::kPageAddress);
  EXPECT_EQ(ClassifyInput("https:/x/"), InputKind::kLocalFiles);
  EXPECT_EQ(ClassifyInput("!l!130"), InputKind::kSitePosition);
  EXPECT_EQ(ClassifyInput("!L!130"), InputKind::kSitePosition);
  EXPECT_EQ(ClassifyInput("!l"), InputKind::kLocalFiles);
  EXPECT_EQ(ClassifyInput(""), InputKind::kLocalFiles);
  EXPECT_EQ(ClassifyInput("*.ini"), InputKind::kLocalFiles);
}

TEST(InputClassification, SitePositions) {
  auto parsed = [](const char* input) {
    SitePositionInput p = ParseSitePositionInput(input);
    return std::make_tuple(static_cast<int>(p.site), p.walkStart, p.walkEnd);
  };
  EXPECT_EQ(parsed("!l!130"), std::make_tuple(1, 130, 130));
  EXPECT_EQ(parsed("!s!3300"), std::make_tuple(2, 3300, 3300));
  EXPECT_EQ(parsed("!t!-300"), std::make_tuple(3, 3300, 3300));
  EXPECT_EQ(parsed("!f!abc"), std::make_tuple(4, 3599, 3599));
  EXPECT_EQ(parsed("!k!5000"), std::make_tuple(5, 5000, 5000));
  EXPECT_EQ(parsed("!L!130"), std::make_tuple(0, 130, 130));
  EXPECT_EQ(parsed("!x!130"), std::make_tuple(0, 130, 130));
  EXPECT_EQ(parsed("!l![300w-970e]"), std::make_tuple(1, 3300, 970));
  EXPECT_EQ(parsed("!l![130-192e]"), std::make_tuple(1, -1, -1));
}

TEST(InputClassification, PositionRanges) {
  auto range = [](const char* text) {
    PositionRange r = ParsePositionRange(text);
    return std::make_pair(r.start, r.end);
  };
  EXPECT_EQ(range("[300w-970e]"), std::make_pair(3300, 970));
  EXPECT_EQ(range("[ 130E - 130e ]"), std::make_pair(130, 130));
  EXPECT_EQ(range("[192e-130e]"), std::make_pair(192, 130));
  // Absurd West numbers wrap in 32 bits; they name no configured page.
  EXPECT_EQ(range("[0e--2147483648w]"), std::make_pair(0, -2147480048));
  for (const char* bad : {"[130-192e]", "[130e192e]", "[-192e]", "[]", "[a", "130e-192e", "[x130e-192e]",
                          "[130e-]", "[1.5e-2e]", "[e-w]"}) {
    EXPECT_EQ(range(bad), std::make_pair(-1, -1)) << bad;
  }
}

TEST(InputClassification, SiteOfAddressTakesTheLastInItsOrder) {
  EXPECT_EQ(SiteOfAddress("http://www.lyngsat.example/x"), kSiteLyngSat);
  EXPECT_EQ(SiteOfAddress("http://lyngsat.kingofsat.example/"), kSiteKingOfSat);
  EXPECT_EQ(SiteOfAddress("http://satcodx.flysat.example/"), kSiteFlySat);
  EXPECT_EQ(SiteOfAddress("http://TELESPUTNIK.example/"), kSiteTelesputnik);
  EXPECT_EQ(SiteOfAddress("http://example.org/"), kSiteNone);
}

TEST(PageDetection, FirstNamingLineDecides) {
  testing::ScratchDir dir;
  dir.Write("a.html", "<html>\n<title>FlySat</title>\n<p>LyngSat</p>\n");
  dir.Write("b.html", "x\r\n<p>KingOfSat and lyngsat</p>\r\n");
  dir.Write("c.html", "nothing here\n");
  dir.Write("d.html", "");
  dir.Write("e.html", "telesputnik satcodx\n");
  EXPECT_EQ(DetectPageSite(testing::ReadFile(dir.At("a.html"))), kSiteFlySat);
  EXPECT_EQ(DetectPageSite(testing::ReadFile(dir.At("b.html"))), kSiteLyngSat);
  EXPECT_EQ(DetectPageSite(testing::ReadFile(dir.At("c.html"))), kSiteNone);
  EXPECT_EQ(DetectPageSite(testing::ReadFile(dir.At("d.html"))), kSiteNone);
  EXPECT_EQ(DetectPageSite(testing::ReadFile(dir.At("e.html"))), kSiteSatcoDX);
  EXPECT_EQ(DetectPageSite(testing::ReadFile(dir.At("missing.html"))), kSiteNone);
}

std::string IniText(const std::string& position, const std::string& name, const std::string& lines) {
  return "[SATTYPE]\n1=" + position + "\n2=" + name + "\n[DVB]\n" + lines;
}

class Dispatch : public ::testing::Test {
 protected:
  Dispatch() : cwd_(dir_.path()) {}
  testing::ScratchDir dir_;
  testing::CurrentDirectoryGuard cwd_;
  testing::MemoryRun memory_;
};

TEST_F(Dispatch, MasksReadEveryMatchingFileByExtension) {
  dir_.Write("b.INI", IniText("0192", "B", "0=1\n1=11000,H,27500,34\n"));
  dir_.Write("a.ini", IniText("0130", "A", "0=1\n1=11000,H,27500,34\n"));
  dir_.Write("c.txt", "nothing known\n");
  dir_.MakeDir("sub");
  dir_.Write("sub/d.ini", IniText("0100", "D", "0=1\n1=11000,H,27500,34\n"));
  ProcessInput(memory_.run.input, "*");
  EXPECT_EQ(memory_.PrintedLines(),
            (std::vector<std::string>{"Loading INI file (" + dir_.At("a.ini") + ")...", "A 1 transponders loaded",
                                      "Loading INI file (" + dir_.At("b.INI") + ")...", "B 1 transponders loaded"}));
  ProcessInput(memory_.run.input, "sub/*.ini");
  EXPECT_EQ(memory_.PrintedLines().at(4), "Loading INI file (sub/d.ini)...");
  EXPECT_EQ(memory_.run.catalogue.SatelliteCount(), 3);
  ProcessInput(memory_.run.input, "nothing*.ini");
  EXPECT_EQ(memory_.PrintedLines().size(), 6u);
}

TEST_F(Dispatch, PlusMergesIntoKnownSatellites) {
  dir_.Write("first.ini", IniText("0130", "Hot", "0=1\n1=11000,H,27500,34\n"));
  dir_.Write("second.ini", IniText("0130", "Hot Bird", "0=1\n1=12000,V,27500,34\n"));
  ProcessInput(memory_.run.input, "first.ini");
  ProcessInput(memory_.run.input, "+second.ini");
  EXPECT_EQ(memory_.Satellite(0).Count(), 2);
  EXPECT_EQ(memory_.Satellite(0).Name, "Hot Bird");
  ProcessInput(memory_.run.input, "first.ini");  // no "+": replaces
  EXPECT_EQ(memory_.Satellite(0).Count(), 1);
  EXPECT_EQ(memory_.Satellite(0).Name, "Hot");
}

TEST_F(Dispatch, ListLinesStartFromTheSavedOptions) {
  dir_.Write("c.ini", IniText("0800", "C", "0=2\n1=3725,H,27500,34\n2=11000,H,27500,34\n"));
  dir_.Write("d.ini", IniText("0900", "D", "0=2\n1=3725,H,27500,34\n2=11000,H,27500,34\n"));
  dir_.Write("list.txt", "c.ini /C-\r\nd.ini\n\n missing.ini /Ku-\nd.ini /Format=x /ProvInfo+\n");
  memory_.run.SavedOptions = memory_.run.options;
  ProcessListFile(memory_.run, "list.txt");
  EXPECT_EQ(memory_.Satellite(0).Count(), 1);  // C band refused on its line only
  EXPECT_EQ(memory_.Satellite(1).Count(), 2);
  // The last line's options stay in force; ProvidersInfo is run-wide.
  EXPECT_EQ(memory_.run.options.FormatCode, kFormatXml);
  EXPECT_TRUE(memory_.run.ProvidersInfo);
  EXPECT_TRUE(memory_.run.options.AcceptKu);

  testing::MemoryRun quiet;
  ProcessListFile(quiet.run, "no-such-list.txt");
  EXPECT_TRUE(quiet.printed.str().empty());
}

}  // namespace
}  // namespace kavrel
