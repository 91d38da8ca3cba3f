#include "app/catalogue_output.h"

#include <string>

#include "app/run.h"
#include "formats/format_table.h"
#include "platform/text.h"

namespace kavrel {

namespace {

// A run that admitted transponders its format cannot hold says so beside
// the progress lines, with the format that would keep them.
void ReportLeftOut(Run& run, const OutputFormat& format) {
  size_t leftOut = TranspondersLeftOut(run.catalogue, format);
  if (leftOut == 0) return;
  std::string note = std::to_string(leftOut) + " transponders are left out: the " +
                     std::string(format.configName) + " format cannot hold them";
  // Today's formats hold every DVB-S and DVB-S2 stream; only i3 holds DSS.
  const OutputFormat* keeper = nullptr;
  size_t keeperLeftOut = leftOut;
  for (uint8_t code : {kFormatEnigma2, kFormatIni3}) {
    const OutputFormat* candidate = FindOutputFormat(code);
    size_t candidateLeftOut = TranspondersLeftOut(run.catalogue, *candidate);
    if (candidateLeftOut < keeperLeftOut) {
      keeper = candidate;
      keeperLeftOut = candidateLeftOut;
    }
  }
  if (keeper != nullptr) {
    note += "; /Format=" + LowerAscii(keeper->letters) +
            (keeperLeftOut == 0 ? " holds them" : " holds more of them");
  }
  run.diagnostics.Note(note);
}

}  // namespace

void WriteCatalogue(Run& run) {
  const OutputFormat* format = FindOutputFormat(run.options.FormatCode);
  if (format == nullptr) return;
  format->write(run.catalogue, WriterContext{run.out, run.ProvidersInfo});
  ReportLeftOut(run, *format);
  if (size_t merged = StreamsNotToldApart(run.catalogue, *format)) {
    run.diagnostics.Note(std::to_string(merged) + " streams were written as one with another: the " +
                         std::string(format->configName) + " format cannot tell them apart");
  }
}

}  // namespace kavrel
