// The pages fetched over https, kept with the validators their server sent
// (ETag, Last-Modified), so that a later walk asks only whether a page
// changed and reads the kept copy when it did not.
//
// One file per page address, named by the SHA-256 of the address, each
// replaced atomically: a run killed while it writes leaves the old entry or
// the new one. The cache is bounded: a page over kMaxCachedPageBytes is not
// kept, and entries older than kCacheEntryLifetime are removed when the
// cache is opened. A damaged entry reads as absent and is replaced by the
// next fetch. A cache that cannot be written is given up with a note; the
// run goes on without it.
#ifndef KAVREL_ACQUISITION_PAGE_CACHE_H
#define KAVREL_ACQUISITION_PAGE_CACHE_H

#include <chrono>
#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

constexpr size_t kMaxCachedPageBytes = 16 * 1024 * 1024;
constexpr std::chrono::seconds kCacheEntryLifetime = std::chrono::hours(24 * 60);

struct CachedPage {
  std::string body;          // the page as decoded (no chunks, no gzip)
  std::string etag;          // empty when the server sent none
  std::string lastModified;  // empty when the server sent none

  bool operator==(const CachedPage&) const = default;
};

// The bytes of one cache entry: a first line naming the layout, the
// address, the validators and the body's length, a blank line, the body.
// Nothing when the page cannot be kept (a value with a line break, a body
// over the bound).
std::optional<std::string> MakeCacheEntry(std::string_view address, const CachedPage& page);

// The page an entry's bytes hold for `address`; nothing when they are
// damaged, of another layout, or kept for another address.
std::optional<CachedPage> ReadCacheEntry(std::string_view bytes, std::string_view address);

class PageCache {
 public:
  // A cache that keeps nothing and finds nothing.
  PageCache() = default;

  // Opens (and creates, mode 0700) the cache folder and removes expired
  // entries, as of `now`. A folder that cannot be made or written gives a
  // cache that is not usable(), with note() saying why.
  static PageCache Open(const std::string& directory, std::time_t now = std::time(nullptr));

  bool usable() const { return usable_; }
  // Why the cache was given up; empty while it is usable.
  const std::string& note() const { return note_; }
  const std::string& directory() const { return directory_; }

  // The kept page of an address; nothing when none is kept or its entry is
  // damaged.
  std::optional<CachedPage> Find(std::string_view address) const;

  // Keeps a page, replacing an earlier one. A page over the bound is not
  // kept (and an earlier entry goes). A write that fails gives the cache
  // up: false, and note() says why.
  bool Keep(std::string_view address, const CachedPage& page);

  // Marks a kept page as used now: its server said it has not changed, so
  // the entry lives another lifetime.
  void Touch(std::string_view address) const;

 private:
  std::string EntryPath(std::string_view address) const;

  std::string directory_;
  std::string note_;
  bool usable_ = false;
};

}  // namespace kavrel

#endif
