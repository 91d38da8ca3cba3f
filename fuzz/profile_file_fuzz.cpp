// The profile file reader and writer on any file text.
#include "fuzz/fuzz_support.h"
#include "platform/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  kavrel::ProfileDocument document(text);
  for (const char* section : {"Common", "SATTYPE", "DVB", "lyngsat"}) {
    for (const std::string& key : document.KeysOf(section)) (void)document.Find(section, key);
  }
  document.Set("Common", "MinSR", "5");
  document.Set("New", "key", "value");
  kavrel::ProfileDocument again(document.Text());
  if (again.Find("New", "key") != std::string("value")) std::abort();
  kavrel::TIniFile file(kavrel::fuzz::InputFile(data, size, "profile.ini"));
  (void)file.ReadInteger("Common", "MaxSR", 65535);
  return 0;
}
