// The XML transponder file reader on any file, and the Enigma2 writer on
// whatever it read: the written file must be valid UTF-8 without a control
// character, whatever bytes the names came with.
#include "formats/enigma2_file.h"
#include "formats/xml_file.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::QuietRun quiet;
  // Twice: the second time merges into what the first one left.
  (void)kavrel::ReadXmlFile(quiet.run.sink, kavrel::fuzz::Source(data, size));
  quiet.run.sink.SetMerge(true);
  (void)kavrel::ReadXmlFile(quiet.run.sink, kavrel::fuzz::Source(data, size));

  // The writer creates its file in the current directory, the scratch one.
  kavrel::WriteEnigma2File(quiet.run.catalogue, kavrel::WriterContext{quiet.run.out});
  std::string written;
  if (kavrel::ReadWholeFile("satellites.xml", written)) {
    kavrel::RemoveFileIfPresent("satellites.xml");
    if (kavrel::ValidUtf8(written) != written) std::abort();
    for (char c : written) {
      if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') std::abort();
    }
  }
  return 0;
}
