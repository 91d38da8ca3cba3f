#include "parsers/html_text.h"

#include <array>
#include <cstring>

#include "platform/line_reader.h"
#include "platform/int_text.h"
#include "platform/text.h"

namespace kavrel {

namespace {

// Windows-1251 letters: capitals at 192..223, small letters 32 above them.
constexpr std::string_view kCapitalLetters[32] = {
    "A", "B", "V", "G", "D", "E", "Zh", "Z", "I", "J",   "K", "L", "M", "N", "O", "P",
    "R", "S", "T", "U", "F", "H", "Ts", "Ch", "Sh", "Sch", "'", "Y", "'", "E", "Yu", "Ya"};
constexpr std::string_view kSmallLetters[32] = {
    "a", "b", "v", "g", "d", "e", "zh", "z", "i", "j",   "k", "l", "m", "n", "o", "p",
    "r", "s", "t", "u", "f", "h", "ts", "ch", "sh", "sch", "'", "y", "'", "e", "yu", "ya"};
constexpr unsigned char kCapitalYo = 168;
constexpr unsigned char kSmallYo = 184;
constexpr unsigned char kFirstCapital = 192;
constexpr unsigned char kFirstSmall = 224;

// Every byte as a one-byte text of its own, for the bytes that stand for
// themselves.
constexpr std::array<char, 256> kEveryByte = [] {
  std::array<char, 256> bytes{};
  for (int i = 0; i < 256; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>(i);
  return bytes;
}();

constexpr std::string_view kFontCell = "<TD><font size=-1>";

}  // namespace

size_t NoBreakSpaceLength(std::string_view text, size_t at, TextEncoding encoding) {
  unsigned char byte = static_cast<unsigned char>(text[at]);
  if (byte == 0xA0) return encoding == TextEncoding::kLatin1 ? 1 : 0;
  if (byte == 0xC2) return at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) == 0xA0 ? 2 : 0;
  // Most "&" start other entities; only these three spell a blank.
  if (byte != '&' || at + 1 >= text.size() || (text[at + 1] != 'n' && text[at + 1] != 'N' && text[at + 1] != '#')) {
    return 0;
  }
  for (std::string_view entity : {"&nbsp;", "&#160;", "&#xa0;"}) {
    if (text.size() - at >= entity.size() && EqualsIgnoringAsciiCase(text.substr(at, entity.size()), entity)) {
      return entity.size();
    }
  }
  return 0;
}

std::string BlankNoBreakSpaces(std::string_view text, TextEncoding encoding) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t length = MayStartNoBreakSpace(text[i]) ? NoBreakSpaceLength(text, i, encoding) : 0;
    if (length == 0) {
      result.push_back(text[i++]);
    } else {
      result.push_back(' ');
      i += length;
    }
  }
  return result;
}

std::string StripTags(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    // Outside a tag: copy up to the next "<" or ">", both of which are
    // dropped; only "<" opens a tag.
    const char* start = p;
    while (p < end && *p != '<' && *p != '>') ++p;
    result.append(start, static_cast<size_t>(p - start));
    if (p == end) break;
    if (*p++ == '>') continue;
    const void* close = std::memchr(p, '>', static_cast<size_t>(end - p));
    if (close == nullptr) break;
    p = static_cast<const char*>(close) + 1;
  }
  return result;
}

int32_t ParseTenths(std::string_view text) {
  size_t dot = text.find('.');
  if (dot == std::string_view::npos) return static_cast<int32_t>(10LL * WholeNumberOrZero(text));
  int64_t value = 10LL * WholeNumberOrZero(text.substr(0, dot)) +
                  WholeNumberOrZero(text.substr(dot + 1));
  // Only absurd page texts leave the 32-bit range; they wrap like the
  // register the position is kept in.
  return static_cast<int32_t>(value);
}

int32_t ParseThousandths(std::string_view text) {
  size_t comma = text.find(',');
  if (comma == std::string_view::npos) return 0;
  int64_t value = 1000LL * WholeNumberOrZero(text.substr(0, comma)) +
                  WholeNumberOrZero(text.substr(comma + 1));
  return static_cast<int32_t>(value);
}

void CutToFirstCell(std::string& row) {
  size_t cell = row.find("<td");
  if (cell != std::string::npos) row.erase(0, cell);
}

void TakeCell(std::string& row, std::string& cell) {
  constexpr std::string_view kOpen = "<td ";
  constexpr std::string_view kClose = "</td>";
  size_t open = row.find(kOpen);
  size_t close = row.find(kClose);
  if (open == std::string::npos || close == std::string::npos) return;
  size_t end = close + kClose.size();
  cell = open < close ? StripTags(std::string_view(row).substr(open, end - open)) : std::string();
  row.erase(0, end);
}

std::string_view TransliterateChar(unsigned char byte) {
  if (byte == kCapitalYo) return "Yo";
  if (byte == kSmallYo) return "yo";
  if (byte >= kFirstSmall) return kSmallLetters[byte - kFirstSmall];
  if (byte >= kFirstCapital) return kCapitalLetters[byte - kFirstCapital];
  return std::string_view(&kEveryByte[byte], 1);
}

std::string Transliterate(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) result.append(TransliterateChar(static_cast<unsigned char>(c)));
  return result;
}

std::string NextFontCellLine(LineReader& reader) {
  while (!reader.AtEnd()) {
    std::string_view line = reader.ReadTextLineView();
    if (line.starts_with(kFontCell)) return std::string(line);
  }
  return {};
}

}  // namespace kavrel
