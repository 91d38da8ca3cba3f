// The receiver formats and the configuration file, through the built
// program.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "formats/binary_bytes.h"
#include "support/program.h"

namespace kavrel::testing {
namespace {

// Two satellites in layout i1 (kind 1 only), plus a DVB-S2 line that only
// runs accepting DVB-S2 take.
const std::string kEastIni =
    "[SATTYPE]\n1=0130\n2=Example Sat\n[DVB]\n0=4\n"
    "1=10719,V,27500,56\n2=10758,H,22000,34\n3=3794,L,2170,23\n4=11000,V,27500,78,S2\n";
const std::string kWestIni = "[SATTYPE]\n1=3300\n2=West Sat\n[DVB]\n0=1\n1=12000,H,27500,78\n";

// The i1 files the program writes for the two inputs.
const std::string kEastOut =
    "[SATTYPE]\n1=0130\n2=Example Sat\n[DVB]\n0=3\n1=3794,L,2170,23\n2=10719,V,27500,56\n"
    "3=10758,H,22000,34\n";
const std::string kWestOut = "[SATTYPE]\n1=3300\n2=West Sat\n[DVB]\n0=1\n1=12000,H,27500,78\n";

const std::string kTrpRule = "[***************************************************************]\n";

class FormatsCli : public ::testing::Test {
 protected:
  void SetUp() override {
    program.WriteWork("east.ini", kEastIni);
    program.WriteWork("west.ini", kWestIni);
  }

  ProgramResult RunOk(const std::vector<std::string>& arguments) {
    ProgramResult result = program.Run(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // The inputs hold a DVB-S2 transponder: without /DVBS2+ a note says so;
    // so do notes of filters and duplicates.
    for (const std::string& line : Lines(result.err)) {
      EXPECT_TRUE(line.find(" not admitted") != std::string::npos ||
                  line.find(" merged into one already listed") != std::string::npos)
          << line;
    }
    EXPECT_EQ(Lines(result.out).back(), "All done");
    return result;
  }

  InstalledProgram program;
};

TEST_F(FormatsCli, XmlOutputAndBackToIni) {
  RunOk({"*.ini", "/Format=x"});
  EXPECT_EQ(program.ReadWork("satellites.xml"),
            "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<satellites>\n"
            "\t<sat name=\"Example Sat\" flags=\"5\" position=\"130\">\n"
            "\t\t<transponder frequency=\"3794000\" symbol_rate=\"2170000\" polarization=\"2\" fec_inner=\"2\"/>\n"
            "\t\t<transponder frequency=\"10719000\" symbol_rate=\"27500000\" polarization=\"1\" fec_inner=\"5\"/>\n"
            "\t\t<transponder frequency=\"10758000\" symbol_rate=\"22000000\" polarization=\"0\" fec_inner=\"3\"/>\n"
            "\t</sat>\n"
            "\t<sat name=\"West Sat\" flags=\"5\" position=\"-300\">\n"
            "\t\t<transponder frequency=\"12000000\" symbol_rate=\"27500000\" polarization=\"0\" fec_inner=\"7\"/>\n"
            "\t</sat>\n</satellites>\n");

  std::filesystem::rename(program.Work("satellites.xml"), program.Work("Back.XmL"));
  ProgramResult back = RunOk({"Back.XmL"});
  std::vector<std::string> lines = Lines(back.out);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Example Sat 3 transponders loaded"), lines.end());
  EXPECT_EQ(program.ReadWork("0130.ini"), kEastOut);
  EXPECT_EQ(program.ReadWork("3300.ini"), kWestOut);
}

TEST_F(FormatsCli, DllOutputAndBackToIniLosesTheFec) {
  RunOk({"*.ini", "/Format=d", "/DVBS2+"});
  Bytes expected;
  expected.I32(2);
  expected.Padded("0130.lst", 20).I32(1).Padded("Example Sat_0130.lst", 20).Raw("VisionP program list").I32(4);
  for (auto [frequency, rate, polarization, system] :
       {std::array<int, 4>{3794, 2170, 2, 0}, {10719, 27500, 0, 0}, {10758, 22000, 1, 0}, {11000, 27500, 0, 23}}) {
    expected.I32(frequency).I32(rate).I32(polarization).Zeros(8).I32(system).Zeros(36);
  }
  expected.Padded("3300.lst", 20).I32(1).Padded("West Sat_3300.lst", 20).Raw("VisionP program list").I32(1);
  expected.I32(12000).I32(27500).I32(1).Zeros(8).I32(0).Zeros(36);
  EXPECT_EQ(program.ReadWork("satellite.dll"), expected.str());

  RunOk({"satellite.dll", "/Format=i2", "/DVBS2+"});
  EXPECT_EQ(program.ReadWork("0130.ini"),
            "[SATTYPE]\n1=0130\n2=Example Sat\n[DVB]\n0=4\n1=3794,L,2170,12\n2=10719,V,27500,12\n"
            "3=10758,H,22000,12\n4=11000,V,27500,12,S2\n");
  EXPECT_EQ(program.ReadWork("3300.ini"), "[SATTYPE]\n1=3300\n2=West Sat\n[DVB]\n0=1\n1=12000,H,27500,12\n");
}

TEST_F(FormatsCli, TrpAndKathreinOutput) {
  ProgramResult trp = RunOk({"*.ini", "/Format=t"});
  EXPECT_NE(trp.out.find("Creating " + program.WorkDir() + "/West Sat(30.0w).trp...\n"), std::string::npos);
  EXPECT_EQ(program.ReadWork("Example Sat(13.0e).trp"),
            kTrpRule + "[TRANSPONDERLIST Example Sat\t\tBY KLEMAR VIDEOWORKS    ]\n" + kTrpRule +
                "03794000\t02170000\tL\tN\t. .\tDIGITAL\n10719000\t27500000\tV\tN\t. .\tDIGITAL\n"
                "10758000\t22000000\tH\tN\t. .\tDIGITAL\n" +
                kTrpRule + "[END OF LIST\t\t\t\t\t\t\t]\n" + kTrpRule);

  // "K" adds DVB-S2, so the S2 line becomes a fifth carrier.
  ProgramResult kat = RunOk({"*.ini", "/Format=k"});
  EXPECT_NE(kat.out.find("Writting Kathrein UFS 910 files...\n"), std::string::npos);
  std::string sat = program.ReadWork("sat.dat");
  std::string carrier = program.ReadWork("carrier.dat");
  EXPECT_EQ(sat.size(), 57 + (3 + 29 + 11 + 2) + (3 + 29 + 8 + 2u));
  EXPECT_EQ(sat.substr(51, 4), std::string("\x02\x00\x00\x00", 4));
  EXPECT_EQ(carrier.size(), 56 + 5 * (3 + 24 + 2u));
  EXPECT_EQ(carrier.substr(50, 4), std::string("\x05\x00\x00\x00", 4));
  EXPECT_EQ(program.ReadWork("service.dat").size(), 74u);
  EXPECT_EQ(program.ReadWork("favorite.dat").size(), 45u);
}

TEST_F(FormatsCli, ListFileMixesFormatsWithOptionsPerLine) {
  RunOk({"*.ini", "/Format=x"});
  std::filesystem::rename(program.Work("satellites.xml"), program.Work("east_west.xml"));
  RunOk({"east.ini", "/Format=d", "/DVBS2+"});
  std::filesystem::rename(program.Work("satellite.dll"), program.Work("east.dll"));
  program.WriteWork("list.txt",
                    "west.ini /MinSR=30000\n"
                    "east_west.xml /C-\n"
                    "+east.dll /DVBS2+ /Format=i2\n");
  ProgramResult run = RunOk({"@list.txt", "/Format=x"});
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{"---- Kavrel v2.45b ----",
                                      "Loading INI file (" + program.WorkDir() + "/west.ini)...",
                                      "West Sat 0 transponders loaded",
                                      "Loading XML file (" + program.WorkDir() + "/east_west.xml)...",
                                      "Example Sat 2 transponders loaded",
                                      "West Sat 1 transponders loaded",
                                      "Loading DLL file (" + program.WorkDir() + "/east.dll)...",
                                      "Example Sat 4 transponders loaded",
                                      "Writting INI file(s)...",
                                      "Creating " + program.WorkDir() + "/0130.ini...",
                                      "Creating " + program.WorkDir() + "/3300.ini...",
                                      "All done"}));
  // Line 2 refused the C band; line 3 merged the DLL's four carriers (C band
  // and DVB-S2 included, FEC unknown) into the XML's two.
  EXPECT_EQ(program.ReadWork("0130.ini"),
            "[SATTYPE]\n1=0130\n2=Example Sat\n[DVB]\n0=4\n1=3794,L,2170,12\n2=10719,V,27500,12\n"
            "3=10758,H,22000,12\n4=11000,V,27500,12,S2\n");
  EXPECT_FALSE(program.WorkExists("satellites.xml"));
}

TEST_F(FormatsCli, SavedOptionsRuleTheNextRun) {
  program.WriteConfig("[lyngsat]\n0130=http://example/130.html\n[Common]\nMyKey=x\n");
  RunOk({"east.ini", "/Format=k", "/S"});
  std::string config = program.scratch().Read("bin/kavrel.ini");
  EXPECT_EQ(config,
            "[lyngsat]\n0130=http://example/130.html\n[Common]\nMyKey=x\nAcceptDVBS2=on\n"
            "AcceptDSS=off\nAcceptData=on\nAcceptFeeds=on\nConvertPolararization=off\n"
            "ConvertCBand=off\nAcceptKu=on\nAcceptC=on\nAcceptLinear=on\nAcceptCircular=on\n"
            "MinSR=0\nMaxSR=65535\nKeepHTML=off\nAddProvidersInfo=off\nSaveFormat=kat\n"
            "ProxyHost=\nProxyPort=0\nProxyUser=\nProxyPassword=\n");
  for (const char* name : {"sat.dat", "carrier.dat", "service.dat", "favorite.dat"}) {
    std::filesystem::remove(program.Work(name));
  }

  // No options: Kathrein files with the DVB-S2 carrier; the command line
  // still overrides the file.
  ProgramResult next = RunOk({"east.ini"});
  EXPECT_NE(next.out.find("Writting Kathrein UFS 910 files..."), std::string::npos);
  EXPECT_EQ(program.ReadWork("carrier.dat").size(), 56 + 4 * 29u);
  // The saved /DVBS2+ admits a transponder i1 cannot hold: a note says so.
  ProgramResult overridden = program.Run({"east.ini", "/Format=i1", "/C-"});
  EXPECT_EQ(overridden.err, "kavrel: 1 transponders are left out: the ini1 format cannot hold them; "
                            "/Format=e holds them\n"
                            "kavrel: 1 transponders were not admitted: their band or polarization is not accepted "
                            "(Ku 10700-12750 MHz and C 3400-4199 MHz by /Ku and /C, /Linear, /Circular)\n");
  EXPECT_EQ(program.ReadWork("0130.ini"),
            "[SATTYPE]\n1=0130\n2=Example Sat\n[DVB]\n0=2\n1=10719,V,27500,56\n2=10758,H,22000,34\n");
  EXPECT_EQ(program.scratch().Read("bin/kavrel.ini"), config);
}

TEST(FormatsCliConfig, UnwritableConfigurationEndsTheRunAfterTheOutputs) {
  // The program's name is so long that its configuration file's name still
  // fits the directory but the temporary file beside it does not: the
  // write is refused even for root, after the old file was read.
  ScratchDir scratch;
  scratch.MakeDir("work");
  std::string name = std::string(245, 'k');
  std::filesystem::copy_file(KAVREL_BINARY, scratch.At(name));
  std::filesystem::permissions(scratch.At(name), std::filesystem::perms::owner_all);
  const std::string oldConfig = "[Common]\nSaveFormat=xml\n[lyngsat]\n0130=http://example/\n";
  scratch.Write(name + ".ini", oldConfig);
  scratch.Write("work/east.ini", kEastIni);

  ProgramResult result = RunProcess(scratch.At(name), {"east.ini", "/S"}, scratch.At("work"), 60);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(Lines(result.err).back(), "Unable to write to " + scratch.At(name + ".ini"));
  EXPECT_EQ(Lines(result.out).back(), "All done");
  std::string xml = scratch.Read("work/satellites.xml");
  EXPECT_TRUE(xml.starts_with("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<satellites>\n")) << xml;
  EXPECT_TRUE(xml.ends_with("\t</sat>\n</satellites>\n")) << xml;
  EXPECT_EQ(scratch.Read(name + ".ini"), oldConfig);
  EXPECT_EQ(scratch.Names(), (std::vector<std::string>{name, name + ".ini", "work"}));
}

}  // namespace
}  // namespace kavrel::testing

namespace kavrel::testing {
namespace {

// Files of no use, or cut short: each is one line on standard error and
// exit status 3 when nothing was gained, 2 when the file still gave some;
// what a file held before it broke off is still read.
TEST(FormatsCliInputs, BrokenTransponderFilesAreSaid) {
  std::string noise(3000, '\0');
  std::mt19937 random(5);
  for (char& c : noise) c = static_cast<char>(random() % 255 + 1);
  const std::string noSatellite = "holds no satellite: the file is empty or not of its kind";
  const std::string sat = "<?xml version=\"1.0\"?>\n<satellites>\n\t<sat name=\"Cut\" flags=\"1\" position=\"130\">\n"
                          "\t\t<transponder frequency=\"10719000\" symbol_rate=\"27500000\" polarization=\"1\" "
                          "fec_inner=\"3\"/>\n\t</sat>\n";
  const std::string satType = "[SATTYPE]\n1=0130\n2=Sat\n[DVB]\n";
  struct Row {
    std::string name, bytes, cause;
    size_t loaded;  // transponders read all the same
  } rows[] = {
      {"empty.xml", "", noSatellite, 0},
      {"noise.xml", noise, noSatellite, 0},
      {"noise.ini", noise, noSatellite, 0},
      {"noise.dll", noise, noSatellite, 0},
      {"cut.xml", sat + "\t<sat name=\"B\" position=\"19", "ends before its closing </satellites>: the file is cut short",
       1},
      {"letters.ini", satType + "0=abc\n1=10719,V,27500,34\n",
       "a count (key 0) of transponder lines is not a number of lines", 0},
      {"huge.ini", satType + "0=4294967295\n1=10719,V,27500,34\n",
       "a count (key 0) of transponder lines is not a number of lines", 0},
      {"short.ini", satType + "0=3\n1=10719,V,27500,34\n2=10758,V,27500,34\n",
       "a count (key 0) promises more transponder lines than the section holds", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    InstalledProgram program;
    program.WriteWork(row.name, row.bytes);
    ProgramResult result = program.Run({row.name});
    EXPECT_EQ(result.exitCode, row.loaded > 0 ? 2 : 3);
    EXPECT_EQ(result.err, "kavrel: " + program.Work(row.name) + ": " + row.cause + "\n");
    if (row.loaded > 0) {
      EXPECT_NE(result.out.find(" " + std::to_string(row.loaded) + " transponders loaded\n"), std::string::npos);
    }
  }
  // The whole file reads without a word.
  InstalledProgram program;
  program.WriteWork("whole.xml", sat + "</satellites>\n");
  ProgramResult whole = program.Run({"whole.xml"});
  EXPECT_EQ(whole.exitCode, 0);
  EXPECT_EQ(whole.err, "");
}

}  // namespace
}  // namespace kavrel::testing
