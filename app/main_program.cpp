#include "app/main_program.h"

#include "acquisition/input_dispatch.h"
#include "app/configuration.h"
#include "app/list_file.h"
#include "app/option_parser.h"
#include "app/run.h"
#include "formats/format_table.h"
#include "platform/file_system.h"

namespace kavrel {

std::string ConfigPathFor(const std::string& programPath) {
  std::string name(NamePart(programPath));
  size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return DirectoryPart(programPath) + name + ".ini";
}

void WriteCatalogue(Run& run) {
  const OutputFormat* format = FindOutputFormat(run.options.FormatCode);
  if (format) format->write(run.catalogue, WriterContext{run.out, run.ProvidersInfo});
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
