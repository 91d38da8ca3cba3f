#include "formats/xml_file.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "formats/enigma2_file.h"
#include "formats/text_output.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/line_reader.h"
#include "platform/text_encoding.h"
#include "platform/text.h"
#include "platform/unique_file_name.h"

namespace kavrel {

namespace {

constexpr std::array<CodePair<char, char>, 4> kPolarizationCodes{{
    {'H', '0'},
    {'V', '1'},
    {'L', '2'},
    {'R', '3'},
}};

// fec_inner holds only a numerator; the reader takes the fraction n/(n+1)
// for it, the usual fraction with that numerator.
constexpr std::array<CodePair<FecFraction, char>, 8> kFecCodes{{
    {{1, 2}, '1'},
    {{2, 3}, '2'},
    {{3, 4}, '3'},
    {{4, 5}, '4'},
    {{5, 6}, '5'},
    {{6, 7}, '6'},
    {{7, 8}, '7'},
    {{8, 9}, '8'},
}};

// "&" would start an entity, "<" may not stand in an attribute value and
// '"' would end it early: a receiver's XML parser would reject the whole
// file for one such name. They all become "-"; control characters, which
// XML does not allow, become blanks.
std::string XmlSafeName(std::string_view name) {
  std::string safe = TextForFile(name);
  for (char& c : safe) {
    if (c == '&' || c == '<' || c == '"') c = '-';
  }
  return safe;
}

void AppendAttribute(std::string& line, std::string_view name, int64_t value) {
  line += name;
  line += "=\"";
  AppendDecimal(line, value);
  line += '"';
}

void WriteSatellite(OutputFile& file, const SatelliteRecord& satellite, std::string& line) {
  line.assign("\t<sat name=\"");
  line += XmlSafeName(Latin1Name(satellite));
  line += "\" flags=\"5\" ";
  // West positions are written as negative tenths.
  AppendAttribute(line, "position", SignedPosition(satellite.Position));
  line += '>';
  WriteLfLine(file, line);
  // Transponder lines are the bulk of the file: each is assembled in a
  // fixed buffer, its line break included, and written at once.
  for (const TransponderRecord& t : satellite.Transponders.FirstStreams()) {
    if (t.SystemKind != kKindDvbS) continue;
    // The longest line is 106 bytes (two 32-bit values times 1000 with
    // their signs); every piece is still bounded by the buffer's end.
    char buffer[128];
    char* end = buffer + sizeof buffer;
    auto put = [end](char* at, std::string_view text) {
      size_t room = static_cast<size_t>(end - at);
      return std::copy_n(text.begin(), std::min(room, text.size()), at);
    };
    char* at = put(buffer, "\t\t<transponder frequency=\"");
    at = std::to_chars(at, end, static_cast<int64_t>(t.Frequency) * 1000).ptr;
    at = put(at, "\" symbol_rate=\"");
    at = std::to_chars(at, end, static_cast<int64_t>(t.SymbolRate) * 1000).ptr;
    at = put(at, "\" polarization=\"");
    char polarization = XmlPolarizationCode(t.Polarization);
    at = put(at, std::string_view(&polarization, 1));
    at = put(at, "\" fec_inner=\"");
    at = std::to_chars(at, end, t.FecNumerator).ptr;
    at = put(at, "\"/>\n");
    file.Write(std::string_view(buffer, static_cast<size_t>(at - buffer)));
  }
  WriteLfLine(file, "\t</sat>");
}

// A name such as "Example Sat (13.0E)" loses its remark.
std::string NameWithoutRemark(std::string name) {
  size_t paren = name.rfind('(');
  if (paren != std::string::npos) name.resize(paren);
  return TrimmedText(name);
}

bool IsAttributeNameEnd(std::string_view line, size_t at) {
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  return at < line.size() && line[at] == '=';
}

// The character a reference names (the text between "&" and ";"), or
// nothing when it names none.
std::optional<uint32_t> ReferencedCharacter(std::string_view reference) {
  if (reference == "amp") return '&';
  if (reference == "lt") return '<';
  if (reference == "gt") return '>';
  if (reference == "quot") return '"';
  if (reference == "apos") return '\'';
  if (reference.size() < 2 || reference[0] != '#') return std::nullopt;
  int base = 10;
  reference.remove_prefix(1);
  if (reference[0] == 'x' || reference[0] == 'X') {
    base = 16;
    reference.remove_prefix(1);
  }
  uint32_t codePoint = 0;
  auto [end, error] = std::from_chars(reference.data(), reference.data() + reference.size(), codePoint, base);
  if (error != std::errc() || end != reference.data() + reference.size()) return std::nullopt;
  if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return std::nullopt;
  return codePoint;
}

// The longest text between "&" and ";" that can name a character: "#x"
// and six digits, or leading zeros before them.
constexpr size_t kLongestReference = 12;

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

// The transponder line of a file without the "system" attribute, read
// exactly as kavrel always read it.
void ReadClassicTransponder(SatelliteSink& sink, std::string_view line) {
  OfferedTransponder offered;
  int32_t kilohertz = IntegerTextOr(XmlAttributeValue(line, "frequency"), 0);
  offered.Frequency = kilohertz / 1000;
  // The MHz are what every rule and the original formats use; the kHz go
  // beside them for the formats that write them back.
  if (kilohertz > 0) offered.Details.FrequencyKhz = static_cast<uint16_t>(kilohertz % 1000);
  offered.SymbolRate = IntegerTextOr(XmlAttributeValue(line, "symbol_rate"), 0) / 1000;
  std::string fec = XmlAttributeValue(line, "fec_inner");
  FecFraction fraction = FecFromXmlCode(fec.empty() ? '\0' : fec[0]);
  offered.FecNumerator = fraction.numerator;
  offered.FecDenominator = fraction.denominator;
  std::string polarization = XmlAttributeValue(line, "polarization");
  // Without a letter the transponder goes on with code 0, which
  // admission refuses like any other unknown polarization.
  offered.Polarization =
      polarization.empty() ? '\0' : PolarizationFromXmlCode(polarization[0]).value_or('\0');
  offered.SystemKind = kKindDvbS;
  if (offered.Frequency != 0 && offered.SymbolRate != 0) sink.AddTransponder(offered);
}

}  // namespace

std::string DecodeXmlReferences(std::string_view value, TextEncoding encoding) {
  std::string decoded;
  decoded.reserve(value.size());
  size_t at = 0;
  for (size_t amp = value.find('&'); amp != std::string_view::npos; amp = value.find('&', at)) {
    decoded.append(value.substr(at, amp - at));
    at = amp + 1;
    size_t semicolon = value.substr(0, amp + 2 + kLongestReference).find(';', amp + 1);
    std::optional<uint32_t> character;
    if (semicolon != std::string_view::npos) character = ReferencedCharacter(value.substr(amp + 1, semicolon - amp - 1));
    if (!character) {
      decoded += '&';
      continue;
    }
    at = semicolon + 1;
    if (*character < 0x20) {
      decoded += ' ';
    } else if (encoding == TextEncoding::kUtf8) {
      decoded += Utf8Of(*character).value_or("?");
    } else {
      decoded += *character <= 0xFF ? static_cast<char>(*character) : '?';
    }
  }
  decoded.append(value.substr(at));
  return decoded;
}

std::optional<TextEncoding> XmlDeclaredEncoding(std::string_view declaration) {
  for (size_t at = declaration.find("encoding"); at != std::string_view::npos;
       at = declaration.find("encoding", at + 1)) {
    size_t open = at + 8;
    while (open < declaration.size() && (declaration[open] == ' ' || declaration[open] == '\t')) ++open;
    if (open >= declaration.size() || declaration[open] != '=') continue;
    ++open;
    while (open < declaration.size() && (declaration[open] == ' ' || declaration[open] == '\t')) ++open;
    if (open >= declaration.size() || (declaration[open] != '"' && declaration[open] != '\'')) continue;
    size_t close = declaration.find(declaration[open], open + 1);
    if (close == std::string_view::npos) break;
    std::string_view name = TrimBlanks(declaration.substr(open + 1, close - open - 1));
    bool utf8 = EqualsIgnoringAsciiCase(name, "UTF-8") || EqualsIgnoringAsciiCase(name, "UTF8");
    return utf8 ? TextEncoding::kUtf8 : TextEncoding::kLatin1;
  }
  return std::nullopt;
}

char XmlPolarizationCode(char letter) {
  return CodeOf<char, char>(kPolarizationCodes, letter).value_or(letter);
}

std::optional<char> PolarizationFromXmlCode(char code) {
  return ValueOf<char, char>(kPolarizationCodes, code);
}

FecFraction FecFromXmlCode(char code) {
  return ValueOf<FecFraction, char>(kFecCodes, code).value_or(FecFraction{});
}

std::string XmlAttributeValue(std::string_view line, std::string_view name) {
  if (name.empty()) return std::string();
  for (size_t at = line.find(name); at != std::string_view::npos; at = line.find(name, at + 1)) {
    bool startsAttribute = at > 0 && (line[at - 1] == ' ' || line[at - 1] == '\t');
    if (!startsAttribute || !IsAttributeNameEnd(line, at + name.size())) continue;
    size_t open = line.find('"', at + name.size());
    if (open == std::string_view::npos) return std::string();
    size_t close = line.find('"', open + 1);
    if (close == std::string_view::npos) return std::string();
    return std::string(line.substr(open + 1, close - open - 1));
  }
  return std::string();
}

void WriteXmlFile(const Catalogue& catalogue, const WriterContext& context) {
  context.out << "Writting XML file..." << '\n';
  if (catalogue.Satellites().empty()) return;
  OutputFile file = CreateUniqueFile("satellites.xml");
  WriteLfLine(file, "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>");
  WriteLfLine(file, "<satellites>");
  std::string line;
  for (const SatelliteRecord& satellite : catalogue.Satellites()) {
    WriteSatellite(file, satellite, line);
  }
  WriteLfLine(file, "</satellites>");
  file.Close();
}

FileReadResult ReadXmlFile(SatelliteSink& sink, const SourceText& file) {
  AnnounceLoading(sink.out(), "XML", file.name);
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::string_view bytes = file.bytes;
  // A byte order mark says UTF-8 as a declaration does.
  TextEncoding encoding = bytes.starts_with(kByteOrderMark) ? TextEncoding::kUtf8 : TextEncoding::kLatin1;
  if (encoding == TextEncoding::kUtf8) bytes.remove_prefix(kByteOrderMark.size());
  LineReader reader(bytes);
  std::string scratch;
  std::string satelliteName;
  bool namesSatellite = false, closed = false;
  while (!reader.AtEnd()) {
    std::string_view text = reader.ReadPageLineView(scratch);
    std::string_view line = TrimBlanks(text);
    if (line.starts_with("<sat ")) {
      std::string name = XmlAttributeValue(line, "name");
      if (name.find('&') != std::string::npos) name = DecodeXmlReferences(name, encoding);
      satelliteName = NameWithoutRemark(std::move(name));
      int32_t position = IntegerTextOr(XmlAttributeValue(line, "position"), 0);
      if (position < 0) position += kFullCircle;
      // Files of other programs put the position into the name instead:
      // "0130 Example".
      int32_t leadingNumber = IntegerTextOr(Leading(satelliteName, 4), 0);
      if (leadingNumber != 0 && position == 0) {
        position = leadingNumber;
        satelliteName = TrimmedText(After(satelliteName, 4));
      }
      sink.FindOrAddSatellite(satelliteName, position, encoding);
      // The receivers' flags of the satellite go back into their file.
      std::optional<int32_t> flags = ParseWholeNumber(XmlAttributeValue(line, "flags"));
      sink.SetSatelliteFlags(flags && *flags > 0 ? static_cast<uint32_t>(*flags) : 0);
      namesSatellite = true;
    } else if (line.starts_with("<transponder ")) {
      DialectValues values = DialectAttributesOf(line);
      if (values[kSystem]) {
        ReadDialectTransponder(sink, values);
      } else {
        ReadClassicTransponder(sink, line);
      }
    } else if (line.starts_with("</sat>")) {
      sink.EndSatellite(satelliteName);
    } else if (line.starts_with("</satellites")) {
      closed = true;
    } else if (line.starts_with("<?xml")) {
      encoding = XmlDeclaredEncoding(line).value_or(encoding);
    }
  }
  // What a cut file held is read; the cut is said all the same.
  if (!namesSatellite) return FileReadResult::kNoSatellite;
  return closed ? FileReadResult::kRead : FileReadResult::kEndsEarly;
}

}  // namespace kavrel
