// Profile (INI) files: "[Section]" lines followed by "key=value" lines.
//
// Section and key names match without regard to ASCII letter case; blanks
// around names and values are ignored when reading; lines beginning with
// ";" are comments; the first occurrence of a section or key is the one that
// counts. A value is returned as written, at most 2047 characters.
//
// Writing keeps every other line as it was: an existing key is replaced in
// place, a new key goes after the last key of its section, a new section is
// appended at the end of the file. Written lines read "[Section]" and
// "key=value" with no blanks added and no blank lines inserted.
#ifndef KAVREL_PLATFORM_PROFILE_FILE_H
#define KAVREL_PLATFORM_PROFILE_FILE_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/line_reader.h"

namespace kavrel {

// The parsed text of one profile file, held in memory.
class ProfileDocument {
 public:
  static constexpr size_t kMaxValueLength = 2047;

  ProfileDocument() = default;
  explicit ProfileDocument(std::string_view text);

  // The value of a key, or nothing when the section or key is missing.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  // Sets a key, creating its section as needed.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // The file's text: every line followed by LF.
  std::string Text() const;

 private:
  struct Section {
    std::string header;                // the "[...]" line as it stands
    std::vector<std::string> lines;    // every line after it, as it stands
    std::unordered_map<std::string, size_t> keys;  // lower-cased key -> line
    size_t lastKeyLine = SIZE_MAX;     // index in `lines` of the last key line
  };

  void IndexSection(Section& section);
  Section* FindSection(std::string_view section);
  const Section* FindSection(std::string_view section) const;

  std::vector<std::string> preamble_;  // lines before the first section
  std::vector<Section> sections_;
  std::unordered_map<std::string, size_t> sectionIndex_;  // lower-cased name
};

// Walks the key lines of a profile text once, in file order, without
// building a document: for readers that want a few sections of a large
// file. It sees what ProfileDocument::Find sees, given that the reader
// keeps the first occurrence of a key and of a section.
class ProfileKeyScanner {
 public:
  struct Entry {
    std::string_view section;  // the name as written, blanks removed
    bool firstSection = false; // no earlier section has this name
    std::string_view key;      // blanks removed
    std::string_view value;    // blanks removed, at most kMaxValueLength
  };

  explicit ProfileKeyScanner(std::string_view text) : reader_(text) {}

  // The next key line that stands in a section; false at the end.
  bool Next(Entry& entry);

 private:
  LineReader reader_;
  std::string_view section_;
  bool inSection_ = false;
  bool firstSection_ = false;
  std::unordered_set<std::string> seenSections_;  // lower-cased
};

// "[section]" and "key=value" lines, each ending in LF, as
// ProfileDocument::Text() writes them: for writers that build a new file.
void AppendSectionLine(std::string& text, std::string_view section);
void AppendKeyLine(std::string& text, std::string_view key, std::string_view value);

// A profile file bound to a path. Creating the object touches no file.
// Reads come from a parsed copy that is kept as long as the file on disk is
// unchanged, so many reads from one file cost one parse.
class TIniFile {
 public:
  explicit TIniFile(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // The value, or `fallback` when the file, section or key is missing.
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback);

  // The whole document as it stands on disk (empty when the file is
  // missing), for callers that change keys and then store them with one
  // Replace() (the file replaced atomically; a refused write ends the run
  // with "Unable to write to <path>").
  ProfileDocument Load();
  void Replace(const ProfileDocument& document);

 private:
  struct Signature {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    bool operator==(const Signature&) const = default;
  };

  // The current document, re-read only when the file changed.
  const ProfileDocument* Current();

  std::string path_;
  std::optional<Signature> cachedSignature_;
  ProfileDocument cached_;
};

}  // namespace kavrel

#endif
