#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/fatal_error.h"

namespace kavrel {

void ThrowFileError(const std::string& what, const std::string& path, int errnum) {
  // Outputs are named relative to the current directory; the message names
  // the file in full so that the user finds it.
  std::string shown = path;
  if (!path.empty() && path[0] != '/') {
    char directory[PATH_MAX];
    if (::getcwd(directory, sizeof directory) != nullptr) {
      shown = std::string(directory) + (directory[1] == '\0' ? "" : "/") + path;
    }
  }
  throw FatalError(what + " " + shown + ": " + std::strerror(errnum));
}

bool IsDirectory(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

std::string CurrentDirectory() {
  std::string buffer(PATH_MAX, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) ThrowFileError("Cannot determine the current directory", ".", errno);
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(std::strlen(buffer.c_str()));
  if (buffer.size() > 1 && buffer.back() == '/') buffer.pop_back();
  return buffer;
}

std::string ExecutablePath(const std::string& argv0) {
  std::string buffer(PATH_MAX, '\0');
  ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return argv0;
  buffer.resize(static_cast<size_t>(length));
  return buffer;
}

std::string DirectoryPart(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string_view NamePart(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool MaskMatches(std::string_view mask, std::string_view name) {
  // Greedy matching with one backtrack point for the last "*": linear in
  // practice and never exponential, whatever the mask.
  size_t m = 0, n = 0;
  size_t starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || (mask[m] != '*' && mask[m] == name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

std::vector<std::string> FindMatchingNames(const std::string& directory, std::string_view mask) {
  std::vector<std::string> names;
  std::string dirPath = directory.empty() ? std::string(".") : directory;
  std::string prefix = dirPath;
  if (prefix.back() != '/') prefix += '/';
  // Only regular files are inputs: a directory is no file, and opening a
  // FIFO or a device would wait forever or read without end.
  auto isRegularFile = [&prefix](std::string_view name) {
    struct stat info;
    std::string full = prefix + std::string(name);
    return ::stat(full.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  };
  // A plain name matches only itself: one look-up instead of a scan of a
  // directory that may hold thousands of files, once per list line.
  if (mask.find_first_of("*?") == std::string_view::npos) {
    if (!mask.empty() && mask != "." && mask != ".." && isRegularFile(mask)) {
      names.emplace_back(mask);
    }
    return names;
  }
  DIR* dir = ::opendir(dirPath.c_str());
  if (dir == nullptr) return names;
  while (struct dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!MaskMatches(mask, name) || !isRegularFile(name)) continue;
    names.emplace_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    ThrowFileError("Cannot read", path, errno);
  }
  // Read straight into the string, sized once from the file's size; a file
  // that grows meanwhile (or reports no size) is read to its end all the
  // same.
  struct stat info;
  size_t expected = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? static_cast<size_t>(info.st_size) : 0;
  contents.resize(expected > 0 ? expected + 1 : 65536);
  size_t length = 0;
  for (;;) {
    if (length == contents.size()) contents.resize(contents.size() * 2);
    ssize_t got = ::read(fd, contents.data() + length, contents.size() - length);
    if (got < 0) {
      if (errno == EINTR) continue;
      int saved = errno;
      ::close(fd);
      contents.clear();
      ThrowFileError("Cannot read", path, saved);
    }
    if (got == 0) break;
    length += static_cast<size_t>(got);
  }
  ::close(fd);
  contents.resize(length);
  return true;
}

FileContents::FileContents(FileContents&& other) noexcept
    : mapped_(other.mapped_), size_(other.size_), read_(std::move(other.read_)) {
  other.mapped_ = nullptr;
  other.size_ = 0;
}

FileContents& FileContents::operator=(FileContents&& other) noexcept {
  if (this != &other) {
    Release();
    mapped_ = other.mapped_;
    size_ = other.size_;
    read_ = std::move(other.read_);
    other.mapped_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

FileContents::~FileContents() { Release(); }

void FileContents::Release() {
  if (mapped_ != nullptr) ::munmap(mapped_, size_);
  mapped_ = nullptr;
}

std::optional<FileContents> FileContents::Read(const std::string& path) {
  // Small files are read: a mapping costs more than it saves below this.
  constexpr off_t kMapFrom = 256 * 1024;
  FileContents contents;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    ThrowFileError("Cannot read", path, errno);
  }
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= kMapFrom &&
      static_cast<uint64_t>(info.st_size) <= SIZE_MAX) {
    // All pages mapped at once: no page fault per page as the reader walks.
    void* mapped = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (mapped != MAP_FAILED) {
      ::close(fd);
      contents.mapped_ = mapped;
      contents.size_ = static_cast<size_t>(info.st_size);
      return contents;
    }
  }
  ::close(fd);
  if (!ReadWholeFile(path, contents.read_)) return std::nullopt;
  return contents;
}

bool MakeDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  if (!IsDirectory(path)) {
    errno = ENOTDIR;
    return false;
  }
  return true;
}

void RemoveFileIfPresent(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) ThrowFileError("Cannot delete", path, errno);
}

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t done = ::write(fd, data, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

}  // namespace

void ReplaceFileAtomically(const std::string& linkOrPath, std::string_view contents, unsigned newMode,
                           bool durable) {
  // A file kept elsewhere behind a symbolic link is replaced where it lives,
  // so the link goes on pointing at it.
  std::string path = linkOrPath;
  struct stat link;
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) path = resolved;
  }
  std::string temp = DirectoryPart(path) + "." + std::string(NamePart(path)) + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) throw FatalError("Unable to write to " + linkOrPath);
  struct stat old;
  if (::stat(path.c_str(), &old) == 0) {
    (void)::fchmod(fd, old.st_mode & 07777);
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(fd, static_cast<mode_t>(newMode) & ~mask);
  }
  bool ok = WriteAll(fd, contents.data(), contents.size()) && (!durable || ::fsync(fd) == 0);
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    throw FatalError("Unable to write to " + linkOrPath);
  }
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(other.fd_), path_(std::move(other.path_)), buffer_(std::move(other.buffer_)) {
  other.fd_ = -1;
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Discard();
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    buffer_ = std::move(other.buffer_);
    other.fd_ = -1;
  }
  return *this;
}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(path_.c_str());
    fd_ = -1;
  }
}

std::optional<OutputFile> OutputFile::TryCreateExclusive(const std::string& path, int& errnum) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    errnum = errno;
    return std::nullopt;
  }
  OutputFile file;
  file.fd_ = fd;
  file.path_ = path;
  return file;
}

OutputFile OutputFile::CreateUnique(const std::function<std::string(int64_t)>& nameFor,
                                    int64_t lastIndex) {
  for (int64_t index = 0; index <= lastIndex; ++index) {
    std::string name = nameFor(index);
    if (PathExists(name)) continue;
    int errnum = 0;
    std::optional<OutputFile> file = TryCreateExclusive(name, errnum);
    if (file) return std::move(*file);
    if (errnum != EEXIST) ThrowFileError("Cannot create", name, errnum);
  }
  throw FatalError("Cannot create " + nameFor(0) + ": every numbered name is taken");
}

OutputFile OutputFile::CreateExclusive(const std::string& path) {
  int errnum = 0;
  std::optional<OutputFile> file = TryCreateExclusive(path, errnum);
  if (!file) ThrowFileError("Cannot create", path, errnum);
  return std::move(*file);
}

void OutputFile::Write(std::string_view bytes) {
  constexpr size_t kBlock = 1u << 16;
  if (buffer_.size() + bytes.size() < kBlock) {
    buffer_.append(bytes);
    return;
  }
  Flush();
  if (bytes.size() < kBlock) {
    buffer_.append(bytes);
  } else if (!WriteAll(fd_, bytes.data(), bytes.size())) {
    // A large block goes out as it is, without a copy.
    ThrowFileError("Cannot write", path_, errno);
  }
}

void OutputFile::Flush() {
  if (buffer_.empty()) return;
  if (!WriteAll(fd_, buffer_.data(), buffer_.size())) ThrowFileError("Cannot write", path_, errno);
  buffer_.clear();
}

void OutputFile::Close() {
  if (fd_ < 0) return;
  Flush();
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    int saved = errno;
    ::unlink(path_.c_str());
    ThrowFileError("Cannot write", path_, saved);
  }
}

}  // namespace kavrel
