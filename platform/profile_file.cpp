#include "platform/profile_file.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/int_text.h"
#include "platform/line_reader.h"
#include "platform/text.h"

namespace kavrel {

namespace {

// "[name]" -> name; the closing bracket may be missing.
bool SectionName(std::string_view line, std::string_view& name) {
  std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() != '[') return false;
  trimmed.remove_prefix(1);
  size_t close = trimmed.find(']');
  name = TrimBlanks(close == std::string_view::npos ? trimmed : trimmed.substr(0, close));
  return true;
}

// "key=value" -> key, value; comments and lines without "=" are no keys.
bool KeyLine(std::string_view line, std::string_view& key, std::string_view& value) {
  std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';') return false;
  size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return false;
  key = TrimBlanks(trimmed.substr(0, equals));
  value = TrimBlanks(trimmed.substr(equals + 1));
  return !key.empty();
}

}  // namespace

ProfileDocument::ProfileDocument(std::string_view text) {
  LineReader reader(text);
  while (!reader.AtEnd()) {
    std::string_view line = reader.ReadRawLine();
    std::string_view name;
    if (SectionName(line, name)) {
      sections_.push_back(Section{std::string(line), {}, {}, SIZE_MAX});
      sectionIndex_.emplace(LowerAscii(name), sections_.size() - 1);
    } else if (sections_.empty()) {
      preamble_.emplace_back(line);
    } else {
      sections_.back().lines.emplace_back(line);
    }
  }
  for (Section& section : sections_) IndexSection(section);
}

void ProfileDocument::IndexSection(Section& section) {
  section.keys.clear();
  section.lastKeyLine = SIZE_MAX;
  for (size_t i = 0; i < section.lines.size(); ++i) {
    std::string_view key, value;
    if (!KeyLine(section.lines[i], key, value)) continue;
    section.keys.emplace(LowerAscii(key), i);
    section.lastKeyLine = i;
  }
}

ProfileDocument::Section* ProfileDocument::FindSection(std::string_view section) {
  auto found = sectionIndex_.find(LowerAscii(TrimBlanks(section)));
  return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

const ProfileDocument::Section* ProfileDocument::FindSection(std::string_view section) const {
  auto found = sectionIndex_.find(LowerAscii(TrimBlanks(section)));
  return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

std::optional<std::string> ProfileDocument::Find(std::string_view section,
                                                 std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return std::nullopt;
  auto found = s->keys.find(LowerAscii(TrimBlanks(key)));
  if (found == s->keys.end()) return std::nullopt;
  std::string_view name, value;
  KeyLine(s->lines[found->second], name, value);
  return std::string(value.substr(0, kMaxValueLength));
}

void ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string line = std::string(key) + "=" + std::string(value);
  Section* s = FindSection(section);
  if (s == nullptr) {
    // Built by appending: GCC 12 at -O3 mistakes "[" + std::string for an
    // overlapping copy and warns.
    std::string header(1, '[');
    header.append(section);
    header += ']';
    sections_.push_back(Section{std::move(header), {}, {}, SIZE_MAX});
    sectionIndex_.emplace(LowerAscii(TrimBlanks(section)), sections_.size() - 1);
    s = &sections_.back();
  }
  std::string lowerKey = LowerAscii(TrimBlanks(key));
  auto found = s->keys.find(lowerKey);
  if (found != s->keys.end()) {
    s->lines[found->second] = std::move(line);
    return;
  }
  size_t at = s->lastKeyLine == SIZE_MAX ? 0 : s->lastKeyLine + 1;
  if (at == s->lines.size()) {
    s->lines.push_back(std::move(line));
    s->keys.emplace(std::move(lowerKey), at);
    s->lastKeyLine = at;
  } else {
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    IndexSection(*s);
  }
}

std::string ProfileDocument::Text() const {
  std::string text;
  auto put = [&text](const std::string& line) {
    text += line;
    text += '\n';
  };
  for (const std::string& line : preamble_) put(line);
  for (const Section& section : sections_) {
    put(section.header);
    for (const std::string& line : section.lines) put(line);
  }
  return text;
}

void AppendSectionLine(std::string& text, std::string_view section) {
  text += '[';
  text += section;
  text += "]\n";
}

void AppendKeyLine(std::string& text, std::string_view key, std::string_view value) {
  text += key;
  text += '=';
  text += value;
  text += '\n';
}

bool ProfileKeyScanner::Next(Entry& entry) {
  while (!reader_.AtEnd()) {
    std::string_view line = reader_.ReadRawLine();
    std::string_view name;
    if (SectionName(line, name)) {
      std::string lower = LowerAscii(name);
      inSection_ = true;
      section_ = name;
      firstSection_ = seenSections_.insert(std::move(lower)).second;
      continue;
    }
    std::string_view key, value;
    if (!inSection_ || !KeyLine(line, key, value)) continue;
    entry.section = section_;
    entry.firstSection = firstSection_;
    entry.key = key;
    entry.value = value.substr(0, ProfileDocument::kMaxValueLength);
    return true;
  }
  return false;
}

const ProfileDocument* TIniFile::Current() {
  struct stat info;
  if (::stat(path_.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      cachedSignature_.reset();
      return nullptr;
    }
    ThrowFileError("Cannot read", path_, errno);
  }
  Signature signature{info.st_dev, info.st_ino, info.st_size,
                      static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec,
                      static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
  if (cachedSignature_ && *cachedSignature_ == signature) return &cached_;
  std::string text;
  if (!ReadWholeFile(path_, text)) {
    cachedSignature_.reset();
    return nullptr;
  }
  cached_ = ProfileDocument(text);
  cachedSignature_ = signature;
  return &cached_;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) {
  const ProfileDocument* document = Current();
  if (document == nullptr) return std::string(fallback);
  std::optional<std::string> value = document->Find(section, key);
  return value ? *value : std::string(fallback);
}

ProfileDocument TIniFile::Load() {
  const ProfileDocument* document = Current();
  return document ? *document : ProfileDocument();
}

void TIniFile::Replace(const ProfileDocument& document) {
  ReplaceFileAtomically(path_, document.Text());
  cachedSignature_.reset();
}

}  // namespace kavrel
