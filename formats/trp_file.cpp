#include "formats/trp_file.h"

#include <cstdlib>
#include <string_view>

#include "formats/text_output.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/unique_file_name.h"

namespace kavrel {

namespace {

constexpr std::string_view kRuleLine =
    "[***************************************************************]";
constexpr std::string_view kEndLine = "[END OF LIST\t\t\t\t\t\t\t]";

// The longest file name the file system takes, and the longest ending a
// numbered name adds: "(2147483647).trp".
constexpr size_t kMaxFileName = 255;
constexpr size_t kMaxNumberedEnding = 16;

std::string TrpFileName(const std::string& base, int64_t index) {
  if (index == 0) return base + ".trp";
  return base + "(" + DecimalText(index) + ").trp";
}

// A name too long for a file name would end the run with nothing but an
// error; such names are cut so that every numbered variant still fits.
std::string TrpBase(const SatelliteRecord& satellite) {
  std::string position = TrpPositionText(satellite.Position);
  std::string name = SafeFileName(Latin1Name(satellite));
  GuardLeadingCharacter(name);
  size_t room = kMaxFileName - kMaxNumberedEnding - position.size();
  if (name.size() > room) name.resize(room);
  return name + position;
}

void AppendTransponderLine(std::string& line, const TransponderRecord& t) {
  line.clear();
  AppendPaddedDecimal(line, static_cast<int64_t>(t.Frequency) * 1000, 8);
  line += '\t';
  AppendPaddedDecimal(line, static_cast<int64_t>(t.SymbolRate) * 1000, 8);
  line += '\t';
  line += t.Polarization;
  line += "\tN\t. .\tDIGITAL";
}

}  // namespace

std::string SafeFileName(std::string_view text) {
  std::string safe(text);
  for (char& c : safe) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E || std::string_view("*?:/\\<>\"|").find(c) != std::string_view::npos) {
      c = '_';
    }
  }
  return safe;
}

std::string TrpPositionText(int32_t position) {
  int64_t tenths = SignedPosition(position);
  int64_t magnitude = std::llabs(tenths);
  std::string text = "(";
  AppendDecimal(text, magnitude / 10);
  text += '.';
  AppendDecimal(text, magnitude % 10);
  text += tenths > 0 ? "e)" : "w)";
  return text;
}

void WriteTrpSatellite(const WriterContext& context, const SatelliteRecord& satellite) {
  std::string base = TrpBase(satellite);
  OutputFile file = AnnounceAndCreate(context.out, [&base](int64_t index) { return TrpFileName(base, index); });
  WriteLfLine(file, kRuleLine);
  WriteLfLine(file, "[TRANSPONDERLIST " + TextForFile(Latin1Name(satellite)) + "\t\tBY KLEMAR VIDEOWORKS    ]");
  WriteLfLine(file, kRuleLine);
  std::string line;
  for (const TransponderRecord& t : satellite.Transponders.FirstStreams()) {
    if (t.SystemKind != kKindDvbS && t.SystemKind != kKindDvbS2) continue;
    AppendTransponderLine(line, t);
    WriteLfLine(file, line);
  }
  WriteLfLine(file, kRuleLine);
  WriteLfLine(file, kEndLine);
  WriteLfLine(file, kRuleLine);
  file.Close();
}

void WriteTrpFiles(const Catalogue& catalogue, const WriterContext& context) {
  context.out << "Writting TRP file(s)..." << '\n';
  for (const SatelliteRecord& satellite : catalogue.Satellites()) {
    WriteTrpSatellite(context, satellite);
  }
}

}  // namespace kavrel
