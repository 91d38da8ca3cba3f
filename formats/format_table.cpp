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
     {kKindDvbS}, false},
    {kFormatIni2, "I2", "ini2", {kKindDvbS2},
     [](const Catalogue& c, const WriterContext& w) { WriteIniFiles(c, w, IniLayout::kI2); },
     {kKindDvbS, kKindDvbS2}, false},
    {kFormatIni3, "I3", "ini3", {kKindDvbS2, kKindDss},
     [](const Catalogue& c, const WriterContext& w) { WriteIniFiles(c, w, IniLayout::kI3); },
     {kKindDvbS, kKindDvbS2, kKindDss}, false},
    {kFormatXml, "X", "xml", {}, WriteXmlFile, {kKindDvbS}, false},
    {kFormatDll, "D", "dll", {}, WriteDllFile, {kKindDvbS, kKindDvbS2}, false},
    {kFormatTrp, "T", "trp", {}, WriteTrpFiles, {kKindDvbS, kKindDvbS2}, false},
    {kFormatKathrein, "K", "kat", {kKindDvbS2}, WriteKathreinFiles, {kKindDvbS, kKindDvbS2}, false},
    {kFormatEnigma2, "E", "enigma2", {kKindDvbS2}, WriteEnigma2File, {kKindDvbS, kKindDvbS2}, true},
    {kFormatDvbv5, "V", "dvbv5", {kKindDvbS2}, WriteDvbv5Files, {kKindDvbS, kKindDvbS2}, true},
};

constexpr InputFormat kInputFormats[] = {
    {".DLL", "DLL", ReadDllFile},
    {".INI", "INI", ReadIniFile},
    {".XML", "XML", ReadXmlFile},
};

}  // namespace

size_t TranspondersLeftOut(const Catalogue& catalogue, const OutputFormat& format) {
  auto held = [&format](uint8_t kind) {
    return kind != 0 && std::find(format.holds.begin(), format.holds.end(), kind) != format.holds.end();
  };
  size_t leftOut = 0;
  for (const SatelliteRecord& satellite : catalogue.Satellites()) {
    size_t written = 0;
    if (format.holdsStreams) {
      for (const TransponderRecord& t : satellite.Transponders) written += held(t.SystemKind);
    } else {
      for (const TransponderRecord& t : satellite.Transponders.FirstStreams()) written += held(t.SystemKind);
    }
    leftOut += satellite.Count() - written;
  }
  return leftOut;
}

const InputFormat* InputFormatOf(std::string_view fileName) {
  size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return nullptr;
  std::string extension = UpperAscii(fileName.substr(dot));
  for (const InputFormat& format : kInputFormats) {
    if (format.extension == extension) return &format;
  }
  return nullptr;
}

void AnnounceLoading(std::ostream& out, std::string_view label, std::string_view name) {
  out << "Loading " << label << " file (" << name << ")..." << '\n';
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
