#include "formats/xml_file.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "formats/enigma2_file.h"
#include "formats/text_output.h"
#include "formats/xml_text.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/line_reader.h"
#include "platform/text_encoding.h"
#include "platform/text.h"
#include "platform/unique_file_name.h"

namespace kavrel {

namespace {

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

FecFraction FecFromXmlCode(char code) {
  return ValueOf<FecFraction, char>(kFecCodes, code).value_or(FecFraction{});
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
      if (!ReadEnigma2Transponder(sink, line)) ReadClassicTransponder(sink, line);
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
