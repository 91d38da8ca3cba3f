#include "app/main_program.h"

#include "acquisition/input_dispatch.h"
#include "app/configuration.h"
#include "app/list_file.h"
#include "app/option_parser.h"
#include "app/run.h"
#include "formats/format_table.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace kavrel {

std::string ConfigPathFor(const std::string& programPath) {
  std::string name(NamePart(programPath));
  size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return DirectoryPart(programPath) + name + ".ini";
}

namespace {

// A run that admitted transponders its format cannot hold says so beside
// the specified output, with the format that would keep them.
void ReportLeftOut(Run& run, const OutputFormat& format) {
  size_t leftOut = TranspondersLeftOut(run.catalogue, format);
  if (leftOut == 0) return;
  run.err << "kavrel: " << leftOut << " transponders are left out: the " << format.configName
          << " format cannot hold them";
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
    run.err << "; /Format=" << LowerAscii(keeper->letters)
            << (keeperLeftOut == 0 ? " holds them" : " holds more of them");
  }
  run.err << '\n';
}

}  // namespace

void WriteCatalogue(Run& run) {
  const OutputFormat* format = FindOutputFormat(run.options.FormatCode);
  if (format == nullptr) return;
  format->write(run.catalogue, WriterContext{run.out, run.ProvidersInfo});
  ReportLeftOut(run, *format);
}

int RunProgram(Run& run, const std::vector<std::string>& arguments) {
  run.out << kBanner << '\n';
  if (arguments.size() < 2) {
    PrintUsage(run.out);
    return 0;
  }
  DefaultOptions(run.options);
  run.options.FormatCode = kFormatIni1;
  run.input.ConfigPath = ConfigPathFor(ExecutablePath(arguments[0]));
  LoadConfiguration(run);
  ParseOptions(run, CollectOptionTokens(arguments), run.options);
  run.SavedOptions = run.options;

  const Options& o = run.options;
  if ((!o.AcceptKu && !o.AcceptC) || (!o.AcceptLinear && !o.AcceptCircular)) {
    run.out << "Incompartible parameters" << '\n' << "Nothing to do" << '\n';
    return 0;
  }

  const std::string& input = arguments[1];
  if (!input.empty() && input[0] == '@') {
    ProcessListFile(run, input.substr(1));
  } else {
    ProcessInput(run.input, input);
  }
  run.catalogue.SortSatellites();
  WriteCatalogue(run);
  run.out << "All done" << '\n';
  if (run.options.SaveConfig) SaveConfiguration(run);
  return 0;
}

}  // namespace kavrel
