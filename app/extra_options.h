// The GNU-style options kavrel has beside its own "/" options: they keep a
// list up to date, report what changed, choose positions and where outputs
// go. They are taken out of the command line before the "/" option parser
// reads it, so a command line without them runs exactly as before.
#ifndef KAVREL_APP_EXTRA_OPTIONS_H
#define KAVREL_APP_EXTRA_OPTIONS_H

#include <optional>
#include <string>
#include <vector>

#include "catalogue/position_text.h"

namespace kavrel {

struct ExtraOptions {
  bool quiet = false;                            // -q, --quiet
  std::string outputDir;                         // -o DIR, --output-dir=DIR
  std::optional<PositionSelection> positions;    // --positions=LIST
  bool changes = false;                          // --changes[=PATH]
  std::string changesPath;                       //   the list to compare with
  bool changesJson = false;                      // --changes-format=json|text
  std::string updatePath;                        // --update=PATH
  bool offline = false;                          // --offline
  bool refresh = false;                          // --refresh
};

// Takes the options above out of `arguments` (the program's path first;
// they may stand anywhere after it) and leaves every other argument in its
// order. On a malformed one returns false with `error` naming it.
bool TakeExtraOptions(std::vector<std::string>& arguments, ExtraOptions& options, std::string& error);

}  // namespace kavrel

#endif
