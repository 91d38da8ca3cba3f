// The dvbv5 channel file reader, the test that tells such files and the
// writer's text, on any file.
#include "formats/dvbv5_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  kavrel::SourceText source = kavrel::fuzz::Source(data, size);
  (void)kavrel::IsDvbv5Text(source.bytes);
  // The first line stands for a file name; the whole input is read under a
  // name that holds a position (one without makes the reader read nothing).
  (void)kavrel::SatelliteOfDvbv5Name(source.bytes.substr(0, source.bytes.find('\n')));
  source.name = "Fuzz-13.0E";
  // Twice: the second time merges into what the first one left.
  (void)kavrel::ReadDvbv5File(quiet.run.sink, source);
  quiet.run.sink.SetMerge(true);
  (void)kavrel::ReadDvbv5File(quiet.run.sink, source);
  for (const kavrel::SatelliteRecord& satellite : quiet.run.catalogue.Satellites()) {
    (void)kavrel::Dvbv5SatelliteText(satellite);
    (void)kavrel::Dvbv5FileName(satellite, 1);
  }
  return 0;
}
