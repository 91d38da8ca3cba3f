#include "formats/dll_file.h"

#include <gtest/gtest.h>

#include <random>

#include "formats/binary_bytes.h"
#include "support/catalogue_fixture.h"
#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

Bytes& Header(Bytes& b, std::string_view listName, std::string_view displayName, int64_t count,
              std::string_view signature = "VisionP program list") {
  return b.Padded(listName, 20).I32(1).Padded(displayName, 20).Padded(signature, 20).I32(count);
}

Bytes& Record(Bytes& b, int64_t frequency, int64_t symbolRate, int64_t polarization, int64_t system) {
  return b.I32(frequency).I32(symbolRate).I32(polarization).Zeros(8).I32(system).Zeros(36);
}

TEST(DllFile, WritesTheFixedLayout) {
  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  MemoryRun m;
  AddSatellite(m.run, "Example", 130,
               {Transponder(10719, 'V', 27500, 5, 6), Transponder(10758, 'H', 22000, 3, 4),
                Transponder(11000, 'L', 2170, 0, 0, kKindDss),
                Transponder(11100, 'R', 30000, 2, 3, kKindDvbS2, 2)});
  AddSatellite(m.run, "Example Satellite 2", 3300, {Transponder(3794, 'L', 2170, 0, 0, kKindDss)});
  AddSatellite(m.run, "Elevenchars", 192, {});
  AddSatellite(m.run, "TwelveCharsX", 282, {});
  WriteDllFile(m.run.catalogue, m.Writer());
  EXPECT_EQ(m.printed.str(), "Writting DLL file...\n");

  Bytes expected;
  expected.I32(4);
  Header(expected, "0130.lst", "Example_0130.lst", 3);
  Record(expected, 10719, 27500, 0, 0);
  Record(expected, 10758, 22000, 1, 0);
  Record(expected, 11100, 30000, 3, 23);
  Header(expected, "3300.lst", "Example_3300.lst", 0);
  Header(expected, "0192.lst", "Elevenchars_0192.lst", 0);
  Header(expected, "0282.lst", "TwelveChars_0282.lst", 0);
  std::string written = dir.Read("satellite.dll");
  EXPECT_EQ(written.size(), 4 + 4 * 68 + 3 * 60u);
  EXPECT_EQ(written, expected.str());

  MemoryRun again;
  AddSatellite(again.run, "X", 130, {});
  WriteDllFile(again.run.catalogue, again.Writer());
  EXPECT_EQ(dir.Read("satellite(1).dll").size(), 4 + 68u);
  EXPECT_EQ(dir.Read("satellite.dll"), expected.str());

  MemoryRun empty;
  WriteDllFile(empty.run.catalogue, empty.Writer());
  EXPECT_EQ(dir.Names().size(), 2u);
}

TEST(DllFile, ShortNames) {
  EXPECT_EQ(DllShortName("Example Satellite 2"), "Example");
  EXPECT_EQ(DllShortName("Hot Bird 13"), "Hot Bird 13");
  EXPECT_EQ(DllShortName("Hot Bird 13B"), "Hot Bird");
  EXPECT_EQ(DllShortName("Intelsat901X"), "Intelsat901");
  EXPECT_EQ(DllShortName(""), "");
}

TEST(DllFile, ReadsBlocksAndRecords) {
  ScratchDir dir;
  Bytes file;
  file.I32(99);  // the leading count is not used
  Header(file, "0130.lst", "Example_0130.lst", 4);
  Record(file, 10719, 27500, 0, 0);
  Record(file, 10758, 22000, 1, 23);  // DVB-S2: refused by the default kinds
  Record(file, 11000, 27500, 7, 0);   // no such polarization code
  Record(file, 11100, 30000, 3, 5);   // no such system code
  Header(file, "junk", "Junk_0200.lst", 1, "Some other list");  // skipped whole
  Header(file, "0000.lst", "0192_0192.lst", 1);
  Record(file, 12000, 27500, 2, 0);
  Header(file, "x", "NoUnderscore", 1);  // records go to the satellite before
  Record(file, 12100, 27500, 1, 0);
  Header(file, "x", "Sat_A_2_3300.lst", 1);
  Record(file, 3794, 2170, 2, 0);
  Header(file, "x", "Empty_0100.lst", 0);
  dir.Write("in.dll", file);

  MemoryRun m;
  EXPECT_EQ(ReadDllFile(m.run.sink, m.Source(dir.At("in.dll"))), FileReadResult::kRead);
  EXPECT_EQ(m.PrintedLines(), (std::vector<std::string>{"Loading DLL file (" + dir.At("in.dll") + ")...",
                                                        "Example 1 transponders loaded",
                                                        " 1 transponders loaded",
                                                        " 2 transponders loaded",
                                                        "Sat_A_2 1 transponders loaded",
                                                        "Empty 0 transponders loaded"}));
  ASSERT_EQ(m.run.catalogue.SatelliteCount(), 3);
  EXPECT_EQ(m.Satellite(0).Position, 130);
  EXPECT_EQ(m.TranspondersOf(0), std::vector<TransponderRecord>{Transponder(10719, 'V', 27500)});
  EXPECT_EQ(m.Satellite(1).Name, "");
  EXPECT_EQ(m.Satellite(1).Position, 192);
  EXPECT_EQ(m.TranspondersOf(1), (std::vector<TransponderRecord>{Transponder(12000, 'L', 27500),
                                                                 Transponder(12100, 'H', 27500)}));
  EXPECT_EQ(m.Satellite(2).Position, 3300);

  m.run.options.AcceptedKinds.Add(kKindDvbS2);
  EXPECT_EQ(ReadDllFile(m.run.sink, m.Source(dir.At("in.dll"))), FileReadResult::kRead);
  EXPECT_EQ(m.TranspondersOf(0), (std::vector<TransponderRecord>{
                                     Transponder(10719, 'V', 27500),
                                     Transponder(10758, 'H', 22000, 0, 0, kKindDvbS2)}));
}

TEST(DllFile, BrokenFilesReadWhatIsThere) {
  ScratchDir dir;
  Bytes one;
  one.I32(1);
  Header(one, "0130.lst", "Example_0130.lst", 1);
  Record(one, 10719, 27500, 0, 0);
  std::string whole = one;

  // 71 bytes: shorter than the count and one header.
  dir.Write("short.dll", whole.substr(0, 71));
  // Counts far beyond the file, negative counts, a record cut short.
  Bytes huge;
  huge.I32(0x7FFFFFFF);
  Header(huge, "0192.lst", "Other_0192.lst", -5);
  Header(huge, "0130.lst", "Example_0130.lst", 0x7FFFFFFF);
  Record(huge, 10719, 27500, 0, 0);
  huge.Raw(whole.substr(72, 30));
  dir.Write("huge.dll", huge);
  std::string noise(300000, '\0');
  std::mt19937 random(11);
  for (char& c : noise) c = static_cast<char>(random());
  dir.Write("noise.dll", noise);

  MemoryRun m;
  EXPECT_EQ(ReadDllFile(m.run.sink, m.Source(dir.At("short.dll"))), FileReadResult::kNoSatellite);
  EXPECT_EQ(m.PrintedLines().size(), 1u);
  EXPECT_EQ(m.run.catalogue.SatelliteCount(), 0);

  EXPECT_EQ(ReadDllFile(m.run.sink, m.Source(dir.At("huge.dll"))), FileReadResult::kRead);
  EXPECT_EQ(m.PrintedLines().back(), "Example 1 transponders loaded");
  EXPECT_EQ(ReadDllFile(m.run.sink, m.Source(dir.At("noise.dll"))), FileReadResult::kNoSatellite);
  ASSERT_EQ(m.run.catalogue.SatelliteCount(), 1);
  EXPECT_EQ(m.TranspondersOf(0), std::vector<TransponderRecord>{Transponder(10719, 'V', 27500)});
}

}  // namespace
}  // namespace kavrel::testing
