#include "app/list_file.h"

#include <cerrno>

#include "acquisition/input_dispatch.h"
#include "app/option_parser.h"
#include "app/run.h"
#include "platform/fatal_error.h"
#include "platform/file_system.h"
#include "platform/line_reader.h"

namespace kavrel {

void ProcessListFile(Run& run, const std::string& path) {
  if (!PathExists(path)) {
    run.diagnostics.InputFailed("@" + path, "no such list file");
    return;
  }
  std::string text;
  // A name that is there but cannot be opened (a link to nothing) cannot
  // be read.
  if (!ReadWholeFile(path, text)) ThrowFileError("Cannot read", path, ENOENT);
  LineReader reader(text);
  while (!reader.AtEnd()) {
    std::string line = reader.ReadTextLine();
    size_t blank = line.find(' ');
    if (blank != std::string::npos) {
      Options working = run.SavedOptions;
      ParseOptions(run, line.substr(blank), working, "@" + path);
      run.options = working;
      line.resize(blank);
    } else {
      run.options = run.SavedOptions;
    }
    ProcessInput(run.input, line);
  }
}

}  // namespace kavrel
