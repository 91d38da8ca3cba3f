// Entries of the page cache. Any bytes a damaged or foreign file may hold
// are read as an entry, for the address they name and for another; and an
// entry the writer builds from any parts must read back as the page it was
// built from, while the same entry cut short or lengthened does not read.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "acquisition/page_cache.h"

namespace {

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool Keepable(std::string_view address, const kavrel::CachedPage& page) {
  return !HasLineBreak(address) && !HasLineBreak(page.etag) && !HasLineBreak(page.lastModified);
}

// Builds the entry of a page and reads it back.
void RoundTrip(std::string_view address, const kavrel::CachedPage& page) {
  std::optional<std::string> entry = kavrel::MakeCacheEntry(address, page);
  if (entry.has_value() != Keepable(address, page)) std::abort();
  if (!entry) return;
  if (kavrel::ReadCacheEntry(*entry, address) != page) std::abort();
  if (kavrel::ReadCacheEntry(std::string_view(*entry).substr(0, entry->size() - 1), address)) std::abort();
  if (kavrel::ReadCacheEntry(*entry + "x", address)) std::abort();
  if (kavrel::ReadCacheEntry(*entry, std::string(address) + "/")) std::abort();
}

// The address an entry names on its second line, when it has one.
std::string_view NamedAddress(std::string_view bytes) {
  constexpr std::string_view kField = "\naddress ";
  size_t start = bytes.find(kField);
  if (start == std::string_view::npos) return {};
  start += kField.size();
  return bytes.substr(start, bytes.find('\n', start) - start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  for (std::string_view address : {NamedAddress(input), std::string_view("https://h.example/13.0E.html")}) {
    std::optional<kavrel::CachedPage> page = kavrel::ReadCacheEntry(input, address);
    if (!page) continue;
    if (page->body.size() + page->etag.size() + page->lastModified.size() >= size) std::abort();
    // What was read is kept again as it was, unless a value holds a
    // carriage return, which the writer refuses.
    RoundTrip(address, *page);
  }

  FuzzedDataProvider parts(data, size);
  std::string address = parts.ConsumeRandomLengthString(512);
  kavrel::CachedPage page;
  page.etag = parts.ConsumeRandomLengthString(256);
  page.lastModified = parts.ConsumeRandomLengthString(256);
  page.body = parts.ConsumeRemainingBytesAsString();
  RoundTrip(address, page);
  return 0;
}
