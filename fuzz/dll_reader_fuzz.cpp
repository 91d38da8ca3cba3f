// The DLL transponder file reader on any file.
#include "formats/dll_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  std::string path = kavrel::fuzz::InputFile(data, size, "input.dll");
  // Twice: the second time merges into what the first one left.
  kavrel::ReadDllFile(quiet.run, path);
  quiet.run.catalogue.MergeFlag = true;
  kavrel::ReadDllFile(quiet.run, path);
  return 0;
}
