// The file system as kavrel uses it: names that exist, masks, the current
// and program directories, exclusive creation of outputs, atomic replacement
// of rewritten files. Files that kavrel reads are read whole
// (ReadWholeFile) and walked in memory (line_reader.h).
//
// Failures that end the run throw FatalError with a one-line text naming the
// file and the reason.
#ifndef KAVREL_PLATFORM_FILE_SYSTEM_H
#define KAVREL_PLATFORM_FILE_SYSTEM_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel {

// True when a directory entry of that name exists (a dangling link counts:
// the name is taken).
bool PathExists(const std::string& path);

// True when the path names a directory (links followed).
bool IsDirectory(const std::string& path);

// The process's current directory, without a trailing "/".
std::string CurrentDirectory();

// The program's own path as the system reports it (/proc/self/exe), or
// `argv0` when the system cannot tell.
std::string ExecutablePath(const std::string& argv0);

// Everything up to and including the last "/" of a path; empty when none.
std::string DirectoryPart(std::string_view path);

// Everything after the last "/" of a path.
std::string_view NamePart(std::string_view path);

// True when `name` matches `mask`, where "*" stands for any run of bytes and
// "?" for exactly one; every other byte matches itself, letter case
// included.
bool MaskMatches(std::string_view mask, std::string_view name);

// Names of the regular files of `directory` (empty means the current
// directory) that match `mask`, hidden names included, in byte order.
// Directories, FIFOs, devices and dangling links are left out. An
// unreadable or missing directory gives none.
std::vector<std::string> FindMatchingNames(const std::string& directory, std::string_view mask);

// Reads a whole file. Returns false when it does not exist; any other
// failure ends the run.
bool ReadWholeFile(const std::string& path, std::string& contents);

// A whole input file in memory without a copy: a regular file is mapped
// (its pages come straight from the page cache, no zero-filled buffer and
// no copy), anything else is read. The bytes last as long as the object.
class FileContents {
 public:
  FileContents() = default;
  FileContents(const FileContents&) = delete;
  FileContents& operator=(const FileContents&) = delete;
  FileContents(FileContents&& other) noexcept;
  FileContents& operator=(FileContents&& other) noexcept;
  ~FileContents();

  // Nothing when the file does not exist; any other failure ends the run.
  static std::optional<FileContents> Read(const std::string& path);

  std::string_view bytes() const { return mapped_ ? std::string_view(static_cast<const char*>(mapped_), size_) : read_; }

 private:
  void Release();
  void* mapped_ = nullptr;
  size_t size_ = 0;
  std::string read_;
};

// Makes a directory and its parents, new ones with mode 0700 (they may hold
// a proxy password or a user's pages). False with errno set on failure,
// ENOTDIR when the path names something else.
bool MakeDirectories(const std::string& path);

// Removes a file; a missing file is not an error.
void RemoveFileIfPresent(const std::string& path);

// Replaces `path` by `contents` in one step: the bytes are written to a
// temporary file beside it, which is then renamed over it, so a crash never
// leaves the file half written. On failure the old file is untouched, the
// temporary file is gone and FatalError("Unable to write to <path>") ends
// the run. An existing file keeps its mode; a new one gets `newMode` less
// the umask: by default readable by its owner only, since the files
// replaced so are configurations, which may hold a proxy password.
// Without `durable` the data is not synced before the rename: after a crash
// of the system the file may be empty or short, which suits files whose
// reader checks them (the page cache) and costs no wait for the disk.
void ReplaceFileAtomically(const std::string& path, std::string_view contents, unsigned newMode = 0600,
                           bool durable = true);

// A new output file, created exclusively: never an existing file. Writes are
// buffered. If the object goes away before Close() succeeded (an error ended
// the run), the half-written file is removed again: it was ours.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  ~OutputFile();

  // Creates the first free name that `nameFor` gives for index 0, 1, 2, ...
  // (index 0 is the plain name). A name that another process takes between
  // the test and the creation is passed over for the next one.
  static OutputFile CreateUnique(const std::function<std::string(int64_t)>& nameFor,
                                 int64_t lastIndex = INT32_MAX);

  // Creates exactly this name; fails when it exists.
  static OutputFile CreateExclusive(const std::string& path);

  // Creates exactly this name; on failure returns nothing and sets errnum
  // (EEXIST when the name is taken).
  static std::optional<OutputFile> TryCreateExclusive(const std::string& path, int& errnum);

  const std::string& path() const { return path_; }

  void Write(std::string_view bytes);

  // Flushes and closes; failures end the run.
  void Close();

 private:
  void Flush();
  void Discard();

  int fd_ = -1;
  std::string path_;
  std::string buffer_;
};

}  // namespace kavrel

#endif
