#include "formats/enigma2_file.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "catalogue/code_table.h"
#include "formats/text_output.h"
#include "formats/xml_text.h"
#include "platform/int_text.h"
#include "platform/file_system.h"
#include "platform/unique_file_name.h"

namespace kavrel {

namespace {

constexpr std::array<CodePair<uint8_t, int32_t>, 2> kSystemCodes{{
    {kKindDvbS, 0},
    {kKindDvbS2, 1},
}};

// Reading takes the first pair of a fraction's code, writing the pair of
// the fraction; the unknown FEC reads from 0 and 15 and writes 0.
constexpr std::array<CodePair<FecFraction, int32_t>, 12> kFecCodes{{
    {{0, 0}, 0},
    {{1, 2}, 1},
    {{2, 3}, 2},
    {{3, 4}, 3},
    {{5, 6}, 4},
    {{7, 8}, 5},
    {{8, 9}, 6},
    {{3, 5}, 7},
    {{4, 5}, 8},
    {{9, 10}, 9},
    {{6, 7}, 10},
    {{0, 0}, 15},
}};

constexpr std::array<CodePair<uint8_t, int32_t>, 6> kModulationCodes{{
    {kModulationAuto, 0},
    {kModulationQpsk, 1},
    {kModulation8psk, 2},
    {kModulationQam16, 3},
    {kModulation16apsk, 4},
    {kModulation32apsk, 5},
}};

constexpr std::array<CodePair<uint8_t, int32_t>, 4> kRollOffCodes{{
    {kRollOff35, 0},
    {kRollOff25, 1},
    {kRollOff20, 2},
    {kRollOffAuto, 3},
}};

constexpr std::array<CodePair<uint8_t, int32_t>, 3> kPilotCodes{{
    {kPilotOff, 0},
    {kPilotOn, 1},
    {kPilotUnknown, 2},
}};

constexpr std::array<CodePair<uint8_t, int32_t>, 3> kPlsModeCodes{{
    {kPlsRoot, 0},
    {kPlsGold, 1},
    {kPlsCombo, 2},
}};

// The name as a UTF-8 attribute value. "&", "<", ">" and '"' become
// entities (the receivers' parser would reject the whole file for one of
// them); control characters, which XML does not allow at all, become
// blanks, as an XML parser would turn a tab or line break in a value; the
// two non-characters U+FFFE and U+FFFF, which valid UTF-8 can hold but XML
// cannot, become the replacement character.
void AppendEscapedName(std::string& line, const SatelliteRecord& satellite) {
  std::string name = TextInEncoding(satellite.Name, satellite.NameEncoding, TextEncoding::kUtf8);
  for (size_t at = 0; at < name.size(); ++at) {
    char c = name[at];
    switch (c) {
      case '&': line += "&amp;"; continue;
      case '<': line += "&lt;"; continue;
      case '>': line += "&gt;"; continue;
      case '"': line += "&quot;"; continue;
      default: break;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      line += ' ';
    } else if (c == '\xEF' && name.compare(at, 2, "\xEF\xBF") == 0 && at + 2 < name.size() &&
               (name[at + 2] == '\xBE' || name[at + 2] == '\xBF')) {
      line += "\xEF\xBF\xBD";
      at += 2;
    } else {
      line += c;
    }
  }
}

// One transponder line, assembled in a reused string and written at once;
// none for a polarization without a code (admission lets none in).
void WriteTransponder(OutputFile& file, const TransponderRecord& t, std::string& line) {
  // Both dialects code polarizations alike.
  char polarization = XmlPolarizationCode(t.Polarization);
  if (!PolarizationFromXmlCode(polarization)) return;
  auto number = [&](std::string_view name, int64_t value) {
    line += name;
    AppendDecimal(line, value);
    line += '"';
  };
  line.clear();
  number("\t\t<transponder frequency=\"",
         static_cast<int64_t>(t.Frequency) * 1000 + std::min<int64_t>(t.Details.FrequencyKhz, 999));
  number(" symbol_rate=\"", static_cast<int64_t>(t.SymbolRate) * 1000);
  line += " polarization=\"";
  line += polarization;
  line += '"';
  number(" fec_inner=\"", Enigma2FecCode({t.FecNumerator, t.FecDenominator}));
  number(" system=\"", t.SystemKind == kKindDvbS2 ? 1 : 0);
  number(" modulation=\"", Enigma2ModulationCode(t));
  const TransponderDetails& d = t.Details;
  if (auto code = Enigma2RollOffCode(d.RollOff)) number(" rolloff=\"", *code);
  if (auto code = Enigma2PilotCode(d.Pilot)) number(" pilot=\"", *code);
  if (d.StreamId >= 0 && d.StreamId <= kMaxStreamId) number(" is_id=\"", d.StreamId);
  std::optional<int32_t> plsMode = Enigma2PlsModeCode(d.PlsMode);
  if (plsMode) number(" pls_mode=\"", *plsMode);
  // A mode goes with its code: a receiver given a mode alone would take a
  // code of its own choosing.
  if ((plsMode || d.PlsCode != 0) && d.PlsCode <= kMaxPlsCode) number(" pls_code=\"", d.PlsCode);
  if (d.T2miPlpId >= 0 && d.T2miPlpId <= kMaxStreamId) number(" t2mi_plp_id=\"", d.T2miPlpId);
  if (d.T2miPid != 0 && d.T2miPid <= kMaxPid) number(" t2mi_pid=\"", d.T2miPid);
  line += " />\n";
  file.Write(line);
}

bool IsWritten(const TransponderRecord& t) { return t.SystemKind == kKindDvbS || t.SystemKind == kKindDvbS2; }

// The dialect's attributes of a transponder line, found in one pass: the
// value of each (the first, when one repeats) as it stands in the line.
enum DialectAttribute : size_t {
  kFrequency, kSymbolRate, kPolarization, kFecInner, kSystem, kModulation, kRollOff,
  kPilot, kIsId, kPlsMode, kPlsCode, kT2miPlpId, kT2miPid, kDialectAttributes,
};
constexpr std::array<std::string_view, kDialectAttributes> kDialectNames{
    "frequency", "symbol_rate", "polarization", "fec_inner", "system", "modulation", "rolloff",
    "pilot", "is_id", "pls_mode", "pls_code", "t2mi_plp_id", "t2mi_pid",
};
using DialectValues = std::array<std::optional<std::string_view>, kDialectAttributes>;

// Walks name="value" pairs (either quote) after the element name; stops at
// the first thing that is not one, such as "/>".
DialectValues DialectAttributesOf(std::string_view line) {
  DialectValues values;
  size_t at = line.find_first_of(" \t");
  auto skipBlanks = [&] {
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  };
  while (at < line.size()) {
    skipBlanks();
    size_t nameStart = at;
    while (at < line.size() && line[at] != '=' && line[at] != ' ' && line[at] != '\t' && line[at] != '/' &&
           line[at] != '>' && line[at] != '"' && line[at] != '\'') {
      ++at;
    }
    std::string_view name = line.substr(nameStart, at - nameStart);
    skipBlanks();
    if (name.empty() || at >= line.size() || line[at] != '=') break;
    ++at;
    skipBlanks();
    if (at >= line.size() || (line[at] != '"' && line[at] != '\'')) break;
    size_t close = line.find(line[at], at + 1);
    if (close == std::string_view::npos) break;
    std::string_view value = line.substr(at + 1, close - at - 1);
    at = close + 1;
    for (size_t i = 0; i < kDialectAttributes; ++i) {
      if (name == kDialectNames[i] && !values[i]) values[i] = value;
    }
  }
  return values;
}

// A whole decimal number of the dialect (references decoded), or nothing.
std::optional<int32_t> DialectNumber(const std::optional<std::string_view>& value) {
  if (!value) return std::nullopt;
  if (value->find('&') == std::string_view::npos) return ParseWholeNumber(*value);
  return ParseWholeNumber(DecodeXmlReferences(*value, TextEncoding::kLatin1));
}

// A number within [low, high], or nothing.
std::optional<int32_t> DialectNumberIn(const std::optional<std::string_view>& value, int32_t low, int32_t high) {
  std::optional<int32_t> number = DialectNumber(value);
  if (number && (*number < low || *number > high)) return std::nullopt;
  return number;
}

// A transponder of today's satellites.xml. Frequency, symbol rate,
// polarization and system must make sense or the entry is passed over;
// any other attribute that is missing or holds no value of its code is
// left unset (FEC unknown, modulation not given, no stream), which the
// receivers read as their defaults: automatic FEC, no input stream, the
// default scrambling sequence, the tuner's roll-off and pilot.
void ReadDialectTransponder(SatelliteSink& sink, const DialectValues& values) {
  std::optional<int32_t> kilohertz = DialectNumberIn(values[kFrequency], 1000, INT32_MAX);
  std::optional<int32_t> symbolRate = DialectNumberIn(values[kSymbolRate], 1000, INT32_MAX);
  std::optional<int32_t> polarization = DialectNumberIn(values[kPolarization], 0, 3);
  std::optional<int32_t> systemCode = DialectNumber(values[kSystem]);
  std::optional<uint8_t> kind = systemCode ? SystemKindFromEnigma2Code(*systemCode) : std::nullopt;
  if (!kilohertz || !symbolRate || !polarization || !kind) return;

  OfferedTransponder offered;
  offered.Frequency = *kilohertz / 1000;
  offered.Details.FrequencyKhz = static_cast<uint16_t>(*kilohertz % 1000);
  offered.SymbolRate = *symbolRate / 1000;
  offered.Polarization = PolarizationFromXmlCode(static_cast<char>('0' + *polarization)).value_or('\0');
  offered.SystemKind = *kind;
  if (auto code = DialectNumber(values[kFecInner])) {
    FecFraction fec = FecFromEnigma2Code(*code).value_or(FecFraction{});
    offered.FecNumerator = fec.numerator;
    offered.FecDenominator = fec.denominator;
  }
  if (auto code = DialectNumber(values[kModulation])) {
    offered.Modulation = ModulationFromEnigma2Code(*code).value_or(kModulationNone);
  }
  TransponderDetails& details = offered.Details;
  if (auto code = DialectNumber(values[kRollOff])) details.RollOff = RollOffFromEnigma2Code(*code).value_or(kRollOffUnset);
  if (auto code = DialectNumber(values[kPilot])) details.Pilot = PilotFromEnigma2Code(*code).value_or(kPilotUnset);
  if (auto code = DialectNumber(values[kPlsMode])) details.PlsMode = PlsModeFromEnigma2Code(*code).value_or(kPlsUnset);
  // -1, which some files write for "no stream", is out of range like any
  // other value and so leaves the stream unset as well.
  if (auto id = DialectNumberIn(values[kIsId], 0, kMaxStreamId)) details.StreamId = static_cast<int16_t>(*id);
  if (auto code = DialectNumberIn(values[kPlsCode], 0, kMaxPlsCode)) details.PlsCode = static_cast<uint32_t>(*code);
  if (auto id = DialectNumberIn(values[kT2miPlpId], 0, kMaxStreamId)) details.T2miPlpId = static_cast<int16_t>(*id);
  if (auto pid = DialectNumberIn(values[kT2miPid], 0, kMaxPid)) details.T2miPid = static_cast<uint16_t>(*pid);
  if (offered.Frequency != 0 && offered.SymbolRate != 0) sink.AddTransponder(offered);
}


}  // namespace

std::optional<uint8_t> SystemKindFromEnigma2Code(int32_t code) {
  return ValueOf<uint8_t, int32_t>(kSystemCodes, code);
}

std::optional<FecFraction> FecFromEnigma2Code(int32_t code) {
  return ValueOf<FecFraction, int32_t>(kFecCodes, code);
}

int32_t Enigma2FecCode(FecFraction fec) { return CodeOf<FecFraction, int32_t>(kFecCodes, fec).value_or(0); }

std::optional<uint8_t> ModulationFromEnigma2Code(int32_t code) {
  return ValueOf<uint8_t, int32_t>(kModulationCodes, code);
}

int32_t Enigma2ModulationCode(const TransponderRecord& transponder) {
  // DVB-S has only QPSK, and a receiver may refuse to tune DVB-S with any
  // other value. For DVB-S2 the receivers' "automatic" lets the tuner take
  // the modulation the signal announces in its frame headers, where QPSK
  // or 8PSK would be a guess that fails for the other half of the sources
  // that do not say.
  if (transponder.SystemKind != kKindDvbS2) return 1;
  return CodeOf<uint8_t, int32_t>(kModulationCodes, transponder.Modulation).value_or(0);
}

std::optional<uint8_t> RollOffFromEnigma2Code(int32_t code) {
  return ValueOf<uint8_t, int32_t>(kRollOffCodes, code);
}

std::optional<int32_t> Enigma2RollOffCode(uint8_t rollOff) {
  return CodeOf<uint8_t, int32_t>(kRollOffCodes, rollOff);
}

std::optional<uint8_t> PilotFromEnigma2Code(int32_t code) { return ValueOf<uint8_t, int32_t>(kPilotCodes, code); }

std::optional<int32_t> Enigma2PilotCode(uint8_t pilot) { return CodeOf<uint8_t, int32_t>(kPilotCodes, pilot); }

std::optional<uint8_t> PlsModeFromEnigma2Code(int32_t code) {
  return ValueOf<uint8_t, int32_t>(kPlsModeCodes, code);
}

std::optional<int32_t> Enigma2PlsModeCode(uint8_t plsMode) {
  return CodeOf<uint8_t, int32_t>(kPlsModeCodes, plsMode);
}

bool ReadEnigma2Transponder(SatelliteSink& sink, std::string_view line) {
  DialectValues values = DialectAttributesOf(line);
  if (!values[kSystem]) return false;
  ReadDialectTransponder(sink, values);
  return true;
}

void WriteEnigma2File(const Catalogue& catalogue, const WriterContext& context) {
  context.out << "Writting Enigma2 XML file..." << '\n';
  if (catalogue.Satellites().empty()) return;
  OutputFile file = CreateUniqueFile("satellites.xml");
  WriteLfLine(file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  WriteLfLine(file, "<satellites>");
  std::string line;
  for (const SatelliteRecord& satellite : catalogue.Satellites()) {
    // Every stream of a frequency is a transponder of its own here.
    const auto& list = satellite.Transponders;
    if (std::none_of(list.begin(), list.end(), IsWritten)) continue;
    line.assign("\t<sat name=\"");
    AppendEscapedName(line, satellite);
    line += "\" flags=\"";
    AppendDecimal(line, satellite.Flags);
    line += "\" position=\"";
    // West positions are written as negative tenths.
    AppendDecimal(line, SignedPosition(satellite.Position));
    line += "\">";
    WriteLfLine(file, line);
    for (const TransponderRecord& t : list) {
      if (IsWritten(t)) WriteTransponder(file, t, line);
    }
    WriteLfLine(file, "\t</sat>");
  }
  WriteLfLine(file, "</satellites>");
  file.Close();
}

}  // namespace kavrel
