// The profile file reader and writer on any file text.
#include "fuzz/fuzz_support.h"
#include "platform/profile_file.h"
#include "platform/text.h"

#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  kavrel::ProfileDocument document(text);
  document.Set("Common", "MinSR", "5");
  document.Set("New", "key", "value");
  kavrel::ProfileDocument again(document.Text());
  if (again.Find("New", "key") != std::string("value")) std::abort();
  // The one-pass scanner sees what the document finds: the first value of
  // a key in the first section of its name.
  kavrel::ProfileKeyScanner scanner(text);
  kavrel::ProfileKeyScanner::Entry entry;
  kavrel::ProfileDocument original(text);
  std::set<std::pair<std::string, std::string>> seen;
  while (scanner.Next(entry)) {
    if (!entry.firstSection) continue;
    std::pair<std::string, std::string> name{kavrel::LowerAscii(entry.section), kavrel::LowerAscii(entry.key)};
    if (!seen.insert(name).second) continue;
    if (original.Find(entry.section, entry.key) != std::string(entry.value)) std::abort();
  }
  kavrel::TIniFile file(kavrel::fuzz::InputFile(data, size, "profile.ini"));
  (void)file.ReadString("Common", "MaxSR", "65535");
  return 0;
}
