#include "formats/file_reading.h"

namespace kavrel {

std::optional<std::string_view> ReadFailureCause(FileReadResult result) {
  switch (result) {
    case FileReadResult::kRead: return std::nullopt;
    case FileReadResult::kNoSatellite: return "holds no satellite: the file is empty or not of its kind";
    case FileReadResult::kEndsEarly: return "ends before its closing </satellites>: the file is cut short";
    case FileReadResult::kMissingLines: return "a count (key 0) promises more transponder lines than the section holds";
    case FileReadResult::kNotACount: return "a count (key 0) of transponder lines is not a number of lines";
    case FileReadResult::kNoPosition:
      return "skipped, its file name holds no orbital position (such as Hotbird-13.0E)";
  }
  return std::nullopt;
}

void AnnounceLoading(std::ostream& out, std::string_view label, std::string_view name) {
  out << "Loading " << label << " file (" << name << ")..." << '\n';
}

}  // namespace kavrel
