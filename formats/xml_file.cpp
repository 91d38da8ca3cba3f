#include "formats/xml_file.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "formats/text_output.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/line_reader.h"
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
// file for one such name. They all become "-".
std::string XmlSafeName(std::string_view name) {
  std::string safe(name);
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
    char buffer[128];
    char* end = buffer + sizeof buffer;
    auto put = [](char* at, std::string_view text) {
      return std::copy(text.begin(), text.end(), at);
    };
    char* at = put(buffer, "\t\t<transponder frequency=\"");
    at = std::to_chars(at, end, static_cast<int64_t>(t.Frequency) * 1000).ptr;
    at = put(at, "\" symbol_rate=\"");
    at = std::to_chars(at, end, static_cast<int64_t>(t.SymbolRate) * 1000).ptr;
    at = put(at, "\" polarization=\"");
    *at++ = XmlPolarizationCode(t.Polarization);
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

}  // namespace

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

ProducerResult ReadXmlFile(SatelliteSink& sink, const SourceText& file) {
  AnnounceLoading(sink.out(), "XML", file.name);
  LineReader reader(file.bytes);
  std::string scratch;
  std::string satelliteName;
  while (!reader.AtEnd()) {
    std::string_view text = reader.ReadPageLineView(scratch);
    std::string_view line = TrimBlanks(text);
    if (line.starts_with("<sat ")) {
      satelliteName = NameWithoutRemark(XmlAttributeValue(line, "name"));
      int32_t position = IntegerTextOr(XmlAttributeValue(line, "position"), 0);
      if (position < 0) position += kFullCircle;
      // Files of other programs put the position into the name instead:
      // "0130 Example".
      int32_t leadingNumber = IntegerTextOr(Leading(satelliteName, 4), 0);
      if (leadingNumber != 0 && position == 0) {
        position = leadingNumber;
        satelliteName = TrimmedText(After(satelliteName, 4));
      }
      sink.FindOrAddSatellite(satelliteName, position);
    } else if (line.starts_with("<transponder ")) {
      OfferedTransponder offered;
      offered.Frequency = IntegerTextOr(XmlAttributeValue(line, "frequency"), 0) / 1000;
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
    } else if (line.starts_with("</sat>")) {
      sink.EndSatellite(satelliteName);
    }
  }
  return ProducerResult::kRead;
}

}  // namespace kavrel
