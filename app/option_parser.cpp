#include "app/option_parser.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "app/run.h"
#include "formats/format_table.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/text.h"

namespace kavrel {

namespace {

// Text strictly between two positions; empty when they are out of order.
std::string Between(const std::string& text, size_t open, size_t close) {
  if (close <= open + 1 || close > text.size()) return std::string();
  return text.substr(open + 1, close - open - 1);
}

std::string ProxyText(std::string_view text) {
  return std::string(Leading(TrimBlanks(text), kMaxOptionText));
}

int32_t ProxyPortValue(std::string_view text) { return IntegerTextOr(TrimBlanks(text), 0); }

enum class Applied { kContinue, kStop };

// The token as "Error in parameters" shows it: the password, from the
// first ":" up to the last "@" (or to the end when no "@" follows), as
// "***". A token whose "@" comes before any ":" holds no password.
std::string WithoutPassword(const std::string& token) {
  size_t colon = token.find(':');
  if (colon == std::string::npos) return token;
  size_t at = token.rfind('@');
  if (at == std::string::npos) return token.substr(0, colon + 1) + "***";
  if (at < colon) return token;
  return token.substr(0, colon + 1) + "***" + token.substr(at);
}

// A proxy option that cannot be read is reported and remembered: the run
// then fetches nothing rather than going past the proxy the user named.
void RefuseProxy(Run& run, const std::string& shown, Options& options) {
  ReportParameterError(run.out, shown);
  options.ProxyRefused = true;
}

// "/Proxya=<user>:<password>@<host>:<port>". The user name ends at the
// first ":", the password at the last "@", so that a password may hold
// both. A token that names no host and port after its "@" cannot be
// applied safely; it ends the parsing.
Applied ApplyProxyWithUser(Run& run, const std::string& token, Options& options) {
  std::string shown = WithoutPassword(token);
  size_t equals = token.find('=');
  size_t colon = token.find(':');
  if (equals == std::string::npos || colon == std::string::npos) {
    RefuseProxy(run, shown, options);
    return Applied::kContinue;
  }
  size_t at = token.rfind('@');
  size_t portColon = at == std::string::npos || at < colon ? std::string::npos : token.find(':', at + 1);
  if (portColon == std::string::npos || ProxyText(Between(token, at, portColon)).empty()) {
    RefuseProxy(run, shown, options);
    return Applied::kStop;
  }
  options.ProxyUser = ProxyText(Between(token, equals, colon));
  options.ProxyPassword = ProxyText(Between(token, colon, at));
  options.ProxyHost = ProxyText(Between(token, at, portColon));
  options.ProxyPort = ProxyPortValue(std::string_view(token).substr(portColon + 1));
  return Applied::kContinue;
}

// "/Proxy=<host>:<port>"; the credentials stay as they are.
void ApplyProxy(Run& run, const std::string& token, Options& options) {
  size_t equals = token.find('=');
  size_t colon = token.find(':');
  if (equals == std::string::npos || colon == std::string::npos) {
    RefuseProxy(run, token, options);
    return;
  }
  options.ProxyHost = ProxyText(Between(token, equals, colon));
  options.ProxyPort = ProxyPortValue(std::string_view(token).substr(colon + 1));
}

constexpr std::string_view kFormatKeyword = "/FORMAT=";
constexpr std::string_view kMinSrKeyword = "/MINSR=";
constexpr std::string_view kMaxSrKeyword = "/MAXSR=";

// What one token did: why it could not be read (empty when it was), and
// whether the parsing goes on.
struct TokenOutcome {
  std::string problem;
  Applied next = Applied::kContinue;
};

// "i1, i2, i3, x, d, t, k, e, v": the values /Format= takes.
std::string FormatLettersText() {
  std::string text;
  for (int code = 0; code <= UINT8_MAX; ++code) {
    if (const OutputFormat* format = FindOutputFormat(static_cast<uint8_t>(code))) {
      text += (text.empty() ? "" : ", ") + LowerAscii(format->letters);
    }
  }
  return text;
}

std::string ApplyFormat(Run& run, const std::string& token, Options& options) {
  const OutputFormat* format = FormatOfLetters(After(token, kFormatKeyword.size()));
  if (format == nullptr) {
    ReportParameterError(run.out, token);
    return "unknown format; /Format= takes one of " + FormatLettersText();
  }
  options.FormatCode = format->code;
  run.FormatGiven = true;
  for (uint8_t kind : format->switchedOn) {
    if (kind != 0) options.AcceptedKinds.Add(kind);
  }
  return std::string();
}

// A symbol rate after its keyword. A value that is not a whole number
// takes `fallback`, as it always has, and is reported.
std::string ApplySymbolRate(const std::string& token, size_t keywordLength, int32_t fallback, int32_t& field) {
  std::optional<int32_t> value = ParseIntegerText(After(token, keywordLength));
  field = value.value_or(fallback);
  if (value) return std::string();
  return "the symbol rate is not a whole number (such as " + token.substr(0, keywordLength) + "27500)";
}

// A "+" or "-" switch after a keyword; anything else is a parameter error.
template <typename Set>
std::string ApplySwitch(Run& run, const std::string& token, size_t keywordLength, Set set) {
  char sign = keywordLength < token.size() ? token[keywordLength] : '\0';
  if (sign == '+' || sign == '-') {
    set(sign == '+');
    return std::string();
  }
  ReportParameterError(run.out, token);
  return "takes + or - (such as " + token.substr(0, keywordLength) + "+)";
}

// The options a run knows, by the upper-case text they begin with. The
// order matters: "/C" catches every other token that begins with "/C",
// and "/PROXYA" must be tried before "/PROXY".
constexpr std::string_view kSwitchKeywords[] = {
    "/DVBS2", "/DSS", "/CONVCIRCULAR", "/CONVCBAND", "/FEEDS", "/DATA",
    "/LINEAR", "/CIRCULAR", "/KU", "/C", "/KEEPHTML", "/PROVINFO",
};
constexpr std::string_view kValueKeywords[] = {kMinSrKeyword, kMaxSrKeyword, kFormatKeyword, "/PROXYA", "/PROXY"};

bool IsKnownOption(std::string_view token) {
  const std::string upper = UpperAscii(token);
  if (upper == "/S") return true;
  for (std::string_view keyword : kSwitchKeywords) {
    if (upper.starts_with(keyword)) return true;
  }
  for (std::string_view keyword : kValueKeywords) {
    if (upper.starts_with(keyword)) return true;
  }
  return false;
}

// Options beyond the "/" ones take the GNU form: "--name", "--name=value"
// or "-x". A row without `apply` is an answer of its own (--help,
// --version), read only as the one argument.
struct LongOption {
  std::string_view name;  // "--quiet", or "-q"
  bool takesValue;        // "--name=value"
  TokenOutcome (*apply)(Run& run, std::string_view value, Options& options);
};
constexpr LongOption kLongOptions[] = {
    {"--help", false, nullptr},
    {"-h", false, nullptr},
    {"--version", false, nullptr},
};

// The row of a dashed token and the value after its "=", or nullptr.
const LongOption* FindLongOption(std::string_view token, std::string_view& value) {
  for (const LongOption& option : kLongOptions) {
    if (token == option.name) {
      value = std::string_view();
      return &option;
    }
    if (option.takesValue && token.starts_with(option.name) && token.size() > option.name.size() &&
        token[option.name.size()] == '=') {
      value = token.substr(option.name.size() + 1);
      return &option;
    }
  }
  return nullptr;
}

// Why a token that no option takes could not be read, with the option the
// user most likely meant.
std::string UnknownTokenProblem(const std::string& token, bool commandLine) {
  std::string_view bare = token;
  while (bare.starts_with('-') || bare.starts_with('/')) bare.remove_prefix(1);
  std::string meant = "/" + std::string(bare);
  bool dashed = token.starts_with('-');
  // An absolute path (a mask the shell expanded) begins with "/" as the
  // options do; no option holds a second "/" before its value.
  bool path = token.starts_with('/') &&
              (token.substr(0, token.find('=')).find('/', 1) != std::string::npos || PathExists(token));
  if ((token.starts_with('/') && !path) || dashed) {
    if (!token.starts_with('/') && !bare.empty() && IsKnownOption(meant)) {
      return "unknown option; options begin with \"/\", such as " + meant;
    }
    return "unknown option (kavrel --help lists the options)";
  }
  if (!bare.empty() && IsKnownOption(meant)) return "is not an option; options begin with \"/\", such as " + meant;
  if (!commandLine) return "is not an option";
  return "is not an option; quote a mask such as '*.ini' so that kavrel expands it";
}

TokenOutcome ApplyToken(Run& run, const std::string& token, Options& options, bool commandLine) {
  const std::string upper = UpperAscii(token);
  auto starts = [&upper](std::string_view keyword) { return upper.starts_with(keyword); };
  auto kind = [&options](uint8_t code) {
    return [&options, code](bool on) {
      on ? options.AcceptedKinds.Add(code) : options.AcceptedKinds.Remove(code);
    };
  };
  auto flag = [](bool& field) { return [&field](bool on) { field = on; }; };

  // One setter for each of kSwitchKeywords, in its order.
  const std::function<void(bool)> setters[] = {
      kind(kKindDvbS2),          kind(kKindDss),          flag(options.ConvCircular),
      flag(options.ConvCBand),   flag(options.AcceptFeeds), flag(options.AcceptData),
      flag(options.AcceptLinear), flag(options.AcceptCircular), flag(options.AcceptKu),
      flag(options.AcceptC),     flag(options.KeepHTML),  flag(run.ProvidersInfo),
  };
  static_assert(std::size(kSwitchKeywords) == 12);
  for (size_t i = 0; i < std::size(kSwitchKeywords); ++i) {
    if (starts(kSwitchKeywords[i])) return {ApplySwitch(run, token, kSwitchKeywords[i].size(), setters[i])};
  }
  const Options defaults;
  if (starts(kMinSrKeyword)) return {ApplySymbolRate(token, kMinSrKeyword.size(), defaults.MinSR, options.MinSR)};
  if (starts(kMaxSrKeyword)) return {ApplySymbolRate(token, kMaxSrKeyword.size(), defaults.MaxSR, options.MaxSR)};
  if (starts(kFormatKeyword)) return {ApplyFormat(run, token, options)};
  if (upper == "/S") {
    options.SaveConfig = true;
    return {};
  }
  if (starts("/PROXYA")) return {std::string(), ApplyProxyWithUser(run, token, options)};
  if (starts("/PROXY")) {
    ApplyProxy(run, token, options);
    return {};
  }
  std::string_view value;
  if (const LongOption* option = token.starts_with('-') ? FindLongOption(token, value) : nullptr) {
    if (option->apply != nullptr) return option->apply(run, value, options);
    return {"is only understood as the one argument"};
  }
  return {UnknownTokenProblem(token, commandLine)};
}

}  // namespace

std::string CollectOptionTokens(const std::vector<std::string>& arguments) {
  std::string text;
  for (size_t i = 2; i < arguments.size(); ++i) {
    text += ' ';
    text += arguments[i];
  }
  return text;
}

std::string NextOptionToken(std::string& tokenText) {
  size_t blank = tokenText.rfind(' ');
  if (blank == std::string::npos) return std::string();
  std::string token = tokenText.substr(blank + 1);
  tokenText.resize(blank);
  return token;
}

void ParseOptions(Run& run, std::string tokenText, Options& options, std::string_view listFile) {
  // Tokens apply from the last; their problems are told in the order the
  // user wrote them.
  std::vector<std::pair<std::string, std::string>> problems;
  for (std::string token = NextOptionToken(tokenText); !token.empty();
       token = NextOptionToken(tokenText)) {
    TokenOutcome outcome = ApplyToken(run, token, options, listFile.empty());
    if (!outcome.problem.empty()) problems.emplace_back(token, std::move(outcome.problem));
    if (outcome.next == Applied::kStop) break;
  }
  for (auto problem = problems.rbegin(); problem != problems.rend(); ++problem) {
    std::string subject = listFile.empty() ? problem->first : std::string(listFile) + ": " + problem->first;
    run.diagnostics.ArgumentFailed(subject, problem->second);
  }
}

void ReportParameterError(std::ostream& out, const std::string& token) {
  out << "Error in parameters - " << token << '\n';
}

namespace {

// Where the usage text shows the defaults, made from the option record's.
constexpr const char* kDefaultsMark = "<defaults>";

constexpr const char* kUsageLines[] = {
    "",
    "Usage1: kavrel [+]<html_file or filemask> [options]",
    "Usage2: kavrel [+]<dll_file or filemask>.dll [options]",
    "Usage3: kavrel [+]<xml_file or filemask>.xml [options]",
    "Usage4: kavrel [+]<ini_file or filemask>.ini [options]",
    "Usage5: kavrel <URL_pointed_to_HTML> [options]",
    "Usage6: kavrel !<site_id>!<sat_position> [options]",
    "Usage7: kavrel !<site_id>![<positions_range>] [options]",
    "Usage8: kavrel @<list_of_urls_or_files_to_process> [options]",
    "",
    "Options:",
    "    /ConvCircular<+|-> - Convert L/R polarization to H/V (or not)",
    "    /ConvCBand<+|-> - Convert C band frequences to Ku (or not)",
    "    /Proxy=<http_proxy_host>:<http_proxy_port>",
    "    /Proxya=<proxy_user>:<proxy_password>@<http_proxy_host>:<http_proxy_port>",
    "    /KeepHTML<+|-> - Keep downloaded files",
    "",
    "    /DSS<+|-> - Accept DSS transponders (or not)",
    "    /DVBS2<+|-> - Accept DVBS2 transponders (or not)",
    "",
    "    /Feeds<+|-> - Accept transponders with feeds (or not)",
    "    /Data<+|-> - Accept transponders with data services (or not)",
    "    /Ku<+|-> - Accept Ku band transponders (or not)",
    "    /C<+|-> - Accept C band transponders (or not)",
    "    /Linear<+|-> - Accept transponders with linear polarization (or not)",
    "    /Circular<+|-> - Accept transponders with circular polarization (or not)",
    "    /MinSR=<min_symbolrate> - Specify minimum symbolrate to process",
    "    /MaxSR=<max_symbolrate> - Specify maximum symbolrate to process",
    "",
    "    /ProvInfo<+|-> - Add providers info to INI file (or not)",
    "",
    "    /Format=<i1|i2|i3|x|d|t|k> - Format of file(s) with transponders (INI,XML,DLL,TRP",
    "     or Kathrein UFS 910 data files )",
    "",
    "    /S - Save CFG File",
    "",
    "Options by default:",
    kDefaultsMark,
    "",
    "Examples :",
    "    kavrel astra19.html /Data-",
    "    kavrel +*.html /Ku- /Linear-",
    "    kavrel !l!130",
    "    kavrel !s!192",
    "    kavrel !k!160",
    "    kavrel !l![300w-970e]",
    "    kavrel *.ini /MaxSR=10000 /Format=t",
    "    kavrel satellites.xml /Format=d",
    "    kavrel @satlist.txt /Format=x",
    "    kavrel @satlist.txt /Format=k",
    "    kavrel http://www.flysat.example/amos.php",
    "    kavrel http://www.satcodx.example/0130/usa/",
    "    kavrel http://www.telesputnik.example/television/freq-tab.pl?sat=30",
    "    kavrel http://www.lyngsat.example/hotbird.html /proxy=192.168.0.1:3128",
    "    kavrel http://en.kingofsat.example/pos-23.5E.php /DVBS2+",
    "Examples of list file",
    "-8<-----------8<-------",
    "satellite.dll",
    "!l!900",
    "-8<-----------8<-------",
    "!l!3300",
    "!l!130",
    "!l!800 /C-",
    "!l!900 /Ku-",
    "-8<-----------8<-------",
};

// The help's own lines where the usage text cannot change: every format
// listed with the others, and examples a shell takes as they are written
// ("!" and "*" quoted) with the addresses the sites answer today.
constexpr std::string_view kUsageFormatLine = "    /Format=<";
constexpr std::string_view kUsageExamples = "Examples :";
constexpr std::string_view kUsageListExample = "Examples of list file";
constexpr const char* kHelpExamples[] = {
    "Examples :",
    "    kavrel astra19.html /Data-",
    "    kavrel '+*.html' /Ku- /Linear-",
    "    kavrel '!l!130'",
    "    kavrel '!s!192'",
    "    kavrel '!k!160'",
    "    kavrel '!l![300w-970e]'",
    "    kavrel '*.ini' /MaxSR=10000 /Format=t",
    "    kavrel satellites.xml /Format=e",
    "    kavrel @satlist.txt /Format=x",
    "    kavrel @satlist.txt /Format=v",
    "    kavrel 'https://www.flysat.example/amos.php'",
    "    kavrel 'https://www.satcodx.example/0130/usa/'",
    "    kavrel 'https://www.telesputnik.example/television/freq-tab.pl?sat=30'",
    "    kavrel 'https://www.lyngsat.example/hotbird.html' /proxy=192.168.0.1:3128",
    "    kavrel 'https://en.kingofsat.example/pos-23.5E.php' /DVBS2+",
};


// "    /DVBS2- /DSS-" and the lines after it, from the defaults of a new
// option record.
void PrintDefaultOptions(std::ostream& out) {
  const Options defaults;
  auto sign = [](bool on) { return on ? '+' : '-'; };
  const OutputFormat* format = FindOutputFormat(defaults.FormatCode);
  out << "    /DVBS2" << sign(defaults.AcceptedKinds.Contains(kKindDvbS2)) << " /DSS"
      << sign(defaults.AcceptedKinds.Contains(kKindDss)) << '\n'
      << "    /ConvCircular" << sign(defaults.ConvCircular) << " /ConvCBand" << sign(defaults.ConvCBand) << '\n'
      << "    /KeepHTML" << sign(defaults.KeepHTML) << " /Feeds" << sign(defaults.AcceptFeeds) << " /Data"
      << sign(defaults.AcceptData) << " /Ku" << sign(defaults.AcceptKu) << " /Linear" << sign(defaults.AcceptLinear)
      << " /Circular" << sign(defaults.AcceptCircular) << '\n'
      << "    /Format=" << LowerAscii(format ? format->letters : "") << " /ProvInfo" << sign(kDefaultProvidersInfo)
      << '\n';
}

// A line of the usage text; the mark of the defaults stands for their lines.
void PrintUsageLine(std::ostream& out, const char* line) {
  if (std::string_view(line) == kDefaultsMark) {
    PrintDefaultOptions(out);
  } else {
    out << line << '\n';
  }
}

}  // namespace

void PrintUsage(std::ostream& out) {
  for (const char* line : kUsageLines) PrintUsageLine(out, line);
}

void PrintHelp(std::ostream& out) {
  bool inExamples = false;
  bool formatDone = false;
  for (const char* usageLine : kUsageLines) {
    std::string_view line = usageLine;
    if (line.starts_with(kUsageFormatLine)) {
      for (const std::string& help : FormatHelpLines()) out << help << '\n';
      formatDone = true;
      continue;
    }
    if (formatDone && line.starts_with("     ")) continue;  // the usage's second format line
    formatDone = false;
    if (line == kUsageExamples) {
      for (const char* help : kHelpExamples) out << help << '\n';
      inExamples = true;
      continue;
    }
    if (line == kUsageListExample) inExamples = false;
    if (!inExamples) PrintUsageLine(out, usageLine);
  }
}

}  // namespace kavrel
