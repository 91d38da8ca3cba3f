// Local page names from any address: always a plain, free name in the
// current directory.
#include "acquisition/site_addressing.h"
#include "fuzz/fuzz_support.h"
#include "platform/file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kavrel::fuzz::ScratchDirectory();
  std::string address(reinterpret_cast<const char*>(data), size);
  if (address.find('\0') != std::string::npos) return 0;  // no argument holds one
  std::string name = kavrel::LocalPageName(address);
  if (name.empty() || name.find('/') != std::string::npos || name.size() > 255 || kavrel::PathExists(name)) {
    std::abort();
  }
  return 0;
}
