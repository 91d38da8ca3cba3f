#include "formats/format_table.h"

#include <algorithm>

#include "formats/dll_file.h"
#include "formats/dvbv5_file.h"
#include "formats/enigma2_file.h"
#include "formats/ini_file.h"
#include "formats/kathrein_files.h"
#include "formats/trp_file.h"
#include "formats/xml_file.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr OutputFormat kOutputFormats[] = {
    {kFormatIni1, "I1", "ini1", {},
     [](const Catalogue& c, const WriterContext& w) { WriteIniFiles(c, w, IniLayout::kI1); },
     {kKindDvbS}, false, nullptr, "INI files, one per satellite, for DVB-S"},
    {kFormatIni2, "I2", "ini2", {kKindDvbS2},
     [](const Catalogue& c, const WriterContext& w) { WriteIniFiles(c, w, IniLayout::kI2); },
     {kKindDvbS, kKindDvbS2}, false, nullptr, "INI files with DVB-S2"},
    {kFormatIni3, "I3", "ini3", {kKindDvbS2, kKindDss},
     [](const Catalogue& c, const WriterContext& w) { WriteIniFiles(c, w, IniLayout::kI3); },
     {kKindDvbS, kKindDvbS2, kKindDss}, false, nullptr, "INI files with DVB-S2 and DSS"},
    {kFormatXml, "X", "xml", {}, WriteXmlFile, {kKindDvbS}, false, nullptr, "satellites.xml (DVB-S)"},
    {kFormatDll, "D", "dll", {}, WriteDllFile, {kKindDvbS, kKindDvbS2}, false, nullptr,
     "satellite.dll program list"},
    {kFormatTrp, "T", "trp", {}, WriteTrpFiles, {kKindDvbS, kKindDvbS2}, false, nullptr,
     "TRP transponder lists, one per satellite"},
    {kFormatKathrein, "K", "kat", {kKindDvbS2}, WriteKathreinFiles, {kKindDvbS, kKindDvbS2}, false, nullptr,
     "Kathrein UFS 910 data files"},
    {kFormatEnigma2, "E", "enigma2", {kKindDvbS2}, WriteEnigma2File, {kKindDvbS, kKindDvbS2}, true, nullptr,
     "satellites.xml for Enigma2 receivers (DVB-S2 and multistream)"},
    {kFormatDvbv5, "V", "dvbv5", {kKindDvbS2}, WriteDvbv5Files, {kKindDvbS, kKindDvbS2}, true,
     Dvbv5MergedStreams, "dvbv5 channel files, one per satellite"},
};

// Rows known by content come first: channel files carry no extension of
// their own (the collection names them after the satellite).
constexpr InputFormat kInputFormats[] = {
    {{}, IsDvbv5Text, "dvbv5", ReadDvbv5File},
    {".DLL", nullptr, "DLL", ReadDllFile},
    {".INI", nullptr, "INI", ReadIniFile},
    {".XML", nullptr, "XML", ReadXmlFile},
};

bool Holds(const OutputFormat& format, uint8_t kind) {
  return kind != 0 && std::find(format.holds.begin(), format.holds.end(), kind) != format.holds.end();
}

}  // namespace

size_t TranspondersLeftOut(const Catalogue& catalogue, const OutputFormat& format) {
  size_t leftOut = 0;
  for (const SatelliteRecord& satellite : catalogue.Satellites()) {
    size_t written = 0;
    if (format.holdsStreams) {
      for (const TransponderRecord& t : satellite.Transponders) written += Holds(format, t.SystemKind);
    } else {
      for (const TransponderRecord& t : satellite.Transponders.FirstStreams()) written += Holds(format, t.SystemKind);
    }
    leftOut += satellite.Count() - written;
  }
  return leftOut;
}

size_t StreamsNotToldApart(const Catalogue& catalogue, const OutputFormat& format) {
  if (format.mergesStreams == nullptr) return 0;
  size_t merged = 0;
  for (const SatelliteRecord& satellite : catalogue.Satellites()) merged += format.mergesStreams(satellite);
  return merged;
}

const InputFormat* InputFormatOf(std::string_view fileName) {
  size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return nullptr;
  std::string extension = UpperAscii(fileName.substr(dot));
  for (const InputFormat& format : kInputFormats) {
    if (!format.extension.empty() && format.extension == extension) return &format;
  }
  return nullptr;
}

const InputFormat* InputFormatOf(std::string_view fileName, std::string_view bytes) {
  for (const InputFormat& format : kInputFormats) {
    if (format.probe != nullptr && format.probe(bytes)) return &format;
  }
  return InputFormatOf(fileName);
}

std::vector<std::string> FormatHelpLines() {
  std::string letters;
  std::vector<std::string> lines(1);
  for (const OutputFormat& format : kOutputFormats) {
    std::string lower = LowerAscii(format.letters);
    letters += (letters.empty() ? "" : "|") + lower;
    lines.push_back("     " + lower + " - " + std::string(format.help));
  }
  lines[0] = "    /Format=<" + letters + "> - Format of file(s) with transponders:";
  return lines;
}

const OutputFormat* FindOutputFormat(uint8_t code) {
  for (const OutputFormat& format : kOutputFormats) {
    if (format.code == code) return &format;
  }
  return nullptr;
}

const OutputFormat* FormatOfLetters(std::string_view value) {
  std::string letters = UpperAscii(value.substr(0, 2));
  for (const OutputFormat& format : kOutputFormats) {
    bool matches = format.letters.size() == 2 ? letters == format.letters
                                              : !letters.empty() && letters[0] == format.letters[0];
    if (matches) return &format;
  }
  return nullptr;
}

const OutputFormat* FormatOfConfigName(std::string_view name) {
  for (const OutputFormat& format : kOutputFormats) {
    if (format.configName == name) return &format;
  }
  return nullptr;
}

}  // namespace kavrel
