#include "formats/kathrein_files.h"

#include <gtest/gtest.h>

#include "formats/binary_bytes.h"
#include "support/catalogue_fixture.h"
#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

// A table header as the receiver's files lay it out, with its checksum.
std::string TableHeader(std::string_view name, std::initializer_list<unsigned> columns, int64_t count) {
  Bytes b;
  b.Raw(std::string_view("INARIS101\0", 10)).List({4, 3, 2, 1, 1, 0, 0x63, 2});
  b.U8(static_cast<unsigned>(name.size())).Raw(name).U16(static_cast<unsigned>(columns.size()));
  b.List(columns).I32(count);
  b.U16(SumOf(std::string_view(b.str()).substr(18)));
  return b;
}

std::string SatHeader(int64_t count) {
  return TableHeader("SATELLITE_TABLE", {5, 0x0E, 6, 6, 6, 3, 3, 2, 5, 6, 6, 1, 5, 6, 7}, count);
}
std::string CarrierHeader(int64_t count) {
  return TableHeader("TRANSPONDER_TABLE", {5, 6, 6, 6, 6, 5, 6, 6, 5, 5, 6, 7}, count);
}
std::string ServiceHeader() {
  return TableHeader("SERVICE_TABLE",
                     {6, 0x0E, 5, 6, 6, 6, 7, 6, 6, 6, 5, 1, 1, 1, 5, 5, 6, 1, 1, 5, 1, 0x0E, 1, 5, 6,
                      1, 1, 5, 5, 6, 7, 6, 5, 0x0E},
                     0);
}
std::string FavoriteHeader() { return TableHeader("FAVORITES_TABLE", {5, 0x0E, 5}, 0); }

std::string Framed(const std::string& payload) {
  Bytes b;
  b.U24(payload.size()).Raw(payload);
  b.U16(SumOf(b.str()));
  return b;
}

std::string SatRecord(unsigned number, std::string_view name) {
  Bytes p;
  p.List({0, number, 28, 0}).U16(9750).U16(10600).U16(11700).Zeros(19).Raw(name);
  return Framed(p);
}

std::string CarrierRecord(unsigned satellite, unsigned polarization, unsigned carrier, unsigned frequency,
                          unsigned symbolRate, unsigned tsid, unsigned nid, unsigned codeRate,
                          unsigned system) {
  Bytes p;
  p.List({satellite, polarization}).U16(carrier).U16(frequency).U16(symbolRate).Zeros(2);
  p.U16(tsid).U16(nid).List({codeRate, system}).Zeros(8);
  return Framed(p);
}

TEST(KathreinFiles, HeadersOfEmptyTables) {
  // The checksums the receiver's own files carry for these headers.
  EXPECT_EQ(SatHeader(0).size(), 57u);
  EXPECT_EQ(SatHeader(0).substr(55), std::string("\xDD\x04", 2));  // 1245
  EXPECT_EQ(CarrierHeader(0).size(), 56u);
  EXPECT_EQ(CarrierHeader(0).substr(54), std::string("\x79\x05", 2));  // 1401
  EXPECT_EQ(ServiceHeader().size(), 74u);
  EXPECT_EQ(ServiceHeader().substr(72), std::string("\xB7\x04", 2));  // 1207
  EXPECT_EQ(FavoriteHeader().size(), 45u);
  EXPECT_EQ(FavoriteHeader().substr(43), std::string("\xA4\x04", 2));  // 1188
}

TEST(KathreinFiles, WritesFourTables) {
  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  dir.Write("sat.dat", "taken");
  MemoryRun m;
  TransponderRecord withIds = Transponder(10719, 'V', 27500, 3, 4);
  withIds.TransportStreamId = 0x1234;
  withIds.NetworkId = 0x0102;
  AddSatellite(m.run, "A&B", 130,
               {withIds, Transponder(10758, 'H', 65535, 0, 0),
                Transponder(11000, 'L', 2170, 0, 0, kKindDss),
                Transponder(11100, 'R', 30000, 1, 2, kKindDvbS2, 2)});
  AddSatellite(m.run, "Second", 3300,
               {Transponder(3794, 'L', 2170, 9, 10, kKindDvbS2, 1),
                Transponder(3800, 'R', 2170, 8, 9, kKindDvbS2, 0),
                Transponder(12000, 'H', 27500, 6, 8)});
  WriteKathreinFiles(m.run.catalogue, m.Writer());
  EXPECT_EQ(m.printed.str(), "Writting Kathrein UFS 910 files...\n");

  EXPECT_EQ(dir.Read("sat.dat"), "taken");
  EXPECT_EQ(dir.Read("sat(1).dat"), SatHeader(2) + SatRecord(1, "A-B") + SatRecord(2, "Second"));
  EXPECT_EQ(dir.Read("carrier.dat"),
            CarrierHeader(6) + CarrierRecord(1, 2, 1, 10719, 27500, 0x1234, 0x0102, 0x44, 0x40) +
                CarrierRecord(1, 1, 2, 10758, 65535, 0, 0, 0x57, 0x40) +
                CarrierRecord(1, 4, 3, 11100, 30000, 0, 0, 0x57, 0x41) +
                CarrierRecord(2, 3, 4, 3794, 2170, 0, 0, 0x4E, 0x41) +
                CarrierRecord(2, 4, 5, 3800, 2170, 0, 0, 0x57, 0x41) +
                CarrierRecord(2, 1, 6, 12000, 27500, 0, 0, 0x57, 0x40));
  EXPECT_EQ(dir.Read("service.dat"), ServiceHeader());
  EXPECT_EQ(dir.Read("favorite.dat"), FavoriteHeader());
}

TEST(KathreinFiles, OneSatelliteWithOneTransponder) {
  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  MemoryRun m;
  AddSatellite(m.run, "A&B", 130, {Transponder(10719, 'V', 27500, 3, 4)});
  WriteKathreinFiles(m.run.catalogue, m.Writer());
  std::string sat = dir.Read("sat.dat");
  std::string carrier = dir.Read("carrier.dat");
  EXPECT_EQ(sat.size(), 94u);
  EXPECT_EQ(sat.substr(57, 3), std::string("\x20\x00\x00", 3));
  EXPECT_EQ(carrier.size(), 85u);
  EXPECT_EQ(carrier.substr(50, 4), std::string("\x01\x00\x00\x00", 4));
}

TEST(KathreinFiles, CodeRates) {
  struct Case {
    uint8_t kind, modulation, numerator, denominator, code;
  };
  const Case cases[] = {
      {1, 0, 1, 2, 'B'}, {1, 2, 2, 3, 'C'}, {1, 0, 3, 4, 'D'}, {1, 0, 3, 5, 'W'}, {1, 0, 4, 5, 'W'},
      {1, 0, 5, 6, 'E'}, {1, 0, 7, 8, 'F'}, {1, 0, 8, 9, 'W'}, {1, 0, 9, 10, 'W'}, {1, 0, 0, 0, 'W'},
      {1, 0, 6, 8, 'W'}, {2, 1, 1, 2, 'G'}, {2, 1, 2, 3, 'H'}, {2, 1, 3, 4, 'I'}, {2, 1, 3, 5, 'J'},
      {2, 1, 4, 5, 'K'}, {2, 1, 5, 6, 'L'}, {2, 1, 7, 8, 'W'}, {2, 1, 8, 9, 'M'}, {2, 1, 9, 10, 'N'},
      {2, 2, 1, 2, 'W'}, {2, 2, 2, 3, 'O'}, {2, 2, 3, 4, 'P'}, {2, 2, 3, 5, 'Q'}, {2, 2, 4, 5, 'W'},
      {2, 2, 5, 6, 'R'}, {2, 2, 7, 8, 'W'}, {2, 2, 8, 9, 'S'}, {2, 2, 9, 10, 'T'}, {2, 0, 3, 4, 'W'},
      {2, 3, 3, 4, 'W'}, {3, 0, 3, 4, 'W'},
  };
  for (const Case& c : cases) {
    TransponderRecord t = Transponder(11000, 'H', 27500, c.numerator, c.denominator, c.kind, c.modulation);
    EXPECT_EQ(KathreinCodeRate(t), c.code)
        << int(c.kind) << "/" << int(c.modulation) << " " << int(c.numerator) << "/" << int(c.denominator);
  }
}

TEST(KathreinFiles, EmptyCatalogueCreatesNoFile) {
  ScratchDir dir;
  CurrentDirectoryGuard cwd(dir.path());
  MemoryRun m;
  WriteKathreinFiles(m.run.catalogue, m.Writer());
  EXPECT_EQ(m.PrintedLines(), std::vector<std::string>{"Writting Kathrein UFS 910 files..."});
  EXPECT_TRUE(dir.Names().empty());
}

TEST(KathreinFiles, ChecksumsWrap) {
  EXPECT_EQ(ByteSum(std::string(300, '\xFF'), 0), (300 * 255) % 65536);
  EXPECT_EQ(ByteSum("", 65535), 65535);
}

}  // namespace
}  // namespace kavrel::testing
