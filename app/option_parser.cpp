#include "app/option_parser.h"

#include <functional>

#include "app/run.h"
#include "formats/format_table.h"
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

void ApplyFormat(Run& run, const std::string& token, Options& options) {
  const OutputFormat* format = FormatOfLetters(After(token, kFormatKeyword.size()));
  if (format == nullptr) {
    ReportParameterError(run.out, token);
    return;
  }
  options.FormatCode = format->code;
  for (uint8_t kind : format->switchedOn) {
    if (kind != 0) options.AcceptedKinds.Add(kind);
  }
}

// A "+" or "-" switch after a keyword; anything else is a parameter error.
template <typename Set>
void ApplySwitch(Run& run, const std::string& token, size_t keywordLength, Set set) {
  char sign = keywordLength < token.size() ? token[keywordLength] : '\0';
  if (sign == '+' || sign == '-') {
    set(sign == '+');
  } else {
    ReportParameterError(run.out, token);
  }
}

Applied ApplyToken(Run& run, const std::string& token, Options& options) {
  const std::string upper = UpperAscii(token);
  auto starts = [&upper](std::string_view keyword) { return upper.starts_with(keyword); };
  auto kind = [&options](uint8_t code) {
    return [&options, code](bool on) {
      on ? options.AcceptedKinds.Add(code) : options.AcceptedKinds.Remove(code);
    };
  };
  auto flag = [](bool& field) { return [&field](bool on) { field = on; }; };

  // The order matters: "/C" catches every other token that begins with
  // "/C", and "/PROXYA" must be tried before "/PROXY".
  struct SwitchRule {
    std::string_view keyword;
    std::function<void(bool)> set;
  };
  const SwitchRule switches[] = {
      {"/DVBS2", kind(kKindDvbS2)},
      {"/DSS", kind(kKindDss)},
      {"/CONVCIRCULAR", flag(options.ConvCircular)},
      {"/CONVCBAND", flag(options.ConvCBand)},
      {"/FEEDS", flag(options.AcceptFeeds)},
      {"/DATA", flag(options.AcceptData)},
      {"/LINEAR", flag(options.AcceptLinear)},
      {"/CIRCULAR", flag(options.AcceptCircular)},
      {"/KU", flag(options.AcceptKu)},
      {"/C", flag(options.AcceptC)},
      {"/KEEPHTML", flag(options.KeepHTML)},
      {"/PROVINFO", flag(run.ProvidersInfo)},
  };
  for (const SwitchRule& rule : switches) {
    if (starts(rule.keyword)) {
      ApplySwitch(run, token, rule.keyword.size(), rule.set);
      return Applied::kContinue;
    }
  }
  if (starts(kMinSrKeyword)) {
    options.MinSR = IntegerTextOr(After(token, kMinSrKeyword.size()), 0);
  } else if (starts(kMaxSrKeyword)) {
    options.MaxSR = IntegerTextOr(After(token, kMaxSrKeyword.size()), kMaxSymbolRate);
  } else if (starts(kFormatKeyword)) {
    ApplyFormat(run, token, options);
  } else if (upper == "/S") {
    options.SaveConfig = true;
  } else if (starts("/PROXYA")) {
    return ApplyProxyWithUser(run, token, options);
  } else if (starts("/PROXY")) {
    ApplyProxy(run, token, options);
  }
  return Applied::kContinue;
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

void ParseOptions(Run& run, std::string tokenText, Options& options) {
  for (std::string token = NextOptionToken(tokenText); !token.empty();
       token = NextOptionToken(tokenText)) {
    if (ApplyToken(run, token, options) == Applied::kStop) return;
  }
}

void ReportParameterError(std::ostream& out, const std::string& token) {
  out << "Error in parameters - " << token << '\n';
}

void PrintUsage(std::ostream& out) {
  static constexpr const char* kLines[] = {
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
      "    /DVBS2- /DSS-",
      "    /ConvCircular- /ConvCBand-",
      "    /KeepHTML- /Feeds+ /Data+ /Ku+ /Linear+ /Circular+",
      "    /Format=i1 /ProvInfo-",
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
  for (const char* line : kLines) out << line << '\n';
}

}  // namespace kavrel
