#include "formats/dvbv5_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "support/catalogue_fixture.h"
#include "support/memory_run.h"
#include "support/program.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

// Every field a channel file carries: "S2 11919.000 V 27500 2/3 m2 r4 p0 s1 pls1:8".
std::string Describe(const TransponderRecord& t) {
  const TransponderDetails& d = t.Details;
  char khz[8];
  std::snprintf(khz, sizeof khz, "%03u", static_cast<unsigned>(d.FrequencyKhz));
  std::ostringstream text;
  text << (t.SystemKind == kKindDvbS2 ? "S2 " : "S ") << t.Frequency << '.' << khz << ' ' << t.Polarization << ' '
       << t.SymbolRate << ' ' << +t.FecNumerator << '/' << +t.FecDenominator << " m" << +t.Modulation << " r"
       << +d.RollOff << " p" << +d.Pilot << " s" << d.StreamId;
  if (d.PlsMode != kPlsUnset) text << " pls" << +d.PlsMode << ':' << d.PlsCode;
  return text.str();
}

// Reads a channel file into a run that takes every kind.
std::vector<std::string> ReadAll(MemoryRun& m, const SourceText& source) {
  m.run.options.AcceptedKinds = KindSet{kKindDvbS, kKindDvbS2, kKindDss};
  (void)ReadDvbv5File(m.run.sink, source);
  std::vector<std::string> described;
  if (m.run.catalogue.Satellites().empty()) return described;
  for (const TransponderRecord& t : m.TranspondersOf(0)) described.push_back(Describe(t));
  return described;
}

TEST(Dvbv5File, FileNamesCarryThePosition) {
  const std::pair<std::string_view, std::optional<Dvbv5Satellite>> cases[] = {
      {"/x/Hotbird-13.0E", Dvbv5Satellite{"Hotbird", 130}}, {"Thor-1.0W", Dvbv5Satellite{"Thor", 3590}},
      {"Amos-4w", Dvbv5Satellite{"Amos", 3560}}, {"Intelsat-10-02-1.05w", Dvbv5Satellite{"Intelsat-10-02", 3590}},
      {"Hot-Bird(12)-13.0e", Dvbv5Satellite{"Hot-Bird", 130}}, {"180.0W", Dvbv5Satellite{"", 1800}},
      {"Null-0.0W", Dvbv5Satellite{"Null", 0}}, {"Hotbird", std::nullopt}, {"Hotbird-13.0", std::nullopt},
      {"Hotbird-13.E", std::nullopt}, {"Far-180.1E", std::nullopt}, {"Hotbird-13.0E.conf", std::nullopt},
      {"Hotbird-+13E", std::nullopt}, {"/x/13.0E/Hotbird", std::nullopt},
  };
  for (const auto& [fileName, satellite] : cases) EXPECT_EQ(SatelliteOfDvbv5Name(fileName), satellite) << fileName;

  // Written names: safe, short enough for the file system, and read back at
  // the satellite's position.
  MemoryRun m;
  AddSatellite(m.run, "Hot Bird 13B/13C", 130, {});
  AddSatellite(m.run, " .Eutelsat  \"5\" West:A ", 3550, {});
  AddSatellite(m.run, "T\xFCrksat", 420, {});
  AddSatellite(m.run, "", 1801, {});
  AddSatellite(m.run, std::string(300, 'N') + "\xE9", 0, {});
  const auto& satellites = m.run.catalogue.Satellites();
  EXPECT_EQ(Dvbv5FileName(satellites[0], 2), "Hot-Bird-13B-13C(2)-13.0E");
  EXPECT_EQ(Dvbv5FileName(satellites[1]), "Eutelsat-5-West-A-5.0W");
  EXPECT_EQ(Dvbv5FileName(satellites[2]), "T\xC3\xBCrksat-42.0E");
  EXPECT_EQ(Dvbv5FileName(satellites[3], 1), "(1)-179.9W");
  EXPECT_EQ(Dvbv5FileName(satellites[4], 2147483647), std::string(255 - 12 - 7, 'N') + "(2147483647)-0.0E");
  for (const SatelliteRecord& satellite : satellites) {
    EXPECT_EQ(SatelliteOfDvbv5Name(Dvbv5FileName(satellite, 3)).value_or(Dvbv5Satellite{"", -1}).position,
              satellite.Position);
  }
}

TEST(Dvbv5File, TellsChannelFilesByContent) {
  const std::string block = "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 10719000\n";
  const std::pair<std::string, bool> cases[] = {
      {"# Hotbird 13.0E\n# freq pol sr fec\n" + block, true},
      {"\xEF\xBB\xBF\r\n[Das Erste]  # a service\r\n\tSERVICE_ID = 28106\r\n\tdelivery_system = DVBT", true},
      {"[CHANNEL]\n\tPLS CODE = 8\n\tDELIVERY_SYSTEM = DVBS2\n", true},
      {"[Sport #HD] # a service\n\tDELIVERY_SYSTEM = DVBS2\n", true},
      {"[CHANNEL]\n\tFREQUENCY = 10719000\n", false},
      {"FREQUENCY = 10719000\n" + block, false},
      {"; comment\n" + block, false},
      {"[SATTYPE]\n1=0130\n2=Example\n[DVB]\n0=1\n1=10719,V,27500,34\n", false},
      {"[DVB]\n1=DELIVERY_SYSTEM\nDELIVERY_SYSTEM = DVBS\n", false},
      {"<html><head><title>[CHANNEL]</title>\n" + block, false},
      {"[CHANNEL\n\tDELIVERY_SYSTEM = DVBS\n", false},
      {"", false},
      // Only the head of a file is looked at.
      {"[CHANNEL]\n" + std::string(4070, '\n') + "\tDELIVERY_SYSTEM = DVBS\n", false},
  };
  for (const auto& [text, channels] : cases) EXPECT_EQ(IsDvbv5Text(text), channels) << text.substr(0, 60);
}

TEST(Dvbv5File, ReadsWhatMakesSenseAndSkipsTheRest) {
  auto entry = [](std::string_view system, std::string_view frequency, std::string_view keys) {
    return "[CHANNEL]\n\tDELIVERY_SYSTEM = " + std::string(system) + "\n\tFREQUENCY = " + std::string(frequency) +
           "\n\tPOLARIZATION = VERTICAL\n\tSYMBOL_RATE = 27500999\n" + std::string(keys) + "\tINVERSION = AUTO\n\n";
  };
  const std::string plain = "S2 11747.000 V 27500 0/0 m0 r0 p0 s-1";
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      // DVB-S keeps no modulation, roll-off or stream.
      {entry("DVBS", "11747250", "\tINNER_FEC = 3/4\n\tMODULATION = QPSK\n\tROLLOFF = 35\n\tSTREAM_ID = 1\n"),
       {"S 11747.250 V 27500 3/4 m0 r0 p0 s-1"}},
      {entry("dvb-s2", "11747000", "\tInner_Fec = auto\n\tmodulation = 8psk\n\tROLLOFF = 0.35\n\tPILOT = on\n"),
       {"S2 11747.000 V 27500 0/0 m2 r1 p2 s-1"}},
      {entry("DVBS2", "11747000", "\tINNER_FEC = 9/10 # DVB-S2 only\r\n\tMODULATION = APSK/16\r\n\tROLLOFF = 25\n"),
       {"S2 11747.000 V 27500 9/10 m3 r2 p0 s-1"}},
      {entry("DVBS2", "11747000", "\tMODULATION = 32APSK\n\tROLLOFF = 20\n\tPILOT = AUTO\n"),
       {"S2 11747.000 V 27500 0/0 m4 r3 p3 s-1"}},
      {entry("DVBS2", "11747000", "\tMODULATION = QAM/AUTO\n\tROLLOFF = AUTO\n\tPILOT = OFF\n"),
       {"S2 11747.000 V 27500 0/0 m5 r4 p1 s-1"}},
      {entry("DVB-S2X", "11747000", "\tMODULATION = QAM/16\n\tINNER_FEC = NONE\n"),
       {"S2 11747.000 V 27500 0/0 m6 r0 p0 s-1"}},
      // Streams: packed (stream 3, gold 1234), separate keys winning, a lone
      // plain 0 (every DVB-S2 block of some writers), a code without a mode.
      {entry("DVBS2", "11747000", "\tSTREAM_ID = 67424771\n"), {plain.substr(0, 34) + "s3 pls2:1234"}},
      {entry("DVBS2", "11747000", "\tSTREAM_ID = 67424771\n\tPLS CODE = 9\n\tPLS MODE = COMBO\n"),
       {plain.substr(0, 34) + "s3 pls3:9"}},
      {entry("DVBS2", "11747000", "\tSTREAM_ID = 0\n"), {plain}},
      {entry("DVBS2", "11747000", "\tSTREAM_ID = 0\n\tPLS_CODE = 8\n"), {plain + " pls1:8"}},
      {entry("DVBS2", "11747000", "\tSTREAM_ID = 0\n") + entry("DVBS2", "11747000", "\tSTREAM_ID = 2\n") +
           entry("DVBS2", "11747000", ""),
       {plain, plain.substr(0, 34) + "s0", plain.substr(0, 34) + "s2"}},
      // Out of range: the stream part alone, or the whole entry.
      {entry("DVBS2", "11747000", "\tSTREAM_ID = 268435456\n\tPLS CODE = 262144\n\tPLS MODE = 3\n"), {plain}},
      {entry("DVBS2", "11747000", "\tSTREAM_ID = 201326849\n\tINNER_FEC = 4/3\n"), {plain.substr(0, 34) + "s1"}},
      {entry("DVBS", "2147483648000", "") + entry("DVBS", "11.747", "") + entry("DVBS", "-11747000", "") +
           entry("DSS", "11747000", "") + entry("DVBT", "11747000", "") + entry("", "11747000", ""),
       {}},
      {"[C]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 11747000\n\tPOLARIZATION = V\n\tSYMBOL_RATE = 999\n", {}},
      {"[C]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 11747000\n\tPOLARIZATION = UP\n\tSYMBOL_RATE = 27500000\n", {}},
      // A file that breaks off keeps what it holds, its last line as it
      // stands: a missing final line break is no reason to lose an entry.
      {entry("DVBS", "11766000", "") + "[C]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 11747000\n"
                                       "\tPOLARIZATION = H\n\tSYMBOL_RATE = 2750",
       {"S 11747.000 H 2 0/0 m0 r0 p0 s-1", "S 11766.000 V 27500 0/0 m0 r0 p0 s-1"}},
      {"[C]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 11747000\n\tSYMBOL_RATE = 27500000\n\tPOLARIZATION = H\n"
       "\tINVERSION = AU",
       {"S 11747.000 H 27500 0/0 m0 r0 p0 s-1"}},
  };
  for (const auto& [text, read] : cases) {
    MemoryRun m;
    EXPECT_EQ(ReadAll(m, SourceText{"Test-13.0E", text}), read) << text;
  }
}

TEST(Dvbv5File, FixturesSurviveTheirOwnFormat) {
  // Fixture, transponders, streams on 11919 MHz.
  const std::tuple<std::string, size_t, int64_t> cases[] = {
      {"Example-13.0E", 9, 3}, {"Westsat-30.0w", 3, 0}, {"Broken-5.0E", 6, 0}};
  for (const auto& [fixture, transponders, streams] : cases) {
    ScratchDir dir;
    CurrentDirectoryGuard cwd(dir.path());
    MemoryRun first, second;
    std::vector<std::string> read = ReadAll(first, first.Source(TestDataPath("dvbv5/" + fixture)));
    EXPECT_EQ(read.size(), transponders) << fixture;
    EXPECT_EQ(std::count_if(read.begin(), read.end(), [](auto& t) { return t.starts_with("S2 11919.000"); }), streams);
    WriteDvbv5Files(first.run.catalogue, first.Writer());
    ASSERT_EQ(dir.Names().size(), 1u) << fixture;
    EXPECT_EQ(ReadAll(second, second.Source(dir.At(dir.Names()[0]))), read) << fixture;
    EXPECT_EQ(second.TranspondersOf(0), first.TranspondersOf(0)) << fixture;
    EXPECT_EQ(second.Satellite(0).Position, first.Satellite(0).Position);
    EXPECT_EQ(second.Satellite(0).Name, first.Satellite(0).Name);
  }
  // A name the file name cannot hold comes back from kavrel's first line.
  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  MemoryRun first, second;
  first.run.options.AcceptedKinds = KindSet{kKindDvbS, kKindDvbS2};
  first.run.sink.FindOrAddSatellite("Hot Bird 13B/13C & more", 130);
  OfferedTransponder offered;
  offered.Frequency = 11747;
  offered.Polarization = 'H';
  offered.SymbolRate = 27500;
  offered.SystemKind = kKindDvbS;
  ASSERT_TRUE(first.run.sink.AddTransponder(offered));
  // Two T2-MI PLPs of one frequency: the format cannot tell them apart, so
  // they make one block.
  offered.Frequency = 11766;
  for (int16_t plp : {0, 1}) {
    offered.Details.T2miPlpId = plp;
    ASSERT_TRUE(first.run.sink.AddTransponder(offered));
  }
  std::string text = Dvbv5SatelliteText(first.Satellite(0));
  EXPECT_EQ(text.find("FREQUENCY = 11766000"), text.rfind("FREQUENCY = 11766000")) << text;
  WriteDvbv5Files(first.run.catalogue, first.Writer());
  ReadAll(second, second.Source(dir.At("Hot-Bird-13B-13C-&-more-13.0E")));
  EXPECT_EQ(second.Satellite(0).Name, "Hot Bird 13B/13C & more");
}

// The files a run announces with "Creating <path>...".
std::vector<std::string> CreatedFiles(const ProgramResult& result) {
  std::vector<std::string> paths;
  for (const std::string& line : Lines(result.out)) {
    if (line.starts_with("Creating ")) paths.push_back(line.substr(9, line.size() - 12));
  }
  return paths;
}

TEST(Dvbv5Cli, WritesReadsBackAndReportsNamesWithoutPosition) {
  InstalledProgram program;
  program.WriteWork("Westsat-30.0w", ReadFile(TestDataPath("dvbv5/Westsat-30.0w")));
  ProgramResult run = program.Run({"Westsat-30.0w", "/Format=v"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"---- Kavrel v2.45b ----",
                                                      "Loading dvbv5 file (" + program.Work("Westsat-30.0w") + ")...",
                                                      "Westsat 3 transponders loaded", "Writting dvbv5 channel files...",
                                                      "Creating " + program.Work("Westsat-30.0W") + "...", "All done"}));
  const std::string written =
      "# Westsat 30.0W\n"
      "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS\n\tFREQUENCY = 10972000\n\tPOLARIZATION = HORIZONTAL\n"
      "\tSYMBOL_RATE = 27500000\n\tINNER_FEC = 7/8\n\tINVERSION = AUTO\n\n"
      "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS2\n\tFREQUENCY = 11015000\n\tPOLARIZATION = VERTICAL\n"
      "\tSYMBOL_RATE = 7500000\n\tINNER_FEC = 8/9\n\tROLLOFF = 20\n\tMODULATION = PSK/8\n\tPILOT = AUTO\n"
      "\tSTREAM_ID = 134217477\n\tPLS CODE = 262143\n\tPLS MODE = 1\n\tINVERSION = AUTO\n\n"
      "[CHANNEL]\n\tDELIVERY_SYSTEM = DVBS2\n\tFREQUENCY = 11015000\n\tPOLARIZATION = VERTICAL\n"
      "\tSYMBOL_RATE = 7500000\n\tINNER_FEC = 8/9\n\tMODULATION = APSK/16\n\tSTREAM_ID = 6\n\tINVERSION = AUTO\n\n";
  EXPECT_EQ(program.ReadWork("Westsat-30.0W"), written);

  // Its own file reads back to the same file, under the next free name.
  EXPECT_EQ(CreatedFiles(program.Run({"Westsat-30.0W", "/Format=v"})),
            std::vector<std::string>{program.Work("Westsat(1)-30.0W")});
  EXPECT_EQ(program.ReadWork("Westsat(1)-30.0W"), written);

  program.WriteWork("channels.conf", written);
  ProgramResult nameless = program.Run({"channels.conf", "/Format=v"});
  EXPECT_EQ(nameless.exitCode, 3);
  EXPECT_EQ(nameless.err, "kavrel: " + program.Work("channels.conf") +
                              ": skipped, its file name holds no orbital position (such as Hotbird-13.0E)\n");
  EXPECT_EQ(Lines(nameless.out), (std::vector<std::string>{"---- Kavrel v2.45b ----",
                                                           "Loading dvbv5 file (" + program.Work("channels.conf") + ")...",
                                                           "Writting dvbv5 channel files...", "All done"}));
}

// The blocks of a channel file as key -> value maps.
std::vector<std::map<std::string, std::string>> Blocks(const std::string& text) {
  std::vector<std::map<std::string, std::string>> blocks;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    size_t equals = line.find(" = ");
    if (line.starts_with("[")) blocks.emplace_back();
    if (!blocks.empty() && line.starts_with("\t") && equals != std::string::npos) {
      blocks.back()[line.substr(1, equals - 1)] = line.substr(equals + 3);
    }
  }
  return blocks;
}

TEST(Dvbv5Cli, TheTuningLibraryReadsWhatKavrelWrites) {
  std::string converter;
  std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "");
  for (std::string directory; converter.empty() && std::getline(path, directory, ':');) {
    if (::access((directory + "/dvb-format-convert").c_str(), X_OK) == 0) converter = directory + "/dvb-format-convert";
  }
  if (converter.empty()) GTEST_SKIP() << "dvb-format-convert is not installed";
  InstalledProgram program;
  for (std::string fixture : {"Example-13.0E", "Westsat-30.0w", "Broken-5.0E"}) {
    program.WriteWork(fixture, ReadFile(TestDataPath("dvbv5/" + fixture)));
  }
  // FEC fractions the library has no name for, and a DSS line, from INI.
  program.WriteWork("0192.ini", "[SATTYPE]\n1=0192\n2=Ini Sat\n[DVBS2]\n0=2\n1=11000,H,27500,14\n"
                                "2=11100,R,30000,13\n[DSS]\n0=1\n1=12200,L,20000,67\n");
  ProgramResult run = program.Run({"*", "/Format=v", "/DSS+"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ASSERT_EQ(CreatedFiles(run).size(), 4u) << run.out;
  for (const std::string& written : CreatedFiles(run)) {
    ProgramResult converted =
        RunProcess(converter, {"-I", "DVBV5", "-O", "DVBV5", written, written + ".out"}, program.WorkDir(), 60);
    EXPECT_EQ(converted.exitCode, 0) << written << converted.out << converted.err;
    EXPECT_EQ((converted.out + converted.err).find("ERROR"), std::string::npos) << converted.out << converted.err;
    auto ours = Blocks(ReadFile(written));
    auto theirs = Blocks(ReadFile(written + ".out"));
    ASSERT_EQ(ours.size(), theirs.size()) << written;
    for (size_t i = 0; i < ours.size(); ++i) {
      // What the library takes for a key that is not there.
      if (ours[i]["DELIVERY_SYSTEM"] == "DVBS2") {
        for (auto [key, value] : {std::pair{"MODULATION", "QAM/AUTO"}, {"ROLLOFF", "AUTO"}, {"STREAM_ID", "0"}}) {
          ours[i].try_emplace(key, value);
        }
      }
      for (const char* key : {"DELIVERY_SYSTEM", "FREQUENCY", "POLARIZATION", "SYMBOL_RATE", "INNER_FEC",
                              "MODULATION", "ROLLOFF", "STREAM_ID", "PLS CODE", "PLS MODE"}) {
        EXPECT_EQ(ours[i][key], theirs[i][key]) << written << " block " << i << " " << key;
      }
    }
  }
}

}  // namespace
}  // namespace kavrel::testing
