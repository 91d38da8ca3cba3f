#include "formats/kathrein_files.h"

#include <array>
#include <span>
#include <string>

#include "catalogue/code_table.h"
#include "formats/little_endian.h"
#include "formats/text_output.h"
#include "platform/unique_file_name.h"

namespace kavrel {

namespace {

struct TableLayout {
  std::string_view fileName;
  std::string_view tableName;
  std::string_view columns;
};

constexpr TableLayout kCarrierTable{"carrier.dat", "TRANSPONDER_TABLE",
                                    "\x05\x06\x06\x06\x06\x05\x06\x06\x05\x05\x06\x07"};
constexpr TableLayout kSatelliteTable{
    "sat.dat", "SATELLITE_TABLE",
    "\x05\x0E\x06\x06\x06\x03\x03\x02\x05\x06\x06\x01\x05\x06\x07"};
constexpr TableLayout kServiceTable{
    "service.dat", "SERVICE_TABLE",
    "\x06\x0E\x05\x06\x06\x06\x07\x06\x06\x06\x05\x01\x01\x01\x05\x05\x06\x01\x01\x05\x01\x0E"
    "\x01\x05\x06\x01\x01\x05\x05\x06\x07\x06\x05\x0E"};
constexpr TableLayout kFavoriteTable{"favorite.dat", "FAVORITES_TABLE", "\x05\x0E\x05"};

constexpr std::string_view kHeaderStart{"INARIS101\0\x04\x03\x02\x01\x01\x00\x63\x02", 18};

constexpr uint8_t kUnknownCodeRate = 0x57;  // "W"

using CodeRateTable = std::span<const CodePair<FecFraction, uint8_t>>;

constexpr std::array<CodePair<FecFraction, uint8_t>, 5> kDvbSCodeRates{{
    {{1, 2}, 0x42},
    {{2, 3}, 0x43},
    {{3, 4}, 0x44},
    {{5, 6}, 0x45},
    {{7, 8}, 0x46},
}};

constexpr std::array<CodePair<FecFraction, uint8_t>, 8> kDvbS2QpskCodeRates{{
    {{1, 2}, 0x47},
    {{2, 3}, 0x48},
    {{3, 4}, 0x49},
    {{3, 5}, 0x4A},
    {{4, 5}, 0x4B},
    {{5, 6}, 0x4C},
    {{8, 9}, 0x4D},
    {{9, 10}, 0x4E},
}};

constexpr std::array<CodePair<FecFraction, uint8_t>, 6> kDvbS28pskCodeRates{{
    {{2, 3}, 0x4F},
    {{3, 4}, 0x50},
    {{3, 5}, 0x51},
    {{5, 6}, 0x52},
    {{8, 9}, 0x53},
    {{9, 10}, 0x54},
}};

constexpr std::array<CodePair<char, uint8_t>, 4> kPolarizationCodes{{
    {'H', 1},
    {'V', 2},
    {'L', 3},
    {'R', 4},
}};

constexpr std::array<CodePair<uint8_t, uint8_t>, 2> kSystemCodes{{
    {kKindDvbS, 0x40},
    {kKindDvbS2, 0x41},
}};

// The band plan of a universal Ku-band LNB, the same for every satellite:
// low and high oscillator and the switch frequency, MHz.
constexpr uint32_t kLowOscillator = 9750;
constexpr uint32_t kHighOscillator = 10600;
constexpr uint32_t kSwitchFrequency = 11700;

// The whole header of a table of `recordCount` records.
std::string TableHeader(const TableLayout& table, uint32_t recordCount) {
  std::string bytes(kHeaderStart);
  bytes.push_back(static_cast<char>(table.tableName.size()));
  bytes.append(table.tableName);
  AppendLe16(bytes, static_cast<uint32_t>(table.columns.size()));
  bytes.append(table.columns);
  AppendLe32(bytes, recordCount);
  AppendLe16(bytes, ByteSum(std::string_view(bytes).substr(kHeaderStart.size()), 0));
  return bytes;
}

// Appends a framed record: 24-bit length, payload, checksum of both.
void AppendRecord(std::string& bytes, std::string_view payload) {
  size_t start = bytes.size();
  AppendLe24(bytes, static_cast<uint32_t>(payload.size()));
  bytes.append(payload);
  AppendLe16(bytes, ByteSum(std::string_view(bytes).substr(start), 0));
}

void AppendSatelliteRecord(std::string& bytes, std::string& payload,
                           const SatelliteRecord& satellite, uint32_t satelliteNumber) {
  std::string name = TextForFile(Latin1Name(satellite));
  for (char& c : name) {
    if (c == '&') c = '-';
  }
  // The length is kept in 8 bits, and so many characters are written.
  name.resize(name.size() % 256);
  payload.clear();
  payload.push_back(0);
  payload.push_back(static_cast<char>(satelliteNumber & 0xFF));
  payload.push_back(28);
  payload.push_back(0);
  AppendLe16(payload, kLowOscillator);
  AppendLe16(payload, kHighOscillator);
  AppendLe16(payload, kSwitchFrequency);
  AppendZeros(payload, 19);
  payload.append(name);
  AppendRecord(bytes, payload);
}

// Carrier records are the bulk of the output: each is assembled in a fixed
// buffer, framing included, and appended at once.
constexpr size_t kCarrierPayloadSize = 24;
constexpr size_t kCarrierRecordSize = 3 + kCarrierPayloadSize + 2;

void AppendCarrierRecord(std::string& bytes, const TransponderRecord& t, uint32_t satelliteNumber,
                         uint32_t carrierNumber) {
  constexpr size_t kPayloadSize = kCarrierPayloadSize;
  std::array<char, kCarrierRecordSize> record{};
  StoreLittleEndian(&record[0], kPayloadSize, 3);
  char* payload = &record[3];
  payload[0] = static_cast<char>(satelliteNumber & 0xFF);
  payload[1] = static_cast<char>(CodeOf<char, uint8_t>(kPolarizationCodes, t.Polarization).value_or(0));
  StoreLittleEndian(&payload[2], carrierNumber, 2);
  StoreLittleEndian(&payload[4], static_cast<uint32_t>(t.Frequency), 2);
  StoreLittleEndian(&payload[6], static_cast<uint32_t>(t.SymbolRate), 2);
  StoreLittleEndian(&payload[10], t.TransportStreamId, 2);
  StoreLittleEndian(&payload[12], t.NetworkId, 2);
  payload[14] = static_cast<char>(KathreinCodeRate(t));
  payload[15] = static_cast<char>(CodeOf<uint8_t, uint8_t>(kSystemCodes, t.SystemKind).value_or(0));
  std::string_view framed(record.data(), 3 + kPayloadSize);
  StoreLittleEndian(&record[3 + kPayloadSize], ByteSum(framed, 0), 2);
  bytes.append(record.data(), record.size());
}

// A table file: its header, then the records.
struct TableFile {
  const TableLayout& layout;
  OutputFile file;

  explicit TableFile(const TableLayout& table)
      : layout(table), file(CreateUniqueFile(std::string(table.fileName))) {}

  void Write(uint32_t recordCount, std::string_view records) {
    file.Write(TableHeader(layout, recordCount));
    file.Write(records);
    file.Close();
  }
};

}  // namespace

uint16_t ByteSum(std::string_view bytes, uint16_t start) {
  uint32_t sum = start;
  for (char c : bytes) sum += static_cast<unsigned char>(c);
  return static_cast<uint16_t>(sum);
}

uint8_t KathreinCodeRate(const TransponderRecord& t) {
  CodeRateTable table;
  if (t.SystemKind == kKindDvbS) {
    table = kDvbSCodeRates;
  } else if (t.SystemKind == kKindDvbS2 && t.Modulation == kModulationQpsk) {
    table = kDvbS2QpskCodeRates;
  } else if (t.SystemKind == kKindDvbS2 && t.Modulation == kModulation8psk) {
    table = kDvbS28pskCodeRates;
  }
  FecFraction fraction{t.FecNumerator, t.FecDenominator};
  return CodeOf<FecFraction, uint8_t>(table, fraction).value_or(kUnknownCodeRate);
}

void WriteKathreinFiles(const Catalogue& catalogue, const WriterContext& context) {
  context.out << "Writting Kathrein UFS 910 files..." << '\n';
  const std::vector<SatelliteRecord>& satellites = catalogue.Satellites();
  if (satellites.empty()) return;
  TableFile carriers(kCarrierTable);
  TableFile sats(kSatelliteTable);
  TableFile services(kServiceTable);
  TableFile favorites(kFavoriteTable);

  // The records are assembled first, so that each header is written
  // complete with its count and checksum.
  uint32_t carrierCount = 0;
  std::string carrierRecords, satelliteRecords, payload;
  size_t transponders = 0;
  for (const SatelliteRecord& satellite : satellites) transponders += satellite.Count();
  carrierRecords.reserve(transponders * kCarrierRecordSize);
  for (size_t index = 0; index < satellites.size(); ++index) {
    const SatelliteRecord& satellite = satellites[index];
    uint32_t satelliteNumber = static_cast<uint32_t>(index + 1);
    AppendSatelliteRecord(satelliteRecords, payload, satellite, satelliteNumber);
    for (const TransponderRecord& t : satellite.Transponders.FirstStreams()) {
      if (t.SystemKind != kKindDvbS && t.SystemKind != kKindDvbS2) continue;
      ++carrierCount;
      AppendCarrierRecord(carrierRecords, t, satelliteNumber, carrierCount);
    }
  }
  carriers.Write(carrierCount, carrierRecords);
  sats.Write(static_cast<uint32_t>(satellites.size()), satelliteRecords);
  services.Write(0, {});
  favorites.Write(0, {});
}

}  // namespace kavrel
