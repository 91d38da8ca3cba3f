#include "acquisition/input_dispatch.h"

#include <algorithm>
#include <map>

#include "acquisition/http_client.h"
#include "acquisition/https_client.h"
#include "acquisition/response_decoding.h"
#include "acquisition/site_addressing.h"
#include "acquisition/web_address.h"
#include "formats/format_table.h"
#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/profile_file.h"
#include "platform/temporary_files.h"
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
  } else if (context.sink.OfferedOnPage() == 0) {
    // Rows the options refused were read; a page that gave none at all is
    // most likely in a markup its reader does not know.
    context.diagnostics.InputFailed(input, "a page of " + std::string(FindSiteRow(site)->name) +
                                               ", but no transponder could be read from it (its layout may have changed)");
  }
}

// Reads a local file whole; a file that went away since it was listed
// reads as empty.
FileContents FileBytes(const std::string& path) {
  std::optional<FileContents> contents = FileContents::Read(path);
  return contents ? std::move(*contents) : FileContents();
}

// A page that could not be fetched: the progress report's lines where
// they always were, the cause on standard error.
FetchFailure PageFailed(InputContext& context, const std::string& address, const FetchResult& result) {
  context.out() << result.report;
  context.diagnostics.InputFailed(address, result.cause);
  return result.failure;
}

// Writes a secure page where the user keeps downloaded pages.
void KeepPage(const std::string& path, std::string_view page) {
  OutputFile file = OutputFile::CreateExclusive(path);
  TemporaryFileGuard guard(path);
  file.Write(page);
  file.Close();
}

// A plain http page: fetched into a local file and decoded there, in the
// steps that file has always gone through. The file is removed again
// unless the user keeps downloaded pages, and always when a step failed
// or the run is interrupted before the page is whole.
FetchFailure FetchPlainPage(InputContext& context, const std::string& address, const std::string& path,
                            SiteType site) {
  FileContents page;
  {
    TemporaryFileGuard guard(path);
    FetchResult result = DownloadPage(context, address, path);
    if (!result.ok()) return PageFailed(context, address, result);
    result = DecodeChunked(path);
    if (result.ok()) result = GunzipFile(path, static_cast<uint64_t>(context.MaxPageSize));
    if (!result.ok()) {
      RemoveFileIfPresent(path);
      return PageFailed(context, address, result);
    }
    page = FileBytes(path);
  }
  ParsePageOrDiscard(context, SourceText{path, page.bytes()}, site, address);
  if (!context.options().KeepHTML) RemoveFileIfPresent(path);
  return FetchFailure::kNone;
}

// A secure page of a walk that failed for a cause that may pass: it is
// asked once more when the walk's other pages are done.
struct LaterTry {
  std::string address;
  std::string cause;  // told when it is not tried again
};

// One page of a walk: fetched, decoded and parsed. A secure page is
// decoded in memory and written to a file only when the user keeps
// downloaded pages. The result says why a page could not be fetched. With
// `laterTries`, a secure page that failed for a passing cause goes there
// instead of failing; `lastTry` asks once, without the page's own retries.
FetchFailure FetchAndParsePage(InputContext& context, const std::string& address, SiteType site,
                               std::vector<LaterTry>* laterTries = nullptr, bool lastTry = false) {
  if (context.options().ProxyRefused) {
    // Going direct would pass the proxy the user asked for.
    return PageFailed(context, address, FetchFailed(FetchFailure::kProxyOption, ""));
  }
  std::string path = LocalPageName(address);
  bool secure = IsSecureAddress(address);
  if (!secure && context.cacheMode == CacheMode::kOffline) {
    FetchResult notKept = FetchFailed(FetchFailure::kNotKept, "", "http pages are not kept, and --offline fetches nothing");
    return PageFailed(context, address, notKept);
  }
  if (!secure) return FetchPlainPage(context, address, path, site);
  FetchResult result = FetchSecurePage(context, address, !lastTry);
  if (!result.ok() && laterTries != nullptr && IsPassingFailure(result)) {
    context.out() << result.report;
    laterTries->push_back(LaterTry{address, result.cause});
    return result.failure;
  }
  if (!result.ok()) return PageFailed(context, address, result);
  if (context.options().KeepHTML) KeepPage(path, result.body);
  // A secure page whose address names no site (a mirror, a redirect's
  // target) is known by its text, as a saved page is.
  if (site == kSiteNone) site = DetectPageSite(result.body);
  ParsePageOrDiscard(context, SourceText{path, result.body}, site, address);
  return FetchFailure::kNone;
}

// What a site position input that cannot be read is told.
constexpr std::string_view kMalformedPosition =
    "cannot read the position: give it in tenths of a degree, east positive and west negative "
    "(such as !l!130 for 13.0E, !l!192 for 19.2E, !l!-50 for 5.0W), or a range such as !l![300w-970e]";
constexpr std::string_view kMalformedRange =
    "malformed position range: give [<from>-<to>], each end in tenths of a degree followed by E or W "
    "(such as [130e-282e] or [300w-970e])";

// A range never needs more than one full circle: further positions only
// repeat keys already walked, or name keys outside 0..3599 that no
// configuration holds. The limit keeps a hostile range from walking for
// hours.
constexpr int64_t kMaxWalkPositions = kFullCircle;

// Pages of one host that failed in a row for the same reason of the
// host's: after kHostFailuresToSkip of them the host's other pages would
// only fail the same way, one time limit after another.
constexpr int kHostFailuresToSkip = 3;

class HostFailures {
 public:
  bool GivenUp(const std::string& host) const {
    auto found = hosts_.find(host);
    return found != hosts_.end() && found->second.run >= kHostFailuresToSkip;
  }
  bool Skipped(const std::string& host) {
    if (!GivenUp(host)) return false;
    ++hosts_[host].skipped;
    return true;
  }
  void Record(const std::string& host, FetchFailure failure) {
    Streak& streak = hosts_[host];
    if (!IsHostFailure(failure)) {
      streak.run = 0;
      return;
    }
    streak.run = streak.failure == failure ? streak.run + 1 : 1;
    streak.failure = failure;
  }
  int64_t Report(Diagnostics& diagnostics, std::string_view input) const {
    int64_t total = 0;
    for (const auto& [host, streak] : hosts_) {
      if (streak.skipped == 0) continue;
      total += streak.skipped;
      diagnostics.InputFailed(input, "skipped " + std::to_string(streak.skipped) + " more page" +
                                         (streak.skipped == 1 ? "" : "s") + " of " + host + " after " +
                                         std::to_string(kHostFailuresToSkip) + " in a row failed (" +
                                         std::string(FailureWords(streak.failure)) + ")");
    }
    return total;
  }

 private:
  struct Streak {
    FetchFailure failure = FetchFailure::kNone;
    int run = 0;
    int64_t skipped = 0;
  };
  std::map<std::string, Streak> hosts_;
};

// The host a page address names, for telling hosts apart.
std::string HostOfAddress(const std::string& address) {
  std::optional<WebAddress> parsed = ParseWebAddress(address);
  return LowerAscii(parsed ? parsed->host : UrlHost(address));
}

void WalkSitePositions(InputContext& context, std::string_view input,
                       const SitePositionInput& walk, bool reported) {
  SiteType site = walk.site;
  int32_t walkStart = walk.walkStart;
  int32_t walkEnd = walk.walkEnd;
  int64_t last = walkEnd;
  if (walkStart > walkEnd) last += kFullCircle;
  last = std::min<int64_t>(last, static_cast<int64_t>(walkStart) + kMaxWalkPositions - 1);
  // The page addresses are in the configuration: without it there is
  // nothing to walk.
  if (!PathExists(context.ConfigPath)) {
    if (!reported) context.diagnostics.InputFailed(input, "no configuration file at " + context.ConfigPath);
    return;
  }
  TIniFile configuration(context.ConfigPath);
  int64_t addressed = 0;
  int64_t fetched = 0;
  HostFailures failures;
  std::vector<LaterTry> laterTries;
  for (int64_t p = walkStart; p <= last; ++p) {
    int32_t key = NormalizePosition(static_cast<int32_t>(p));
    std::string address = FindSitePageAddress(configuration, site, key);
    if (address.empty()) continue;
    ++addressed;
    std::string host = HostOfAddress(address);
    if (failures.Skipped(host)) continue;
    FetchFailure failure = FetchAndParsePage(context, address, site, &laterTries);
    failures.Record(host, failure);
    fetched += failure == FetchFailure::kNone;
  }
  // A busy or overloaded server often answers a while later; a host that
  // was given up is not asked again.
  for (const LaterTry& page : laterTries) {
    if (failures.GivenUp(HostOfAddress(page.address))) {
      context.diagnostics.InputFailed(page.address, page.cause);
      continue;
    }
    context.out() << "Trying " << page.address << " once more after the other pages" << '\n';
    fetched += FetchAndParsePage(context, page.address, site, nullptr, true) == FetchFailure::kNone;
  }
  failures.Report(context.diagnostics, input);
  // Positions without a page are normal inside a range; a single one is
  // what the user asked for.
  if (reported) return;
  if (!walk.range && addressed == 0) {
    context.diagnostics.InputFailed(input, "no page address for this position in section [" +
                                     std::string(FindSiteRow(site)->section) + "] of " +
                                     context.ConfigPath);
  }
  // A walk where every page came has nothing to add to its own lines; one
  // that found no page at all says so.
  if (walk.range && (fetched < addressed || addressed == 0)) {
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
    FileContents contents;
    try {
      contents = FileBytes(path);
    } catch (const FatalError&) {
      // A reader announces its file before it reads; so does the message
      // of a file that cannot be read.
      if (format) AnnounceLoading(context.out(), format->label, path);
      throw;
    }
    std::string_view bytes = contents.bytes();
    SourceText source{path, bytes};
    context.sink.BeginInput(path);
    if (const InputFormat* reader = InputFormatOf(name, bytes)) {
      std::optional<std::string_view> cause = ReadFailureCause(reader->read(context.sink, source));
      if (cause) context.diagnostics.InputFailed(path, *cause);
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
        bool malformedPosition = !sitePosition.range && !ParseWholeNumber(After(input, 3));
        if (sitePosition.malformedRange) context.diagnostics.InputFailed(input, kMalformedRange);
        if (malformedPosition) context.diagnostics.InputFailed(input, kMalformedPosition);
        WalkSitePositions(context, input, sitePosition, sitePosition.malformedRange || malformedPosition);
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
