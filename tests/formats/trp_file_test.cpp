#include "formats/trp_file.h"

#include <gtest/gtest.h>

#include "support/catalogue_fixture.h"
#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

const std::string kRule = "[***************************************************************]\n";
const std::string kEnd = "[END OF LIST\t\t\t\t\t\t\t]\n";

TEST(TrpFile, WritesOneListPerSatellite) {
  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  MemoryRun m;
  AddSatellite(m.run, "Example Sat", 130,
               {Transponder(3794, 'L', 2170, 3, 4), Transponder(10719, 'V', 27500, 5, 6, kKindDvbS2, 2),
                Transponder(11000, 'H', 27500, 3, 4, kKindDss)});
  AddSatellite(m.run, "A/B:C", 1801, {});
  WriteTrpFiles(m.run.catalogue, m.Writer());
  WriteTrpSatellite(m.Writer(), m.Satellite(0));

  std::string cwdPath = dir.path();
  EXPECT_EQ(m.PrintedLines(), (std::vector<std::string>{
                                  "Writting TRP file(s)...",
                                  "Creating " + cwdPath + "/Example Sat(13.0e).trp...",
                                  "Creating " + cwdPath + "/A_B_C(179.9w).trp...",
                                  "Creating " + cwdPath + "/Example Sat(13.0e)(1).trp..."}));
  std::string example = kRule + "[TRANSPONDERLIST Example Sat\t\tBY KLEMAR VIDEOWORKS    ]\n" + kRule +
                        "03794000\t02170000\tL\tN\t. .\tDIGITAL\n"
                        "10719000\t27500000\tV\tN\t. .\tDIGITAL\n" +
                        kRule + kEnd + kRule;
  EXPECT_EQ(dir.Read("Example Sat(13.0e).trp"), example);
  EXPECT_EQ(dir.Read("Example Sat(13.0e)(1).trp"), example);
  EXPECT_EQ(dir.Read("A_B_C(179.9w).trp"),
            kRule + "[TRANSPONDERLIST A/B:C\t\tBY KLEMAR VIDEOWORKS    ]\n" + kRule + kRule + kEnd + kRule);
}

TEST(TrpFile, NamesAndPositions) {
  EXPECT_EQ(SafeFileName("A*B?C:D/E\\F<G>H\"I|J K~"), "A_B_C_D_E_F_G_H_I_J K~");
  EXPECT_EQ(SafeFileName(std::string("T\xFCrk\tsat\x7F", 9)), "T_rk_sat_");
  EXPECT_EQ(TrpPositionText(130), "(13.0e)");
  EXPECT_EQ(TrpPositionText(1800), "(180.0e)");
  EXPECT_EQ(TrpPositionText(1801), "(179.9w)");
  EXPECT_EQ(TrpPositionText(3300), "(30.0w)");
  EXPECT_EQ(TrpPositionText(3599), "(0.1w)");
  EXPECT_EQ(TrpPositionText(0), "(0.0w)");
  EXPECT_EQ(TrpPositionText(5), "(0.5e)");
}

TEST(TrpFile, OverlongNamesStillMakeFiles) {
  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  MemoryRun m;
  AddSatellite(m.run, std::string(400, 'N'), 130, {Transponder(10719, 'V', 27500)});
  WriteTrpFiles(m.run.catalogue, m.Writer());
  WriteTrpFiles(m.run.catalogue, m.Writer());
  std::vector<std::string> names = dir.Names();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], std::string(255 - 16 - 7, 'N') + "(13.0e).trp");
  EXPECT_NE(dir.Read(names[1]).find(std::string(400, 'N')), std::string::npos);
}

}  // namespace
}  // namespace kavrel::testing
