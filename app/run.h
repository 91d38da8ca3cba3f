// The state of one run, created by main and passed by reference to whatever
// needs it, so that a test can build a whole run in memory and capture what
// it prints.
#ifndef KAVREL_APP_RUN_H
#define KAVREL_APP_RUN_H

#include <iostream>
#include <ostream>
#include <string>

#include "acquisition/input_context.h"
#include "catalogue/catalogue.h"
#include "catalogue/options.h"
#include "catalogue/satellite_sink.h"
#include "platform/diagnostics.h"

namespace kavrel {

struct Run {
  explicit Run(std::ostream& output, std::ostream& errors = std::cerr)
      : out(output), diagnostics(errors), sink(catalogue, options, output), input(sink, diagnostics) {}
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  Options options;             // the live options every part reads
  Options SavedOptions;        // the options right after the command line
  bool ProvidersInfo = kDefaultProvidersInfo;  // outside Options: list lines do not reset it
  bool FormatGiven = false;    // a /Format= was read (so far: the command line's, then list lines')
  Catalogue catalogue;
  std::ostream& out;           // progress lines
  Diagnostics diagnostics;     // failures and notes beside them (standard error)
  SatelliteSink sink;          // the producers' door into `catalogue`
  InputContext input;          // the page tables, the network limit
};

}  // namespace kavrel

#endif
