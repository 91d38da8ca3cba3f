#include "acquisition/page_cache.h"

#include <dirent.h>
#include <openssl/evp.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/int_text.h"

namespace kavrel {

namespace {

// The first line of every entry; a new layout gets a new number, and an
// entry of another reads as damaged.
constexpr std::string_view kEntryMagic = "kavrel page cache 1\n";
constexpr size_t kEntryNameLength = 64;

std::string Sha256Hex(std::string_view text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr) != 1) return std::string();
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

// One header line "<field> <value>"; a value with a line break cannot be
// kept and makes the entry unkeepable.
bool AppendField(std::string& entry, std::string_view field, std::string_view value) {
  if (value.find_first_of("\r\n") != std::string_view::npos) return false;
  entry.append(field).append(" ").append(value).append("\n");
  return true;
}

// Reads "<field> <value>\n" at the front of `rest`.
std::optional<std::string_view> TakeField(std::string_view& rest, std::string_view field) {
  size_t end = rest.find('\n');
  if (end == std::string_view::npos || rest.size() < field.size() + 1 || rest.substr(0, field.size()) != field ||
      rest[field.size()] != ' ') {
    return std::nullopt;
  }
  std::string_view value = rest.substr(field.size() + 1, end - field.size() - 1);
  rest.remove_prefix(end + 1);
  return value;
}

// Removes what has lived too long: entries past their lifetime, and the
// temporary files of writes that a killed run left behind.
void RemoveExpired(const std::string& directory, std::time_t now) {
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return;
  const std::time_t oldest = now - static_cast<std::time_t>(kCacheEntryLifetime.count());
  const std::time_t oldestTemporary = now - 24 * 3600;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view name = entry->d_name;
    bool isEntry = name.size() == kEntryNameLength && name.find_first_not_of("0123456789abcdef") == name.npos;
    bool isTemporary = name.size() > kEntryNameLength + 1 && name[0] == '.' &&
                       name.substr(1, kEntryNameLength).find_first_not_of("0123456789abcdef") == name.npos;
    if (!isEntry && !isTemporary) continue;
    std::string path = directory + "/" + std::string(name);
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    if (status.st_mtime < (isEntry ? oldest : oldestTemporary)) (void)::unlink(path.c_str());
  }
  ::closedir(dir);
}

}  // namespace

std::optional<std::string> MakeCacheEntry(std::string_view address, const CachedPage& page) {
  std::string entry(kEntryMagic);
  if (page.body.size() > kMaxCachedPageBytes || !AppendField(entry, "address", address) ||
      !AppendField(entry, "etag", page.etag) || !AppendField(entry, "last-modified", page.lastModified)) {
    return std::nullopt;
  }
  AppendField(entry, "length", DecimalText(static_cast<int64_t>(page.body.size())));
  entry += '\n';
  entry += page.body;
  return entry;
}

std::optional<CachedPage> ReadCacheEntry(std::string_view bytes, std::string_view address) {
  std::string_view rest = bytes;
  if (!rest.starts_with(kEntryMagic)) return std::nullopt;
  rest.remove_prefix(kEntryMagic.size());
  std::optional<std::string_view> kept = TakeField(rest, "address");
  std::optional<std::string_view> etag = TakeField(rest, "etag");
  std::optional<std::string_view> lastModified = TakeField(rest, "last-modified");
  std::optional<std::string_view> length = TakeField(rest, "length");
  if (!kept || *kept != address || !etag || !lastModified || !length || !rest.starts_with("\n")) return std::nullopt;
  rest.remove_prefix(1);
  std::optional<uint64_t> size = PlainDigitsValue(*length);
  if (!size || *size != rest.size()) return std::nullopt;
  return CachedPage{std::string(rest), std::string(*etag), std::string(*lastModified)};
}

PageCache PageCache::Open(const std::string& directory, std::time_t now) {
  PageCache cache;
  cache.directory_ = directory;
  while (cache.directory_.size() > 1 && cache.directory_.back() == '/') cache.directory_.pop_back();
  if (!MakeDirectories(cache.directory_) || ::access(cache.directory_.c_str(), W_OK | X_OK) != 0) {
    cache.note_ = "the page cache " + cache.directory_ + " cannot be used (" + std::strerror(errno) +
                  "); pages are fetched without it";
    return cache;
  }
  RemoveExpired(cache.directory_, now);
  cache.usable_ = true;
  return cache;
}

std::string PageCache::EntryPath(std::string_view address) const { return directory_ + "/" + Sha256Hex(address); }

std::optional<CachedPage> PageCache::Find(std::string_view address) const {
  if (!usable_) return std::nullopt;
  // No entry is larger than the largest page kept with its address and
  // validators (which came in a response head, at most 64 KiB): anything
  // larger in its place is not read at all.
  std::string path = EntryPath(address);
  struct stat status;
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<uint64_t>(status.st_size) > kMaxCachedPageBytes + address.size() + 2 * 65536) {
    return std::nullopt;
  }
  std::string bytes;
  try {
    if (!ReadWholeFile(path, bytes)) return std::nullopt;
  } catch (const FatalError&) {
    return std::nullopt;
  }
  return ReadCacheEntry(bytes, address);
}

bool PageCache::Keep(std::string_view address, const CachedPage& page) {
  if (!usable_) return false;
  std::string path = EntryPath(address);
  std::optional<std::string> entry = MakeCacheEntry(address, page);
  if (!entry) {
    (void)::unlink(path.c_str());
    return false;
  }
  try {
    // Not synced: an entry cut by a crash reads as damaged, and is fetched again.
    ReplaceFileAtomically(path, *entry, 0600, false);
  } catch (const FatalError& error) {
    usable_ = false;
    note_ = "the page cache " + directory_ + " cannot be written (" + error.what() +
            "); pages are fetched without it";
    return false;
  }
  return true;
}

void PageCache::Touch(std::string_view address) const {
  if (usable_) (void)::utimensat(AT_FDCWD, EntryPath(address).c_str(), nullptr, 0);
}

}  // namespace kavrel
