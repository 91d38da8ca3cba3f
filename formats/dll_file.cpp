#include "formats/dll_file.h"

#include <array>

#include "catalogue/code_table.h"
#include "formats/little_endian.h"
#include "formats/text_output.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/unique_file_name.h"

namespace kavrel {

namespace {

constexpr size_t kNameFieldSize = 20;
constexpr size_t kShortNameLength = 11;
constexpr size_t kDisplayNameOffset = 24;
constexpr size_t kSignatureOffset = 44;
constexpr size_t kRecordCountOffset = 64;

// V before H: the opposite of the XML file's order.
constexpr std::array<CodePair<char, uint32_t>, 4> kPolarizationCodes{{
    {'V', 0},
    {'H', 1},
    {'L', 2},
    {'R', 3},
}};

constexpr std::array<CodePair<uint8_t, uint32_t>, 2> kSystemCodes{{
    {kKindDvbS, 0},
    {kKindDvbS2, 23},
}};

const KindSet kStoredKinds{kKindDvbS, kKindDvbS2};

// The header of a satellite of `recordCount` records.
void AppendHeader(std::string& bytes, const SatelliteRecord& satellite, uint32_t recordCount) {
  std::string positionText = PaddedDecimalText(satellite.Position, 4);
  AppendFixedText(bytes, positionText + ".lst", kNameFieldSize);
  AppendLe32(bytes, 1);
  AppendFixedText(bytes, DllShortName(TextForFile(Latin1Name(satellite))) + "_" + positionText + ".lst", kNameFieldSize);
  AppendFixedText(bytes, kDllSignature, kNameFieldSize);
  AppendLe32(bytes, recordCount);
}

// Records are the bulk of the file: each is assembled in a fixed buffer
// and appended at once.
void AppendRecord(std::string& bytes, const TransponderRecord& t) {
  std::array<char, kDllRecordSize> record{};
  StoreLittleEndian(&record[0], static_cast<uint32_t>(t.Frequency), 4);
  StoreLittleEndian(&record[4], static_cast<uint32_t>(t.SymbolRate), 4);
  // Admission lets only H, V, L and R into the catalogue, so the fallback
  // is never met by catalogue data.
  StoreLittleEndian(&record[8], CodeOf<char, uint32_t>(kPolarizationCodes, t.Polarization).value_or(0), 4);
  StoreLittleEndian(&record[20], CodeOf<uint8_t, uint32_t>(kSystemCodes, t.SystemKind).value_or(0), 4);
  bytes.append(record.data(), record.size());
}

// A display name "Example_0130.lst" gives the name "Example" and position
// 130. The last "_" separates them, so that a name which itself holds "_"
// ("Sat_A_0130.lst") keeps it and its position.
bool SatelliteFromDisplayName(std::string_view display, std::string& name, int32_t& position) {
  size_t dot = display.rfind('.');
  if (dot != std::string_view::npos) display = display.substr(0, dot);
  size_t underscore = display.rfind('_');
  if (underscore == std::string_view::npos) return false;
  std::string_view leading = display.substr(0, underscore);
  // Names written with the position inside them ("Sat0130_0130") lose it.
  if (leading.size() >= 4 && IntegerTextOr(leading.substr(leading.size() - 4), 0) != 0) {
    leading.remove_suffix(4);
  }
  name = std::string(leading);
  position = IntegerTextOr(display.substr(underscore + 1), 0);
  return true;
}

void ReadRecord(SatelliteSink& sink, std::string_view record) {
  std::optional<uint8_t> kind = ValueOf<uint8_t, uint32_t>(kSystemCodes, ReadLe32(record, 20));
  if (!kind) return;
  OfferedTransponder offered;
  offered.Frequency = static_cast<int32_t>(ReadLe32(record, 0));
  offered.SymbolRate = static_cast<int32_t>(ReadLe32(record, 4));
  // An unknown code gives no letter; admission refuses the transponder.
  offered.Polarization = ValueOf<char, uint32_t>(kPolarizationCodes, ReadLe32(record, 8)).value_or('\0');
  offered.SystemKind = *kind;
  sink.AddTransponder(offered);
}

}  // namespace

std::string DllShortName(const std::string& name) {
  std::string shortName = name.substr(0, kShortNameLength);
  if (name.size() > kShortNameLength) {
    size_t blank = shortName.rfind(' ');
    if (blank != std::string::npos) shortName.resize(blank);
  }
  return shortName;
}

void WriteDllFile(const Catalogue& catalogue, const WriterContext& context) {
  context.out << "Writting DLL file..." << '\n';
  const std::vector<SatelliteRecord>& satellites = catalogue.Satellites();
  if (satellites.empty()) return;
  OutputFile file = CreateUniqueFile("satellite.dll");
  std::string count, records;
  AppendLe32(count, static_cast<uint32_t>(satellites.size()));
  file.Write(count);
  for (const SatelliteRecord& satellite : satellites) {
    // The records first, so that the list is walked once and the header
    // gets their count.
    records.clear();
    for (const TransponderRecord& t : satellite.Transponders.FirstStreams()) {
      if (kStoredKinds.Contains(t.SystemKind)) AppendRecord(records, t);
    }
    std::string header;
    AppendHeader(header, satellite, static_cast<uint32_t>(records.size() / kDllRecordSize));
    file.Write(header);
    file.Write(records);
  }
  file.Close();
}

FileReadResult ReadDllFile(SatelliteSink& sink, const SourceText& file) {
  AnnounceLoading(sink.out(), "DLL", file.name);
  std::string_view bytes = file.bytes;
  if (bytes.size() < 4 + kDllHeaderSize) return FileReadResult::kNoSatellite;
  // The leading count is not trusted: the blocks are read to the end of
  // the file, whatever it says.
  size_t offset = 4;
  std::string name;
  bool anyBlock = false;
  while (bytes.size() - offset >= kDllHeaderSize) {
    std::string_view header = bytes.substr(offset, kDllHeaderSize);
    offset += kDllHeaderSize;
    if (FixedText(header.substr(kSignatureOffset, kNameFieldSize)) != kDllSignature) continue;
    anyBlock = true;
    int32_t position = 0;
    if (SatelliteFromDisplayName(FixedText(header.substr(kDisplayNameOffset, kNameFieldSize)),
                                 name, position)) {
      sink.FindOrAddSatellite(name, position);
    }
    int64_t count = static_cast<int32_t>(ReadLe32(header, kRecordCountOffset));
    // A count beyond the end of the file reads the records that are there.
    for (int64_t i = 0; i < count && bytes.size() - offset >= kDllRecordSize; ++i) {
      ReadRecord(sink, bytes.substr(offset, kDllRecordSize));
      offset += kDllRecordSize;
    }
    sink.EndSatellite(name);
  }
  return anyBlock ? FileReadResult::kRead : FileReadResult::kNoSatellite;
}

}  // namespace kavrel
