#include "formats/xml_text.h"

#include <array>
#include <charconv>

#include "catalogue/code_table.h"
#include "platform/text.h"
#include "platform/text_encoding.h"

namespace kavrel {

namespace {

constexpr std::array<CodePair<char, char>, 4> kPolarizationCodes{{
    {'H', '0'},
    {'V', '1'},
    {'L', '2'},
    {'R', '3'},
}};

bool IsAttributeNameEnd(std::string_view line, size_t at) {
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  return at < line.size() && line[at] == '=';
}

// The character a reference names (the text between "&" and ";"), or
// nothing when it names none.
std::optional<uint32_t> ReferencedCharacter(std::string_view reference) {
  if (reference == "amp") return '&';
  if (reference == "lt") return '<';
  if (reference == "gt") return '>';
  if (reference == "quot") return '"';
  if (reference == "apos") return '\'';
  if (reference.size() < 2 || reference[0] != '#') return std::nullopt;
  int base = 10;
  reference.remove_prefix(1);
  if (reference[0] == 'x' || reference[0] == 'X') {
    base = 16;
    reference.remove_prefix(1);
  }
  uint32_t codePoint = 0;
  auto [end, error] = std::from_chars(reference.data(), reference.data() + reference.size(), codePoint, base);
  if (error != std::errc() || end != reference.data() + reference.size()) return std::nullopt;
  if (codePoint == 0 || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return std::nullopt;
  return codePoint;
}

// The longest text between "&" and ";" that can name a character: "#x"
// and six digits, or leading zeros before them.
constexpr size_t kLongestReference = 12;

}  // namespace

std::string DecodeXmlReferences(std::string_view value, TextEncoding encoding) {
  std::string decoded;
  decoded.reserve(value.size());
  size_t at = 0;
  for (size_t amp = value.find('&'); amp != std::string_view::npos; amp = value.find('&', at)) {
    decoded.append(value.substr(at, amp - at));
    at = amp + 1;
    size_t semicolon = value.substr(0, amp + 2 + kLongestReference).find(';', amp + 1);
    std::optional<uint32_t> character;
    if (semicolon != std::string_view::npos) character = ReferencedCharacter(value.substr(amp + 1, semicolon - amp - 1));
    if (!character) {
      decoded += '&';
      continue;
    }
    at = semicolon + 1;
    if (*character < 0x20) {
      decoded += ' ';
    } else if (encoding == TextEncoding::kUtf8) {
      decoded += Utf8Of(*character).value_or("?");
    } else {
      decoded += *character <= 0xFF ? static_cast<char>(*character) : '?';
    }
  }
  decoded.append(value.substr(at));
  return decoded;
}

std::optional<TextEncoding> XmlDeclaredEncoding(std::string_view declaration) {
  for (size_t at = declaration.find("encoding"); at != std::string_view::npos;
       at = declaration.find("encoding", at + 1)) {
    size_t open = at + 8;
    while (open < declaration.size() && (declaration[open] == ' ' || declaration[open] == '\t')) ++open;
    if (open >= declaration.size() || declaration[open] != '=') continue;
    ++open;
    while (open < declaration.size() && (declaration[open] == ' ' || declaration[open] == '\t')) ++open;
    if (open >= declaration.size() || (declaration[open] != '"' && declaration[open] != '\'')) continue;
    size_t close = declaration.find(declaration[open], open + 1);
    if (close == std::string_view::npos) break;
    std::string_view name = TrimBlanks(declaration.substr(open + 1, close - open - 1));
    bool utf8 = EqualsIgnoringAsciiCase(name, "UTF-8") || EqualsIgnoringAsciiCase(name, "UTF8");
    return utf8 ? TextEncoding::kUtf8 : TextEncoding::kLatin1;
  }
  return std::nullopt;
}

char XmlPolarizationCode(char letter) {
  return CodeOf<char, char>(kPolarizationCodes, letter).value_or(letter);
}

std::optional<char> PolarizationFromXmlCode(char code) {
  return ValueOf<char, char>(kPolarizationCodes, code);
}

std::string XmlAttributeValue(std::string_view line, std::string_view name) {
  if (name.empty()) return std::string();
  for (size_t at = line.find(name); at != std::string_view::npos; at = line.find(name, at + 1)) {
    bool startsAttribute = at > 0 && (line[at - 1] == ' ' || line[at - 1] == '\t');
    if (!startsAttribute || !IsAttributeNameEnd(line, at + name.size())) continue;
    size_t open = line.find('"', at + name.size());
    if (open == std::string_view::npos) return std::string();
    size_t close = line.find('"', open + 1);
    if (close == std::string_view::npos) return std::string();
    return std::string(line.substr(open + 1, close - open - 1));
  }
  return std::string();
}

}  // namespace kavrel
