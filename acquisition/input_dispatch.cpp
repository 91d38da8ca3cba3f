#include "acquisition/input_dispatch.h"

#include <algorithm>

#include "acquisition/http_client.h"
#include "acquisition/response_decoding.h"
#include "acquisition/site_addressing.h"
#include "acquisition/web_address.h"
#include "formats/dvbv5_file.h"
#include "formats/format_table.h"
#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/profile_file.h"
#include "platform/text.h"

namespace kavrel {

namespace {

constexpr std::string_view kNotAPage = "neither a transponder file nor a page of a known site";

// Parses one page. When its parser gives up, the sink reports it and
// discards the satellite the page was filling. `input` names the page on
// standard error when it gives nothing.
void ParsePageOrDiscard(InputContext& context, const SourceText& page, SiteType site,
                        std::string_view input) {
  if (site == kSiteNone) {
    context.diagnostics.InputFailed(input, kNotAPage);
    return;
  }
  if (ParsePage(context.sink, page, site) == ProducerResult::kAbandoned) {
    context.sink.AbandonPage();
    context.diagnostics.InputFailed(input, "the page could not be read");
  }
}

// Reads a local file whole; a file that went away since it was listed
// reads as empty.
std::string FileBytes(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

// One page of a walk: fetched into a local file, decoded, parsed, and the
// file removed again unless the user keeps downloaded pages. False when
// the page could not be fetched.
bool FetchAndParsePage(InputContext& context, const std::string& address, SiteType site) {
  std::string path = LocalPageName(address);
  if (!DownloadPage(context, address, path)) {
    context.diagnostics.InputFailed(address, "the page could not be fetched");
    return false;
  }
  bool secure = IsSecureAddress(address);
  HeadReading head = secure ? HeadReading::kHttp11 : HeadReading::kExactFields;
  if (DecodeChunked(context.out(), path, head) && GunzipFile(context.out(), path)) {
    std::string page = FileBytes(path);
    // A secure page whose address names no site (a mirror, a redirect's
    // target) is known by its text, as a saved page is.
    if (secure && site == kSiteNone) site = DetectPageSite(page);
    ParsePageOrDiscard(context, SourceText{path, page}, site, address);
  } else {
    context.diagnostics.InputFailed(address, "the response could not be decoded");
  }
  if (!context.options().KeepHTML) RemoveFileIfPresent(path);
  return true;
}

// A range never needs more than one full circle: further positions only
// repeat keys already walked, or name keys outside 0..3599 that no
// configuration holds. The limit keeps a hostile range from walking for
// hours.
constexpr int64_t kMaxWalkPositions = kFullCircle;

void WalkSitePositions(InputContext& context, std::string_view input,
                       const SitePositionInput& walk, bool reported) {
  SiteType site = walk.site;
  int32_t walkStart = walk.walkStart;
  int32_t walkEnd = walk.walkEnd;
  int64_t last = walkEnd;
  if (walkStart > walkEnd) last += kFullCircle;
  last = std::min<int64_t>(last, static_cast<int64_t>(walkStart) + kMaxWalkPositions - 1);
  TIniFile configuration(context.ConfigPath);
  int64_t addressed = 0;
  int64_t fetched = 0;
  for (int64_t p = walkStart; p <= last; ++p) {
    int32_t key = NormalizePosition(static_cast<int32_t>(p));
    std::string address = FindSitePageAddress(configuration, site, key);
    if (address.empty()) continue;
    ++addressed;
    fetched += FetchAndParsePage(context, address, site);
  }
  // Positions without a page are normal inside a range; a single one is
  // what the user asked for.
  if (reported) return;
  if (!walk.range && addressed == 0) {
    context.diagnostics.InputFailed(input, "no page address for this position in section [" +
                                     std::string(FindSiteRow(site)->section) + "] of " +
                                     context.ConfigPath);
  }
  if (walk.range) {
    context.diagnostics.Note(std::string(input) + ": fetched " + std::to_string(fetched) + " of " +
                             std::to_string(addressed) + " pages listed for the range");
  }
}

void ProcessLocalFiles(InputContext& context, const std::string& input) {
  std::string directory = DirectoryPart(input);
  std::string prefix = directory.empty() ? CurrentDirectory() + "/" : directory;
  std::vector<std::string> names = FindMatchingNames(directory, NamePart(input));
  if (names.empty()) {
    bool mask = NamePart(input).find_first_of("*?") != std::string_view::npos;
    context.diagnostics.InputFailed(input, IsDirectory(input) ? "is a directory"
                                 : mask             ? "no file matches"
                                                    : "no such file");
  }
  for (const std::string& name : names) {
    std::string path = prefix + name;
    const InputFormat* format = InputFormatOf(name);
    std::string bytes;
    try {
      bytes = FileBytes(path);
    } catch (const FatalError&) {
      // A reader announces its file before it reads; so does the message
      // of a file that cannot be read.
      if (format) AnnounceLoading(context.out(), format->label, path);
      throw;
    }
    SourceText source{path, bytes};
    if (IsDvbv5Text(bytes)) {
      // Channel files are known by their content: the collection names
      // them after the satellite, without an extension.
      (void)ReadDvbv5File(context.sink, source);
      if (!SatelliteOfDvbv5Name(path)) {
        context.diagnostics.InputFailed(path, "skipped, its file name holds no orbital position (such as Hotbird-13.0E)");
      }
    } else if (format) {
      (void)format->read(context.sink, source);
    } else {
      ParsePageOrDiscard(context, source, DetectPageSite(bytes), path);
    }
  }
}

}  // namespace

InputKind ClassifyInput(std::string_view input) {
  constexpr std::string_view kHttp = "HTTP://";
  if (UpperAscii(Leading(input, kHttp.size())) == kHttp || IsSecureAddress(input)) {
    return InputKind::kPageAddress;
  }
  if (input.size() >= 3 && input[0] == '!' && input[2] == '!') return InputKind::kSitePosition;
  return InputKind::kLocalFiles;
}

SitePositionInput ParseSitePositionInput(std::string_view input) {
  SitePositionInput result;
  if (input.size() >= 3 && input[0] == '!' && input[2] == '!') {
    if (const SiteRow* row = SiteOfLetter(input[1])) result.site = row->site;
  }
  std::string_view rest = After(input, 3);
  if (!rest.empty() && rest[0] == '[') {
    PositionRange range = ParsePositionRange(rest);
    result.walkStart = range.start;
    result.walkEnd = range.end;
    result.range = true;
    result.malformedRange = !range.wellFormed;
    return result;
  }
  int32_t position = ParseWholeNumber(rest).value_or(-1);
  if (position < 0) position += kFullCircle;
  result.walkStart = result.walkEnd = position;
  return result;
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
    positions[i] = west ? WestPosition(*number) : *number;
  }
  return PositionRange{positions[0], positions[1], true};
}

void ProcessInput(InputContext& context, std::string input) {
  bool merge = !input.empty() && input[0] == '+';
  context.sink.SetMerge(merge);
  if (merge) input.erase(0, 1);
  switch (ClassifyInput(input)) {
    case InputKind::kPageAddress:
      (void)FetchAndParsePage(context, input, SiteOfAddress(input));
      return;
    case InputKind::kSitePosition: {
      SitePositionInput sitePosition = ParseSitePositionInput(input);
      if (sitePosition.site == kSiteNone) {
        context.diagnostics.InputFailed(input, "unknown site letter '" + std::string(1, input[1]) + "'");
      } else {
        // A malformed range still walks its one position -1 as it always
        // has (a key "-0001" is 0.1 W); it is reported all the same.
        if (sitePosition.malformedRange) context.diagnostics.InputFailed(input, "malformed position range");
        WalkSitePositions(context, input, sitePosition, sitePosition.malformedRange);
      }
      return;
    }
    case InputKind::kLocalFiles:
      ProcessLocalFiles(context, input);
      return;
  }
}

ProducerResult ParsePage(SatelliteSink& sink, const SourceText& page, SiteType site) {
  const SiteRow* row = PageReaderRow(site, page.bytes);
  return row ? row->parse(sink, page) : ProducerResult::kRead;
}

}  // namespace kavrel
