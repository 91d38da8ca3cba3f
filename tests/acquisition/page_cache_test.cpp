#include "acquisition/page_cache.h"

#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include "support/scratch_dir.h"

namespace kavrel {
namespace {

using testing::ScratchDir;

constexpr const char* kAddress = "https://www.example.org/13.0E.html";

TEST(PageCache, KeepsPagesWithTheirValidators) {
  ScratchDir dir;
  PageCache cache = PageCache::Open(dir.At("a/b/pages"));
  ASSERT_TRUE(cache.usable()) << cache.note();
  EXPECT_FALSE(cache.Find(kAddress));
  std::string body("<html>\n\0\xff</html>", 17);
  ASSERT_TRUE(cache.Keep(kAddress, {body, "\"5f3-6a1b\"", "Tue, 08 Dec 2026 10:00:00 GMT"}));
  ASSERT_TRUE(cache.Keep("https://www.example.org/19.2E.html", {"other", "", ""}));
  std::optional<CachedPage> page = cache.Find(kAddress);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->body, body);
  EXPECT_EQ(page->etag, "\"5f3-6a1b\"");
  EXPECT_EQ(page->lastModified, "Tue, 08 Dec 2026 10:00:00 GMT");
  // A later run finds it; a newer page replaces it.
  PageCache again = PageCache::Open(dir.At("a/b/pages"));
  ASSERT_TRUE(again.Keep(kAddress, {"new", "", "Wed, 09 Dec 2026 10:00:00 GMT"}));
  EXPECT_EQ(again.Find(kAddress)->body, "new");
  EXPECT_EQ(again.Find(kAddress)->etag, "");
  EXPECT_EQ(again.Find("https://www.example.org/19.2E.html")->body, "other");
}

TEST(PageCache, DamagedEntriesReadAsAbsentAndAreReplaced) {
  ScratchDir dir;
  PageCache cache = PageCache::Open(dir.path());
  ASSERT_TRUE(cache.Keep(kAddress, {"0123456789", "e", "m"}));
  std::vector<std::string> names = dir.Names();
  ASSERT_EQ(names.size(), 1u);
  const std::string good = dir.Read(names[0]);
  auto withEntry = [&](const std::string& bytes) {
    dir.Write(names[0], bytes);
    return cache.Find(kAddress).has_value();
  };
  EXPECT_TRUE(withEntry(good));
  EXPECT_FALSE(withEntry(good.substr(0, good.size() - 1)));  // cut short
  EXPECT_FALSE(withEntry(good + "x"));                        // longer than it says
  EXPECT_FALSE(withEntry(""));
  EXPECT_FALSE(withEntry("kavrel page cache 2" + good.substr(good.find('\n'))));
  std::string otherAddress = good;
  otherAddress.replace(otherAddress.find("13.0E"), 5, "28.2E");
  EXPECT_FALSE(withEntry(otherAddress));  // another page under this name
  std::string badLength = good;
  badLength.replace(badLength.find("length 10"), 9, "length 1x");
  EXPECT_FALSE(withEntry(badLength));
  // A file of 64 GiB (sparse) in the entry's place is not read into memory.
  ASSERT_EQ(::truncate(dir.At(names[0]).c_str(), off_t{64} << 30), 0);
  EXPECT_FALSE(cache.Find(kAddress));
  ASSERT_TRUE(cache.Keep(kAddress, {"0123456789", "e", "m"}));
  EXPECT_EQ(dir.Read(names[0]), good);
}

TEST(PageCache, StaysBounded) {
  ScratchDir dir;
  PageCache cache = PageCache::Open(dir.path());
  ASSERT_TRUE(cache.Keep(kAddress, {"small", "", ""}));
  // Too large to keep: the earlier entry goes with it, so that its
  // validators cannot stand for a page the cache does not hold.
  EXPECT_FALSE(cache.Keep(kAddress, {std::string(kMaxCachedPageBytes + 1, 'x'), "", ""}));
  EXPECT_FALSE(cache.Find(kAddress));
  EXPECT_TRUE(cache.usable());
  EXPECT_TRUE(cache.Keep(kAddress, {std::string(kMaxCachedPageBytes, 'x'), "", ""}));
  // A validator that would break the entry's lines is not kept.
  EXPECT_FALSE(cache.Keep(kAddress, {"x", "\"a\"\r\nX-Injected: 1", ""}));
  EXPECT_FALSE(cache.Find(kAddress));

  // Entries older than their lifetime and temporary files of a killed run
  // go when the cache is opened; other files are left alone.
  ASSERT_TRUE(cache.Keep(kAddress, {"old", "", ""}));
  ASSERT_TRUE(cache.Keep("https://www.example.org/fresh", {"fresh", "", ""}));
  std::string oldName;
  for (const std::string& name : dir.Names()) {
    if (dir.Read(name).ends_with("\nold")) oldName = name;
  }
  ASSERT_FALSE(oldName.empty());
  dir.Write("." + oldName + ".Ab12Cd", "half");
  dir.Write("notes.txt", "mine");
  std::time_t now = std::time(nullptr);
  std::time_t aged = now - static_cast<std::time_t>(kCacheEntryLifetime.count()) - 10;
  for (const std::string& name : {oldName, "." + oldName + ".Ab12Cd", std::string("notes.txt")}) {
    timeval times[2] = {{aged, 0}, {aged, 0}};
    ASSERT_EQ(::utimes(dir.At(name).c_str(), times), 0);
  }
  PageCache reopened = PageCache::Open(dir.path(), now);
  EXPECT_FALSE(reopened.Find(kAddress));
  EXPECT_EQ(reopened.Find("https://www.example.org/fresh")->body, "fresh");
  EXPECT_EQ(dir.Names().size(), 2u);
  EXPECT_TRUE(dir.Exists("notes.txt"));
}

TEST(PageCache, AFolderThatCannotBeUsedIsGivenUpWithANote) {
  ScratchDir dir;
  dir.Write("file", "");
  PageCache cache = PageCache::Open(dir.At("file/pages"));
  EXPECT_FALSE(cache.usable());
  EXPECT_NE(cache.note().find(dir.At("file/pages")), std::string::npos);
  EXPECT_FALSE(cache.Keep(kAddress, {"x", "", ""}));
  EXPECT_FALSE(cache.Find(kAddress));
  EXPECT_FALSE(PageCache().usable());
}

}  // namespace
}  // namespace kavrel
