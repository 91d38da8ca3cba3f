#include "acquisition/input_dispatch.h"

#include <algorithm>

#include "acquisition/http_client.h"
#include "acquisition/response_decoding.h"
#include "acquisition/site_addressing.h"
#include "catalogue/run.h"
#include "formats/dll_file.h"
#include "formats/ini_file.h"
#include "formats/xml_file.h"
#include "parsers/flysat_parser.h"
#include "parsers/kingofsat_parser.h"
#include "parsers/lyngsat_parser.h"
#include "parsers/satcodx_parser.h"
#include "parsers/telesputnik_parser.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace kavrel {

namespace {

// Site names as they stand in addresses and pages, by site type.
constexpr std::string_view kSiteNames[] = {"", "LYNGSAT", "SATCODX", "TELESPUTNIK", "FLYSAT",
                                           "KINGOFSAT"};

// Parses one page. When its parser gives up, the failure is reported and
// the satellite the page was filling is discarded with what it had read.
// Every parser forgets the current satellite when it begins, so a current
// satellite now is one this page named. A page that gave up before naming
// one takes nothing with it: the last satellite then belongs to an earlier
// input, and discarding it would lose that input's data.
void ParsePageOrDiscard(Run& run, const std::string& path, SiteType site) {
  if (ParsePage(run, path, site) == 0) return;
  run.out << "Error while parsing HTML data" << '\n';
  run.catalogue.RemoveCurrentSatellite();
}

// One page of a walk: fetched into a local file, decoded, parsed, and the
// file removed again unless the user keeps downloaded pages.
void FetchAndParsePage(Run& run, const std::string& address, SiteType site) {
  std::string path = LocalPageName(address);
  if (DownloadPage(run, address, path) != 0) return;
  if (DecodeChunked(run, path) && GunzipFile(run, path)) ParsePageOrDiscard(run, path, site);
  if (!run.options.KeepHTML) RemoveFileIfPresent(path);
}

// A range never needs more than one full circle: further positions only
// repeat keys already walked, or name keys outside 0..3599 that no
// configuration holds. The limit keeps a hostile range from walking for
// hours.
constexpr int64_t kMaxWalkPositions = kFullCircle;

void WalkSitePositions(Run& run, SiteType site, int32_t walkStart, int32_t walkEnd) {
  int64_t last = walkEnd;
  if (walkStart > walkEnd) last += kFullCircle;
  last = std::min<int64_t>(last, static_cast<int64_t>(walkStart) + kMaxWalkPositions - 1);
  TIniFile configuration(run.ConfigPath);
  for (int64_t p = walkStart; p <= last; ++p) {
    int32_t key = NormalizePosition(static_cast<int32_t>(p));
    std::string address = FindSitePageAddress(configuration, site, key);
    if (address.empty()) continue;
    FetchAndParsePage(run, address, site);
  }
}

void ProcessLocalFiles(Run& run, const std::string& input) {
  std::string directory = DirectoryPart(input);
  std::string prefix = directory.empty() ? CurrentDirectory() + "/" : directory;
  for (const std::string& name : FindMatchingNames(directory, NamePart(input))) {
    std::string path = prefix + name;
    size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : UpperAscii(name.substr(dot));
    if (extension == ".DLL") {
      ReadDllFile(run, path);
    } else if (extension == ".INI") {
      ReadIniFile(run, path);
    } else if (extension == ".XML") {
      ReadXmlFile(run, path);
    } else {
      ParsePageOrDiscard(run, path, DetectPageSite(path));
    }
  }
}

}  // namespace

InputKind ClassifyInput(std::string_view input) {
  if (UpperAscii(Leading(input, 7)) == "HTTP://") return InputKind::kPageAddress;
  if (input.size() >= 3 && input[0] == '!' && input[2] == '!') return InputKind::kSitePosition;
  return InputKind::kLocalFiles;
}

SitePositionInput ParseSitePositionInput(std::string_view input) {
  SitePositionInput result;
  std::string_view prefix = Leading(input, 3);
  if (prefix == "!l!") result.site = kSiteLyngSat;
  if (prefix == "!s!") result.site = kSiteSatcoDX;
  if (prefix == "!t!") result.site = kSiteTelesputnik;
  if (prefix == "!f!") result.site = kSiteFlySat;
  if (prefix == "!k!") result.site = kSiteKingOfSat;
  std::string_view rest = After(input, 3);
  if (!rest.empty() && rest[0] == '[') {
    PositionRange range = ParsePositionRange(rest);
    result.walkStart = range.start;
    result.walkEnd = range.end;
    return result;
  }
  int32_t position = ParseWholeNumber(rest).value_or(-1);
  if (position < 0) position += kFullCircle;
  result.walkStart = result.walkEnd = position;
  return result;
}

SiteType SiteOfAddress(std::string_view address) {
  std::string upper = UpperAscii(address);
  SiteType site = kSiteNone;
  for (SiteType candidate : {kSiteSatcoDX, kSiteLyngSat, kSiteTelesputnik, kSiteFlySat,
                             kSiteKingOfSat}) {
    if (upper.find(kSiteNames[candidate]) != std::string::npos) site = candidate;
  }
  return site;
}

PositionRange ParsePositionRange(std::string_view text) {
  PositionRange malformed;
  if (text.size() <= 2 || text.front() != '[' || text.back() != ']') return malformed;
  std::string_view inner = text.substr(1, text.size() - 2);
  size_t dash = inner.find('-');
  if (dash == std::string_view::npos) return malformed;
  int32_t positions[2];
  std::string_view ends[2] = {TrimBlanks(inner.substr(0, dash)), TrimBlanks(inner.substr(dash + 1))};
  for (int i = 0; i < 2; ++i) {
    std::string_view end = ends[i];
    if (end.empty()) return malformed;
    char letter = end.back();
    bool west = letter == 'W' || letter == 'w';
    if (!west && letter != 'E' && letter != 'e') return malformed;
    std::optional<int32_t> number = ParseWholeNumber(end.substr(0, end.size() - 1));
    if (!number) return malformed;
    // 32-bit arithmetic that wraps on absurd numbers instead of overflowing.
    positions[i] = west ? static_cast<int32_t>(static_cast<uint32_t>(kFullCircle) - static_cast<uint32_t>(*number))
                        : *number;
  }
  return PositionRange{positions[0], positions[1]};
}

void ProcessInput(Run& run, std::string input) {
  run.catalogue.MergeFlag = !input.empty() && input[0] == '+';
  if (run.catalogue.MergeFlag) input.erase(0, 1);
  switch (ClassifyInput(input)) {
    case InputKind::kPageAddress:
      FetchAndParsePage(run, input, SiteOfAddress(input));
      return;
    case InputKind::kSitePosition: {
      SitePositionInput sitePosition = ParseSitePositionInput(input);
      WalkSitePositions(run, sitePosition.site, sitePosition.walkStart, sitePosition.walkEnd);
      return;
    }
    case InputKind::kLocalFiles:
      ProcessLocalFiles(run, input);
      return;
  }
}

void ProcessListFile(Run& run, const std::string& path) {
  if (!PathExists(path)) return;
  TextFileReader reader(path);
  while (!reader.AtEnd()) {
    std::string line = reader.ReadTextLine();
    size_t blank = line.find(' ');
    if (blank != std::string::npos) {
      Options working = run.SavedOptions;
      if (run.ApplyOptions) run.ApplyOptions(run, line.substr(blank), working);
      run.options = working;
      line.resize(blank);
    } else {
      run.options = run.SavedOptions;
    }
    ProcessInput(run, line);
  }
}

SiteType DetectPageSite(const std::string& path) {
  if (!PathExists(path)) return kSiteNone;
  TextFileReader reader(path);
  while (!reader.AtEnd()) {
    std::string line = UpperAscii(reader.ReadTextLine());
    for (SiteType site : {kSiteLyngSat, kSiteSatcoDX, kSiteTelesputnik, kSiteFlySat,
                          kSiteKingOfSat}) {
      if (line.find(kSiteNames[site]) != std::string::npos) return site;
    }
  }
  return kSiteNone;
}

int ParsePage(Run& run, const std::string& path, SiteType site) {
  switch (site) {
    case kSiteLyngSat: return ParseLyngSatPage(run, path);
    case kSiteSatcoDX: return ParseSatcoDXPage(run, path);
    case kSiteTelesputnik: return ParseTelesputnikPage(run, path);
    case kSiteFlySat: return ParseFlySatPage(run, path);
    case kSiteKingOfSat: return ParseKingOfSatPage(run, path);
    case kSiteNone: break;
  }
  return 0;
}

}  // namespace kavrel
