#include "formats/format_table.h"

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
     [](const Catalogue& c, const WriterContext& w) { WriteIniFiles(c, w, IniLayout::kI1); }},
    {kFormatIni2, "I2", "ini2", {kKindDvbS2},
     [](const Catalogue& c, const WriterContext& w) { WriteIniFiles(c, w, IniLayout::kI2); }},
    {kFormatIni3, "I3", "ini3", {kKindDvbS2, kKindDss},
     [](const Catalogue& c, const WriterContext& w) { WriteIniFiles(c, w, IniLayout::kI3); }},
    {kFormatXml, "X", "xml", {}, WriteXmlFile},
    {kFormatDll, "D", "dll", {}, WriteDllFile},
    {kFormatTrp, "T", "trp", {}, WriteTrpFiles},
    {kFormatKathrein, "K", "kat", {kKindDvbS2}, WriteKathreinFiles},
    {kFormatEnigma2, "E", "enigma2", {kKindDvbS2}, WriteEnigma2File},
    {kFormatDvbv5, "V", "dvbv5", {kKindDvbS2}, WriteDvbv5Files},
};

constexpr InputFormat kInputFormats[] = {
    {".DLL", "DLL", ReadDllFile},
    {".INI", "INI", ReadIniFile},
    {".XML", "XML", ReadXmlFile},
};

}  // namespace

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
