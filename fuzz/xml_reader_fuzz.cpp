// The XML transponder file reader on any file.
#include "formats/xml_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  // Twice: the second time merges into what the first one left.
  (void)kavrel::ReadXmlFile(quiet.run.sink, kavrel::fuzz::Source(data, size));
  quiet.run.sink.SetMerge(true);
  (void)kavrel::ReadXmlFile(quiet.run.sink, kavrel::fuzz::Source(data, size));
  return 0;
}
