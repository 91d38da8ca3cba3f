#include "formats/dvbv5_file.h"

#include <algorithm>
#include <array>
#include <unordered_set>
#include <vector>

#include "catalogue/code_table.h"
#include "formats/text_output.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/text.h"
#include "platform/unique_file_name.h"

namespace kavrel {

namespace {

// How much of a file IsDvbv5Text looks at: channel files name their
// delivery system in the first lines, and every local file (pages of
// megabytes included) is asked.
constexpr size_t kProbeBytes = 4096;

// The longest file name the file system takes, the longest copy number
// ("(2147483647)") and the longest position ("-180.0E").
constexpr size_t kMaxFileName = 255;
constexpr size_t kMaxCopyNumber = 12;
constexpr size_t kMaxPositionText = 7;

// STREAM_ID packs the scrambling code into the bits above the input stream
// (bits 0-7 stream, 8-25 PLS code, 26-27 PLS mode), as the kernel drivers
// and the tools that tune multistream transponders take it.
constexpr uint32_t kStreamBits = 0xFF;
constexpr int kPlsCodeShift = 8;
constexpr uint32_t kPlsCodeBits = 0x3FFFF;
constexpr int kPlsModeShift = 26;
constexpr uint64_t kPackedStreamLimit = uint64_t{1} << 28;
static_assert(kMaxPlsCode == kPlsCodeBits);

// One line of a text, without its line end, and whether it had one.
struct TextLine {
  std::string_view text;
  bool terminated = false;
};

// Walks a text line by line (LF ends a line; CR and blanks are trimmed by
// the callers).
class LineCursor {
 public:
  explicit LineCursor(std::string_view text) : rest_(text) {}
  bool Next(TextLine& line) {
    if (rest_.empty()) return false;
    size_t end = rest_.find('\n');
    if (end == std::string_view::npos) {
      line = {rest_, false};
      rest_ = {};
    } else {
      line = {rest_.substr(0, end), true};
      rest_.remove_prefix(end + 1);
    }
    return true;
  }

 private:
  std::string_view rest_;
};

// A line without its comment ("# ..." to the end) and surrounding blanks.
// A block header stays whole: its name may hold a "#" ("[Sport #HD]").
std::string_view ContentOf(std::string_view line) {
  line = TrimBlanks(line);
  if (line.starts_with('[')) return line;
  size_t hash = line.find('#');
  if (hash != std::string_view::npos) line = line.substr(0, hash);
  return TrimBlanks(line);
}

// A key or an enumerated value as the reader compares it: upper case,
// without the blanks, "_", "-", "/" and "." that writers spell them with
// ("PLS CODE" and "PLS_CODE", "PSK/8" and "PSK8", "DVB-S2" and "DVBS2",
// "0.35" and "035"). Built without a copy on the heap; a text longer than
// any name is kept as "too long" and equals nothing.
struct Bare {
  static constexpr size_t kRoom = 24;
  std::array<char, kRoom> text{};
  size_t size = 0;
  bool tooLong = false;
  constexpr bool operator==(const Bare& other) const {
    if (tooLong || other.tooLong || size != other.size) return false;
    for (size_t i = 0; i < size; ++i) {
      if (text[i] != other.text[i]) return false;
    }
    return true;
  }
};

constexpr Bare BareOf(std::string_view spelling) {
  Bare bare;
  for (char c : spelling) {
    if (c == ' ' || c == '\t' || c == '_' || c == '-' || c == '/' || c == '.') continue;
    if (bare.size == Bare::kRoom) {
      bare.tooLong = true;
      break;
    }
    bare.text[bare.size++] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return bare;
}

// The keys of a block, one row each, shared by reader and writer: the name
// written, which the reader takes in every spelling of the same BareOf.
enum class Key : uint8_t {
  kDeliverySystem, kFrequency, kPolarization, kSymbolRate, kInnerFec, kModulation, kRollOff, kPilot,
  kStreamId, kPlsCode, kPlsMode, kInversion, kCount,
};
struct KeyRow {
  constexpr KeyRow(Key k, std::string_view name) : key(k), written(name), bare(BareOf(name)) {}
  Key key;
  std::string_view written;
  Bare bare;
};
constexpr KeyRow kKeys[] = {
    {Key::kDeliverySystem, "DELIVERY_SYSTEM"},
    {Key::kFrequency, "FREQUENCY"},
    {Key::kPolarization, "POLARIZATION"},
    {Key::kSymbolRate, "SYMBOL_RATE"},
    {Key::kInnerFec, "INNER_FEC"},
    {Key::kModulation, "MODULATION"},
    {Key::kRollOff, "ROLLOFF"},
    {Key::kPilot, "PILOT"},
    {Key::kStreamId, "STREAM_ID"},
    // The library's own conversion reads these two with a blank.
    {Key::kPlsCode, "PLS CODE"},
    {Key::kPlsMode, "PLS MODE"},
    {Key::kInversion, "INVERSION"},
};
static_assert(std::size(kKeys) == static_cast<size_t>(Key::kCount));

std::optional<Key> KeyOf(std::string_view name) {
  Bare bare = BareOf(name);
  for (const KeyRow& row : kKeys) {
    if (row.bare == bare) return row.key;
  }
  return std::nullopt;
}

std::string_view KeyName(Key key) { return kKeys[static_cast<size_t>(key)].written; }

// The values of the enumerated keys as the tuning library spells them: a
// code's first pair is written, any pair is read.
constexpr NamedCode kSystemValues[] = {{kKindDvbS, "DVBS"}, {kKindDvbS2, "DVBS2"}, {kKindDvbS2, "DVBS2X"}};
constexpr CodePair<char, std::string_view> kPolarizationValues[] = {
    {'H', "HORIZONTAL"}, {'V', "VERTICAL"}, {'L', "LEFT"}, {'R', "RIGHT"},
    {'H', "H"},          {'V', "V"},        {'L', "L"},    {'R', "R"}};
constexpr NamedCode kModulationValues[] = {
    {kModulationQpsk, "QPSK"},      {kModulation8psk, "PSK/8"},   {kModulation16apsk, "APSK/16"},
    {kModulation32apsk, "APSK/32"}, {kModulationAuto, "QAM/AUTO"}, {kModulationQam16, "QAM/16"},
    {kModulation8psk, "8PSK"},      {kModulation16apsk, "16APSK"}, {kModulation32apsk, "32APSK"},
    {kModulationAuto, "AUTO"},      {kModulationQam16, "16QAM"}};
constexpr NamedCode kRollOffValues[] = {
    {kRollOff35, "35"},   {kRollOff25, "25"},   {kRollOff20, "20"},  {kRollOffAuto, "AUTO"},
    {kRollOff35, "0.35"}, {kRollOff25, "0.25"}, {kRollOff20, "0.20"}, {kRollOff20, "0.2"}};
// PLS MODE also comes as the number STREAM_ID packs (0 root, 1 gold, 2 combo).
constexpr NamedCode kPlsModeValues[] = {{kPlsRoot, "ROOT"}, {kPlsGold, "GOLD"}, {kPlsCombo, "COMBO"},
                                        {kPlsRoot, "0"},    {kPlsGold, "1"},    {kPlsCombo, "2"}};

template <typename Value>
std::optional<Value> ValueOfSpelling(std::span<const CodePair<Value, std::string_view>> table, std::string_view text) {
  Bare bare = BareOf(text);
  for (const CodePair<Value, std::string_view>& pair : table) {
    if (BareOf(pair.code) == bare) return pair.value;
  }
  return std::nullopt;
}

// "3/4" and the like; AUTO, NONE and anything unreadable are unknown (the
// catalogue has no "no FEC").
FecFraction FecOf(std::string_view value) {
  size_t slash = value.find('/');
  if (slash == std::string_view::npos) return {};
  std::optional<uint64_t> numerator = PlainDigitsValue(TrimBlanks(value.substr(0, slash)));
  std::optional<uint64_t> denominator = PlainDigitsValue(TrimBlanks(value.substr(slash + 1)));
  if (!numerator || !denominator || *numerator == 0 || *numerator >= *denominator || *denominator > 255) {
    return {};
  }
  return {static_cast<uint8_t>(*numerator), static_cast<uint8_t>(*denominator)};
}

// The key of a "KEY = VALUE" line as IsDvbv5Text accepts it: a letter, then
// letters, digits, "_" and blanks ("PLS CODE"). Keys of kavrel's own INI
// files are numbers and never pass.
bool IsChannelKey(std::string_view key) {
  if (key.empty() || !((key[0] >= 'A' && key[0] <= 'Z') || (key[0] >= 'a' && key[0] <= 'z'))) return false;
  return std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ' ';
  });
}

// What one block says, as far as it could be read.
struct Block {
  uint8_t kind = 0;  // 0: no DELIVERY_SYSTEM, or one kavrel does not keep
  uint64_t frequencyKhz = 0;
  uint64_t symbolRate = 0;  // S/s
  char polarization = 0;
  FecFraction fec;
  uint8_t modulation = kModulationNone;
  uint8_t rollOff = kRollOffUnset;
  uint8_t pilot = kPilotUnset;
  int64_t packedStream = -1;  // a STREAM_ID within the packed bits, or -1
  int64_t plsCode = -1;       // PLS CODE, or -1
  uint8_t plsMode = kPlsUnset;  // PLS MODE

  void Take(std::string_view name, std::string_view value) {
    std::optional<Key> key = KeyOf(name);
    if (!key) return;
    switch (*key) {
      case Key::kDeliverySystem: kind = ValueOfSpelling<uint8_t>(kSystemValues, value).value_or(0); break;
      case Key::kFrequency: frequencyKhz = PlainDigitsValue(value).value_or(0); break;
      case Key::kSymbolRate: symbolRate = PlainDigitsValue(value).value_or(0); break;
      case Key::kPolarization: polarization = ValueOfSpelling<char>(kPolarizationValues, value).value_or(0); break;
      case Key::kInnerFec: fec = FecOf(value); break;
      case Key::kModulation:
        modulation = ValueOfSpelling<uint8_t>(kModulationValues, value).value_or(kModulationNone);
        break;
      case Key::kRollOff: rollOff = ValueOfSpelling<uint8_t>(kRollOffValues, value).value_or(kRollOffUnset); break;
      case Key::kPilot: pilot = ValueOfSpelling<uint8_t>(kPilotNames, value).value_or(kPilotUnset); break;
      case Key::kStreamId: {
        // -1 and 4294967295 say "no stream filter"; values beyond the packed
        // bits are no stream either: the transponder itself is still good.
        std::optional<uint64_t> number = PlainDigitsValue(value);
        packedStream = number && *number < kPackedStreamLimit ? static_cast<int64_t>(*number) : -1;
        break;
      }
      case Key::kPlsCode: {
        std::optional<uint64_t> number = PlainDigitsValue(value);
        if (number && *number <= kMaxPlsCode) plsCode = static_cast<int64_t>(*number);
        break;
      }
      case Key::kPlsMode:
        if (std::optional<uint8_t> mode = ValueOfSpelling<uint8_t>(kPlsModeValues, value)) plsMode = *mode;
        break;
      case Key::kInversion:
      case Key::kCount: break;
    }
  }
};

// A block read whole: the transponder, and whether its stream id came as a
// plain 0 (see ResolveZeroStreams).
struct Entry {
  OfferedTransponder offered;
  uint64_t frequencyKhz = 0;
  bool zeroStream = false;
};

std::optional<Entry> EntryOf(const Block& block) {
  uint64_t megahertz = block.frequencyKhz / 1000;
  uint64_t kiloSymbols = block.symbolRate / 1000;
  if (block.kind == 0 || block.polarization == 0 || megahertz == 0 || megahertz > INT32_MAX ||
      kiloSymbols == 0 || kiloSymbols > INT32_MAX) {
    return std::nullopt;
  }
  Entry entry;
  entry.frequencyKhz = block.frequencyKhz;
  OfferedTransponder& t = entry.offered;
  t.Frequency = static_cast<int32_t>(megahertz);
  t.Details.FrequencyKhz = static_cast<uint16_t>(block.frequencyKhz % 1000);
  t.SymbolRate = static_cast<int32_t>(kiloSymbols);
  t.Polarization = block.polarization;
  t.FecNumerator = block.fec.numerator;
  t.FecDenominator = block.fec.denominator;
  t.SystemKind = block.kind;
  // DVB-S has one modulation, one roll-off, no pilots and no streams: a
  // DVB-S block's word on them is not kept, as none is written.
  if (block.kind == kKindDvbS) return entry;
  t.Modulation = block.modulation;
  t.Details.RollOff = block.rollOff;
  t.Details.Pilot = block.pilot;
  uint32_t plsCode = 0;
  uint8_t plsMode = kPlsUnset;
  if (block.packedStream >= 0) {
    uint32_t packed = static_cast<uint32_t>(block.packedStream);
    t.Details.StreamId = static_cast<int16_t>(packed & kStreamBits);
    entry.zeroStream = t.Details.StreamId == 0;
    uint32_t code = (packed >> kPlsCodeShift) & kPlsCodeBits;
    uint32_t mode = packed >> kPlsModeShift;
    // Mode 3 names no scrambling; root code 0 with mode 0 is "none given".
    if (mode < 3 && (code != 0 || mode != 0)) {
      plsCode = code;
      plsMode = static_cast<uint8_t>(kPlsRoot + mode);
    }
  }
  // The separate keys say the same more plainly and win; a code without a
  // mode is a root code.
  if (block.plsCode >= 0) {
    plsCode = static_cast<uint32_t>(block.plsCode);
    if (plsMode == kPlsUnset) plsMode = kPlsRoot;
  }
  if (block.plsMode != kPlsUnset) plsMode = block.plsMode;
  t.Details.PlsMode = plsMode;
  t.Details.PlsCode = plsMode == kPlsUnset ? 0 : plsCode;
  return entry;
}

uint64_t FrequencyKey(const Entry& entry) {
  return entry.frequencyKhz * 256 + static_cast<unsigned char>(entry.offered.Polarization);
}

// Tools that write these files put "STREAM_ID = 0" into every DVB-S2 block
// (it is their default), so a plain 0 says nothing about streams. It counts
// as input stream 0 only where the file lists other streams of the same
// frequency and polarization; otherwise the transponder is single-stream, as
// every other source has it, and a merge does not list it twice.
void ResolveZeroStreams(std::vector<Entry>& entries) {
  std::unordered_set<uint64_t> multistream;
  for (const Entry& entry : entries) {
    if (entry.offered.Details.StreamId > 0) multistream.insert(FrequencyKey(entry));
  }
  for (Entry& entry : entries) {
    if (entry.zeroStream && !multistream.contains(FrequencyKey(entry))) {
      entry.offered.Details.StreamId = kNoStream;
    }
  }
}

std::vector<Entry> ReadEntries(std::string_view text) {
  std::vector<Entry> entries;
  Block block;
  bool inBlock = false;  // key lines before the first block belong to none
  auto finish = [&] {
    if (!inBlock) return;
    if (std::optional<Entry> entry = EntryOf(block)) entries.push_back(*entry);
    block = Block();
  };
  LineCursor cursor(text);
  TextLine line;
  while (cursor.Next(line)) {
    // A last line without its line end counts as it stands: files written
    // by hand often lack the final line break, and a file that broke off
    // cannot be told from one.
    std::string_view content = ContentOf(line.text);
    if (content.empty()) continue;
    if (content.front() == '[') {
      finish();
      inBlock = true;
      continue;
    }
    size_t equals = content.find('=');
    if (!inBlock || equals == std::string_view::npos) continue;
    block.Take(TrimBlanks(content.substr(0, equals)), TrimBlanks(content.substr(equals + 1)));
  }
  finish();
  ResolveZeroStreams(entries);
  return entries;
}

// Position texts of file names: "13.0E", "4w", "180.0W".
std::optional<int32_t> PositionOfText(std::string_view text) {
  if (text.size() < 2) return std::nullopt;
  char side = text.back();
  bool west = side == 'W' || side == 'w';
  if (!west && side != 'E' && side != 'e') return std::nullopt;
  std::string_view number = text.substr(0, text.size() - 1);
  size_t dot = number.find('.');
  std::string_view degrees = number.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? std::string_view() : number.substr(dot + 1);
  if (degrees.size() > 3 || (dot != std::string_view::npos && fraction.empty())) return std::nullopt;
  std::optional<uint64_t> whole = PlainDigitsValue(degrees);
  if (!whole || !std::all_of(fraction.begin(), fraction.end(), IsAsciiDigit)) {
    return std::nullopt;
  }
  // Tenths are what the catalogue keeps; further decimals are dropped.
  int32_t tenths = static_cast<int32_t>(*whole) * 10 + (fraction.empty() ? 0 : fraction[0] - '0');
  if (tenths > kLastEastPosition) return std::nullopt;
  return west && tenths != 0 ? WestPosition(tenths) : tenths;
}

// "Name(3)" is "Name": the number kavrel gives a copy whose name was taken.
std::string_view WithoutCopyNumber(std::string_view name) {
  if (name.size() < 3 || name.back() != ')') return name;
  size_t open = name.rfind('(');
  if (open == std::string_view::npos) return name;
  std::string_view digits = name.substr(open + 1, name.size() - open - 2);
  if (!PlainDigitsValue(digits)) return name;
  return name.substr(0, open);
}

// The length of the UTF-8 bidirectional control at `at` (U+202A-U+202E,
// U+2066-U+2069), 0 for any other character. Such a character in a file
// name makes a listing show the name in another order than it has.
size_t BidiControlLength(std::string_view text, size_t at) {
  if (text.size() - at < 3 || text[at] != '\xE2') return 0;
  unsigned char second = static_cast<unsigned char>(text[at + 1]);
  unsigned char third = static_cast<unsigned char>(text[at + 2]);
  bool embedding = second == 0x80 && third >= 0xAA && third <= 0xAE;
  bool isolate = second == 0x81 && third >= 0xA6 && third <= 0xA9;
  return embedding || isolate ? 3 : 0;
}

// The satellite name as a file name part: blanks and what file systems or
// shells do not take become "-", runs of "-" one, bidirectional controls
// "_", and it neither starts with "-" or "." nor ends with "-".
std::string FileNamePart(const SatelliteRecord& satellite) {
  std::string name = TextInEncoding(satellite.Name, satellite.NameEncoding, TextEncoding::kUtf8);
  std::string part;
  part.reserve(name.size());
  for (size_t at = 0; at < name.size(); ++at) {
    if (size_t length = BidiControlLength(name, at)) {
      part += '_';
      at += length - 1;
      continue;
    }
    char c = name[at];
    unsigned char byte = static_cast<unsigned char>(c);
    bool unsafe = byte <= ' ' || byte == 0x7F || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
    char kept = unsafe ? '-' : c;
    if (kept == '-' && (part.empty() || part.back() == '-')) continue;
    if (kept == '.' && part.empty()) continue;
    part += kept;
  }
  size_t room = kMaxFileName - kMaxCopyNumber - kMaxPositionText;
  if (part.size() > room) {
    // Cut before a character, not inside one.
    while (room > 0 && (static_cast<unsigned char>(part[room]) & 0xC0) == 0x80) --room;
    part.resize(room);
  }
  while (!part.empty() && part.back() == '-') part.pop_back();
  return part;
}

std::string PositionText(int32_t position) {
  int64_t tenths = SignedPosition(position);
  int64_t magnitude = tenths < 0 ? -tenths : tenths;
  std::string text;
  AppendDecimal(text, magnitude / 10);
  text += '.';
  AppendDecimal(text, magnitude % 10);
  text += tenths < 0 ? 'W' : 'E';
  return text;
}

// DVB-S and DVB-S2 transponders a tuner can be set to: a record without a
// polarization letter, frequency or symbol rate would be a block the
// library refuses or tunes to nonsense.
bool IsWritten(const TransponderRecord& t) {
  return (t.SystemKind == kKindDvbS || t.SystemKind == kKindDvbS2) && t.Frequency > 0 && t.SymbolRate > 0 &&
         std::string_view("HVLR").find(t.Polarization) != std::string_view::npos;
}

// The name written for a value, or empty when the table has none.
template <typename Value>
std::string_view WrittenName(std::span<const CodePair<Value, std::string_view>> table, const Value& value) {
  return CodeOf<Value, std::string_view>(table, value).value_or(std::string_view());
}

void AppendKey(std::string& text, Key key, std::string_view value) {
  text += '\t';
  text += KeyName(key);
  text += " = ";
  text += value;
  text += '\n';
}

void AppendKey(std::string& text, Key key, uint64_t value) {
  text += '\t';
  text += KeyName(key);
  text += " = ";
  AppendDecimal(text, static_cast<int64_t>(value));
  text += '\n';
}

void AppendBlock(std::string& text, const TransponderRecord& t) {
  bool s2 = t.SystemKind == kKindDvbS2;
  text += "[CHANNEL]\n";
  AppendKey(text, Key::kDeliverySystem, WrittenName<uint8_t>(kSystemValues, t.SystemKind));
  AppendKey(text, Key::kFrequency,
            static_cast<uint64_t>(t.Frequency) * 1000 + std::min<uint16_t>(t.Details.FrequencyKhz, 999));
  AppendKey(text, Key::kPolarization, WrittenName<char>(kPolarizationValues, t.Polarization));
  AppendKey(text, Key::kSymbolRate, static_cast<uint64_t>(t.SymbolRate) * 1000);
  // A fraction the library does not know would make it refuse the whole
  // file: such a one is written AUTO, as an unknown one is.
  std::string_view fec = WrittenName<FecFraction>(kFecNames, {t.FecNumerator, t.FecDenominator});
  AppendKey(text, Key::kInnerFec, fec.empty() ? "AUTO" : fec);
  if (s2) {
    // Values without a name are left out: the library then detects them.
    if (std::string_view rollOff = WrittenName<uint8_t>(kRollOffValues, t.Details.RollOff); !rollOff.empty()) {
      AppendKey(text, Key::kRollOff, rollOff);
    }
    if (std::string_view modulation = WrittenName<uint8_t>(kModulationValues, t.Modulation); !modulation.empty()) {
      AppendKey(text, Key::kModulation, modulation);
    }
    if (std::string_view pilot = WrittenName<uint8_t>(kPilotNames, t.Details.Pilot); !pilot.empty()) {
      AppendKey(text, Key::kPilot, pilot);
    }
    bool stream = t.Details.StreamId >= 0 && t.Details.StreamId <= kMaxStreamId;
    bool pls = t.Details.PlsMode >= kPlsRoot && t.Details.PlsMode <= kPlsCombo && t.Details.PlsCode <= kMaxPlsCode;
    // The packed STREAM_ID is what reaches the tuner; "PLS CODE" and "PLS
    // MODE" are what the library's own file conversion reads.
    if (stream || pls) {
      uint32_t packed = stream ? static_cast<uint32_t>(t.Details.StreamId) : 0;
      if (pls) {
        packed |= t.Details.PlsCode << kPlsCodeShift;
        packed |= static_cast<uint32_t>(t.Details.PlsMode - kPlsRoot) << kPlsModeShift;
      }
      AppendKey(text, Key::kStreamId, packed);
    }
    if (pls) {
      AppendKey(text, Key::kPlsCode, t.Details.PlsCode);
      AppendKey(text, Key::kPlsMode, static_cast<uint64_t>(t.Details.PlsMode - kPlsRoot));
    }
  }
  AppendKey(text, Key::kInversion, "AUTO");
  text += '\n';
}

}  // namespace

bool IsDvbv5Text(std::string_view text) {
  std::string_view probe = text.substr(0, kProbeBytes);
  bool cutShort = text.size() > kProbeBytes;
  if (probe.starts_with("\xEF\xBB\xBF")) probe.remove_prefix(3);
  bool inBlock = false;
  LineCursor cursor(probe);
  TextLine line;
  while (cursor.Next(line)) {
    // The probe may end inside a line: only whole lines are judged.
    if (!line.terminated && cutShort) break;
    std::string_view content = ContentOf(line.text);
    if (content.empty()) continue;
    if (content.front() == '[') {
      if (content.find(']') == std::string_view::npos) return false;
      inBlock = true;
      continue;
    }
    size_t equals = content.find('=');
    if (!inBlock || equals == std::string_view::npos) return false;
    std::string_view key = TrimBlanks(content.substr(0, equals));
    if (!IsChannelKey(key)) return false;
    if (KeyOf(key) == Key::kDeliverySystem) return true;
  }
  return false;
}

std::optional<Dvbv5Satellite> SatelliteOfDvbv5Name(std::string_view fileName) {
  std::string_view name = NamePart(fileName);
  size_t dash = name.rfind('-');
  std::string_view positionText = dash == std::string_view::npos ? name : name.substr(dash + 1);
  std::optional<int32_t> position = PositionOfText(positionText);
  if (!position) return std::nullopt;
  std::string_view satellite = dash == std::string_view::npos ? std::string_view() : name.substr(0, dash);
  return Dvbv5Satellite{std::string(WithoutCopyNumber(satellite)), *position};
}

std::string Dvbv5FileName(const SatelliteRecord& satellite, int64_t copy) {
  std::string name = FileNamePart(satellite);
  if (copy > 0) {
    name += '(';
    AppendDecimal(name, copy);
    name += ')';
  }
  if (!name.empty()) name += '-';
  return name + PositionText(satellite.Position);
}

FileReadResult ReadDvbv5File(SatelliteSink& sink, const SourceText& file) {
  AnnounceLoading(sink.out(), "dvbv5", file.name);
  std::optional<Dvbv5Satellite> satellite = SatelliteOfDvbv5Name(file.name);
  // Nothing else in the file says where the satellite is.
  if (!satellite) return FileReadResult::kNoPosition;
  // A first line "# <name> <position>" for the position the file name gives
  // is kavrel's own, and holds the name as it was, blanks and all.
  std::string_view first = file.bytes.substr(0, file.bytes.find('\n'));
  if (first.ends_with('\r')) first.remove_suffix(1);
  std::string ending = " " + PositionText(satellite->position);
  if (first.starts_with("# ") && first.size() > 2 + ending.size() && first.ends_with(ending)) {
    satellite->name = std::string(first.substr(2, first.size() - 2 - ending.size()));
  }
  sink.FindOrAddSatellite(satellite->name, satellite->position, TextEncoding::kUtf8);
  for (const Entry& entry : ReadEntries(file.bytes)) sink.AddTransponder(entry.offered);
  sink.EndSatellite(satellite->name.empty() ? file.name : std::string_view(satellite->name));
  return FileReadResult::kRead;
}

namespace {

// The channel file text, and how many streams it wrote as one block with
// the stream before them.
std::string SatelliteText(const SatelliteRecord& satellite, size_t& merged) {
  std::string text;
  text.reserve(48 + satellite.Name.size() + 160 * size_t{satellite.Count()});
  // The collection's files open with a comment naming the satellite; here
  // it keeps the name with its blanks, which the file name cannot.
  text += "# ";
  text += TextForFile(TextInEncoding(satellite.Name, satellite.NameEncoding, TextEncoding::kUtf8));
  text += ' ';
  text += PositionText(satellite.Position);
  text += '\n';
  // Streams told apart only by what the format cannot say (T2-MI PLPs)
  // would give the same block again: it is written once.
  size_t lastBlock = text.size();
  for (const TransponderRecord& t : satellite.Transponders) {
    if (!IsWritten(t)) continue;
    size_t start = text.size();
    AppendBlock(text, t);
    std::string_view block = std::string_view(text).substr(start);
    if (start > lastBlock && std::string_view(text).substr(lastBlock, start - lastBlock) == block) {
      text.resize(start);
      ++merged;
    } else {
      lastBlock = start;
    }
  }
  return text;
}

}  // namespace

std::string Dvbv5SatelliteText(const SatelliteRecord& satellite) {
  size_t merged = 0;
  return SatelliteText(satellite, merged);
}

size_t Dvbv5MergedStreams(const SatelliteRecord& satellite) {
  size_t merged = 0;
  (void)SatelliteText(satellite, merged);
  return merged;
}

void WriteDvbv5Files(const Catalogue& catalogue, const WriterContext& context) {
  context.out << "Writting dvbv5 channel files..." << '\n';
  for (const SatelliteRecord& satellite : catalogue.Satellites()) {
    if (std::none_of(satellite.Transponders.begin(), satellite.Transponders.end(), IsWritten)) continue;
    std::string text = Dvbv5SatelliteText(satellite);
    OutputFile file = AnnounceAndCreate(
        context.out, [&satellite](int64_t copy) { return Dvbv5FileName(satellite, copy); });
    file.Write(text);
    file.Close();
  }
}

}  // namespace kavrel
