// The state of one run, created by main and passed by reference to whatever
// needs it, so that a test can build a whole run in memory and capture what
// it prints.
#ifndef KAVREL_CATALOGUE_RUN_H
#define KAVREL_CATALOGUE_RUN_H

#include <functional>
#include <ostream>
#include <string>

#include "app/options.h"
#include "catalogue/catalogue.h"

namespace kavrel {

struct Run {
  explicit Run(std::ostream& output) : out(output) {}

  Options options;             // the live options every part reads
  Options SavedOptions;        // the options right after the command line
  bool ProvidersInfo = false;  // outside Options: list lines do not reset it
  Catalogue catalogue;
  std::string ConfigPath;      // the configuration file beside the program
  std::ostream& out;           // progress lines

  // How long a connection may stay silent (connecting, sending, or waiting
  // for data) before the download is given up. main() takes it from the
  // environment variable KAVREL_NETWORK_TIMEOUT when that holds a positive
  // number of seconds.
  int NetworkTimeoutSeconds = 60;

  // Applies an option token text to a record. Set by app/ to its option
  // parser, so that list files below app/ can take per-line options without
  // depending on app/.
  std::function<void(Run& run, const std::string& tokenText, Options& target)> ApplyOptions;
};

}  // namespace kavrel

#endif
