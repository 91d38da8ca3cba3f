#include "formats/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "catalogue/admission.h"
#include "platform/fatal_error.h"
#include "support/catalogue_fixture.h"
#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel {
namespace {

TransponderRecord T(int32_t frequency, char polarization, int32_t symbolRate, uint8_t num, uint8_t den,
                    uint8_t kind, const std::string& providers = "") {
  return testing::Transponder(frequency, polarization, symbolRate, num, den, kind, 0, providers);
}

SatelliteRecord ExampleSatellite() {
  SatelliteRecord s;
  s.Position = 130;
  s.Name = "Example Sat";
  s.Transponders.Insert(T(10719, 'V', 27500, 5, 6, 1, "Prov A, Prov B"));
  s.Transponders.Insert(T(10758, 'V', 27500, 3, 4, 2));
  s.Transponders.Insert(T(11000, 'H', 22000, 0, 0, 1));
  s.Transponders.Insert(T(12000, 'L', 20000, 9, 10, 3));
  return s;
}

void AddExampleSatellite(Run& run) {
  SatelliteRecord s = ExampleSatellite();
  testing::AddSatellite(run, s.Name, s.Position, {s.Transponders.begin(), s.Transponders.end()});
}

TEST(IniWriter, ThreeLayouts) {
  SatelliteRecord s = ExampleSatellite();
  EXPECT_EQ(IniSatelliteText(s, IniLayout::kI1, false),
            "[SATTYPE]\n1=0130\n2=Example Sat\n[DVB]\n0=2\n1=10719,V,27500,56\n2=11000,H,22000,12\n");
  EXPECT_EQ(IniSatelliteText(s, IniLayout::kI2, false),
            "[SATTYPE]\n1=0130\n2=Example Sat\n[DVB]\n0=3\n1=10719,V,27500,56\n2=10758,V,27500,34,S2\n"
            "3=11000,H,22000,12\n");
  EXPECT_EQ(IniSatelliteText(s, IniLayout::kI3, false),
            "[SATTYPE]\n1=0130\n2=Example Sat\n[DVB]\n0=2\n1=10719,V,27500,56\n2=11000,H,22000,12\n"
            "[DVBS2]\n0=1\n1=10758,V,27500,34\n[DSS]\n0=1\n1=12000,L,20000,910\n");
  EXPECT_EQ(IniSatelliteText(s, IniLayout::kI1, true),
            "[SATTYPE]\n1=0130\n2=Example Sat\n[DVB]\n0=2\n1=10719,V,27500,56; Prov A, Prov B\n"
            "2=11000,H,22000,12; \n");
}

TEST(IniWriter, SatellitesWithoutWrittenKinds) {
  SatelliteRecord s;
  s.Position = 3300;
  s.Name = "West";
  s.Transponders.Insert(T(11000, 'H', 27500, 3, 4, 2));
  EXPECT_EQ(IniSatelliteText(s, IniLayout::kI1, false), "[SATTYPE]\n1=3300\n2=West\n[DVB]\n0=0\n");
  s.Transponders.Clear();
  s.Transponders.Insert(T(11000, 'H', 27500, 3, 4, 7));
  EXPECT_EQ(IniSatelliteText(s, IniLayout::kI3, false), "[SATTYPE]\n1=3300\n2=West\n");
  EXPECT_EQ(CountKinds(s, KindSet{7}), 1);
  EXPECT_EQ(CountKinds(s, KindSet{1, 2}), 0);
}

TEST(IniWriter, NeverOverwritesAndNumbersNames) {
  testing::ScratchDir dir;
  testing::CurrentDirectoryGuard cwd(dir.path());
  dir.Write("0130.ini", "mine");
  testing::MemoryRun memory;
  AddExampleSatellite(memory.run);
  WriteIniFiles(memory.run.catalogue, memory.Writer(), IniLayout::kI1);
  WriteIniFiles(memory.run.catalogue, memory.Writer(), IniLayout::kI1);
  EXPECT_EQ(dir.Read("0130.ini"), "mine");
  EXPECT_TRUE(dir.Exists("0130(1).ini"));
  EXPECT_TRUE(dir.Exists("0130(2).ini"));
  EXPECT_EQ(memory.PrintedLines(),
            (std::vector<std::string>{"Writting INI file(s)...", "Creating " + dir.path() + "/0130(1).ini...",
                                      "Writting INI file(s)...", "Creating " + dir.path() + "/0130(2).ini..."}));
}

TEST(IniWriter, UnwritableDirectoryEndsTheRun) {
  testing::ScratchDir dir;
  dir.MakeDir("gone");
  testing::CurrentDirectoryGuard cwd(dir.At("gone"));
  std::filesystem::remove(dir.At("gone"));
  testing::MemoryRun memory;
  AddExampleSatellite(memory.run);
  EXPECT_THROW(WriteIniFiles(memory.run.catalogue, memory.Writer(), IniLayout::kI1), FatalError);
}

TEST(IniLineSplit, FiveTrimmedFields) {
  EXPECT_EQ(SplitIniLine(" 10957,H, 4340,34 "), (std::array<std::string_view, 5>{"10957", "H", "4340", "34", ""}));
  EXPECT_EQ(SplitIniLine("1,2,3,4,S2,8PSK"), (std::array<std::string_view, 5>{"1", "2", "3", "4", "S2"}));
  EXPECT_EQ(SplitIniLine("10719,V,27500,34,"), (std::array<std::string_view, 5>{"10719", "V", "27500", "34", ""}));
  EXPECT_EQ(SplitIniLine(""), (std::array<std::string_view, 5>{}));
}

class IniReader : public ::testing::Test {
 protected:
  IniReader() : cwd_(dir_.path()) {
    memory_.run.options.AcceptedKinds = KindSet{1, 2, 3};
  }

  std::vector<TransponderRecord> Read(const std::string& text, size_t satellite = 0) {
    dir_.Write("in.ini", text);
    result_ = ReadIniFile(memory_.run.sink, memory_.Source(dir_.At("in.ini")));
    if (memory_.run.catalogue.Satellites().size() <= satellite) return {};
    return memory_.TranspondersOf(satellite);
  }

  testing::ScratchDir dir_;
  testing::CurrentDirectoryGuard cwd_;
  testing::MemoryRun memory_;
  FileReadResult result_ = FileReadResult::kRead;
};

TEST_F(IniReader, LineForms) {
  std::vector<TransponderRecord> list = Read(
      "[SATTYPE]\n1=0130\n2=Example Sat (13.0E)\n[DVB]\n0=9\n"
      "1=11747000,H,27500000,34\n"     // kHz and S/s: FEC ignored
      "2=11766.5,V,27500,23\n"         // fraction dropped
      "3=11785,h,27500,34\n"           // letter kept, refused by admission
      "4=11804,V,27500,34,s2\n"        // kind 2 in [DVB]
      "5=11823,H,27500,34; Prov A, Prov B\n"
      "6=11843,V,27500\n"              // no FEC: unknown
      "7=11862,H,27500,910\n"          // three-character FEC
      "8=11881,VV,27500,34\n"          // polarization of two characters: skipped
      "9=11900,H,0,34\n"               // no symbol rate: skipped
      "[DSS]\n0=1\n1=12000,R,20000,34,S2\n");
  ASSERT_EQ(list.size(), 7u);
  EXPECT_EQ(memory_.Satellite(0).Name, "Example Sat");
  EXPECT_EQ(memory_.Satellite(0).Position, 130);
  EXPECT_EQ(list[0].Frequency, 11747);
  EXPECT_EQ(list[0].SymbolRate, 27500);
  EXPECT_EQ(list[0].FecNumerator, 0);
  EXPECT_EQ(list[0].FecDenominator, 0);
  EXPECT_EQ(list[1].Frequency, 11766);
  EXPECT_EQ(list[1].FecNumerator, 2);
  EXPECT_EQ(list[1].FecDenominator, 3);
  EXPECT_EQ(list[2].SystemKind, 2);
  EXPECT_EQ(list[3].Providers, "Prov A, Prov B");
  EXPECT_EQ(list[4].FecNumerator, 0);
  EXPECT_EQ(list[5].FecNumerator, 9);
  EXPECT_EQ(list[5].FecDenominator, 10);
  EXPECT_EQ(list[6].Frequency, 12000);
  EXPECT_EQ(list[6].SystemKind, 3);
  EXPECT_EQ(memory_.PrintedLines(), (std::vector<std::string>{"Loading INI file (" + dir_.At("in.ini") + ")...",
                                                              "Example Sat 7 transponders loaded"}));
}

TEST_F(IniReader, LowerCaseLetterReachesAdmission) {
  // Admission is the one that refuses "h": the reader hands it over as is.
  Read("[SATTYPE]\n1=0130\n2=X\n[DVB]\n0=1\n1=11785,h,27500,34\n");
  EXPECT_TRUE(memory_.run.catalogue.Satellites().empty());
  EXPECT_EQ(memory_.PrintedLines().back(), "X 0 transponders loaded");
}

TEST_F(IniReader, NamesAndCounts) {
  Read("[SATTYPE]\n1=0192\n2=Example Sat  (extra)\n[DVB]\n0=1\n1=11000,H,27500,34\n2=11100,H,27500,34\n");
  EXPECT_EQ(memory_.Satellite(0).Name, "Example Sat");
  EXPECT_EQ(memory_.Satellite(0).Count(), 1);  // "0" smaller than the lines: the rest is not read

  testing::MemoryRun other;
  // A count far beyond the lines reads the missing ones as empty, quickly.
  dir_.Write("big.ini", "[SATTYPE]\n1=100\n2=B\n[DVB]\n0=2147483647\n1=11000,H,27500,34\n7=11100,H,27500,34\n");
  EXPECT_EQ(ReadIniFile(other.run.sink, other.Source(dir_.At("big.ini"))), FileReadResult::kMissingLines);
  EXPECT_EQ(other.Satellite(0).Count(), 2);

  // No [SATTYPE]: position 0 and an empty name.
  testing::MemoryRun bare;
  dir_.Write("bare.ini", "[DVB]\n0=1\n1=11000,H,27500,34\n");
  EXPECT_EQ(ReadIniFile(bare.run.sink, bare.Source(dir_.At("bare.ini"))), FileReadResult::kRead);
  EXPECT_EQ(bare.Satellite(0).Position, 0);
  EXPECT_EQ(bare.Satellite(0).Name, "");
}

TEST_F(IniReader, UpdateSectionsCommentsAndCrLf) {
  std::vector<TransponderRecord> list =
      Read("\r\n[UPDATE]\r\n0=Mar 24, 2018\r\n1=6652\r\n; note\r\n[SATTYPE]\r\n1=3592\r\n2=Thor 5,6,7\r\n\r\n"
           "[DVB]\r\n0=3\r\n1=10719,V,27500,34,S2;8PSK\r\n2=10778,H, 4340,34\r\n3=10800,H,27500,34,DVB-S,QPSK\r\n");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(memory_.Satellite(0).Position, 3592);
  EXPECT_EQ(memory_.Satellite(0).Name, "Thor 5,6,7");
  EXPECT_EQ(list[0].SystemKind, 2);
  EXPECT_EQ(list[0].Providers, "8PSK");
  EXPECT_EQ(list[1].SymbolRate, 4340);
  EXPECT_EQ(list[2].SystemKind, 1);
}

TEST_F(IniReader, UnreadableValuesGiveAnEmptySatellite) {
  // A position that is no number is 0; counts that are none read no line;
  // lines whose numbers are unusable are passed over; the empty satellite
  // goes again.
  Read("[SATTYPE]\n1=abc\n2=\n[DVB]\n0=-5\n1=,,,,\n[DVBS2]\n0=x\n[DSS]\n0=3\n1=.\n2=1e999,H,1,11\n3=-1.5,H,1,99\n");
  EXPECT_TRUE(memory_.run.catalogue.Satellites().empty());
  EXPECT_EQ(memory_.PrintedLines().back(), " 0 transponders loaded");
  EXPECT_EQ(result_, FileReadResult::kNotACount);
}

TEST(IniRoundTrip, WrittenFilesReadBackTheSame) {
  testing::ScratchDir dir;
  testing::CurrentDirectoryGuard cwd(dir.path());
  testing::MemoryRun writer;
  AddExampleSatellite(writer.run);
  WriteIniFiles(writer.run.catalogue, writer.Writer(), IniLayout::kI3);
  testing::MemoryRun reader;
  reader.run.options.AcceptedKinds = KindSet{1, 2, 3};
  EXPECT_EQ(ReadIniFile(reader.run.sink, reader.Source(dir.At("0130.ini"))), FileReadResult::kRead);
  std::vector<TransponderRecord> list = reader.TranspondersOf(0);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0], T(10719, 'V', 27500, 5, 6, 1));  // providers not written without the flag
  EXPECT_EQ(list[1], T(10758, 'V', 27500, 3, 4, 2));
  EXPECT_EQ(list[2], T(11000, 'H', 22000, 1, 2, 1));  // unknown FEC comes back as 1/2
  EXPECT_EQ(list[3], T(12000, 'L', 20000, 9, 10, 3));
}

}  // namespace
}  // namespace kavrel
