// The INI transponder file reader on any file.
#include "formats/ini_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  std::string path = kavrel::fuzz::InputFile(data, size, "input.ini");
  // Twice: the second time merges into what the first one left.
  kavrel::ReadIniFile(quiet.run, path);
  quiet.run.catalogue.MergeFlag = true;
  kavrel::ReadIniFile(quiet.run, path);
  return 0;
}
