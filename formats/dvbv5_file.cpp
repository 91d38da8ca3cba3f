#include "formats/dvbv5_file.h"

namespace kavrel {

bool IsDvbv5Text(std::string_view) { return false; }

ProducerResult ReadDvbv5File(SatelliteSink&, const SourceText&) { return ProducerResult::kRead; }

void WriteDvbv5Files(const Catalogue&, const WriterContext& context) {
  context.out << "Writting dvbv5 channel files..." << '\n';
}

}  // namespace kavrel
