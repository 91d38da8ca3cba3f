// Names and providers texts as every writer puts them into its files, and
// the file names made from satellite names.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/format_table.h"
#include "support/catalogue_fixture.h"
#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

// Every file one writer leaves in an empty directory, in one string.
std::string WrittenBytes(const OutputFormat& format, MemoryRun& m, std::vector<std::string>* names = nullptr) {
  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  format.write(m.run.catalogue, m.Writer());
  std::string bytes;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    bytes += ReadFile(entry.path().string());
    if (names) names->push_back(entry.path().filename().string());
  }
  return bytes;
}

TEST(FileText, ControlCharactersBecomeBlanksInEveryFormat) {
  const std::string raw = "Ev\x1bil\r\x7fSat\n";
  const std::string clean = "Ev il  Sat";  // the trailing blank is trimmed or kept, as the format does
  MemoryRun m;
  m.run.ProvidersInfo = true;
  AddSatellite(m.run, raw, 130,
               {Transponder(11000, 'H', 27500, 3, 4, kKindDvbS, 0, "P\rQ"),
                Transponder(11100, 'V', 27500, 3, 4, kKindDvbS2)});
  struct Row {
    uint8_t code;
    bool text;  // a text format: no control character but LF and tab at all
  };
  for (Row row : {Row{kFormatIni1, true}, Row{kFormatIni2, true}, Row{kFormatIni3, true}, Row{kFormatXml, true},
                  Row{kFormatDll, false}, Row{kFormatTrp, true}, Row{kFormatKathrein, false},
                  Row{kFormatEnigma2, true}, Row{kFormatDvbv5, true}}) {
    const OutputFormat& format = *FindOutputFormat(row.code);
    SCOPED_TRACE(format.configName);
    std::string bytes = WrittenBytes(format, m);
    EXPECT_NE(bytes.find(clean), std::string::npos);
    EXPECT_EQ(bytes.find("Ev\x1bil"), std::string::npos);
    if (row.text) {
      for (char c : bytes) EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 ? c != 0x7F : c == '\n' || c == '\t');
    }
  }
  EXPECT_NE(WrittenBytes(*FindOutputFormat(kFormatIni1), m).find("; P Q\n"), std::string::npos);
}

TEST(FileText, FileNamesFromSatelliteNames) {
  struct Row {
    std::string name;
    uint8_t code;
    std::string file;
  } rows[] = {
      {".hidden", kFormatTrp, "_hidden(13.0e).trp"},
      {"-rf --help", kFormatTrp, "_rf --help(13.0e).trp"},
      {"Plain Sat", kFormatTrp, "Plain Sat(13.0e).trp"},
      // Channel file names drop what they cannot start with.
      {".hidden", kFormatDvbv5, "hidden-13.0E"},
      {"-rf", kFormatDvbv5, "rf-13.0E"},
      {"\xE2\x80\xAEgpj.exe", kFormatDvbv5, "_gpj.exe-13.0E"},
      {"a\xE2\x81\xA6" "b\xE2\x81\xA9", kFormatDvbv5, "a_b_-13.0E"},
      {"Plain Sat", kFormatDvbv5, "Plain-Sat-13.0E"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MemoryRun m;
    std::ostringstream quiet;
    SatelliteSink sink(m.run.catalogue, m.run.options, quiet);
    // Channel files take UTF-8 names, where the controls live.
    sink.FindOrAddSatellite(row.name, 130, TextEncoding::kUtf8);
    OfferedTransponder offered;
    offered.Frequency = 11000;
    offered.Polarization = 'H';
    offered.SymbolRate = 27500;
    offered.SystemKind = kKindDvbS;
    ASSERT_TRUE(sink.AddTransponder(offered));
    std::vector<std::string> names;
    (void)WrittenBytes(*FindOutputFormat(row.code), m, &names);
    EXPECT_EQ(names, std::vector<std::string>{row.file});
  }
}

}  // namespace
}  // namespace kavrel::testing
