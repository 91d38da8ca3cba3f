// What reading inputs needs of the run: the door into the catalogue (with
// the live options and the output stream), the configuration file that
// holds the page tables, and the network time limit.
#ifndef KAVREL_ACQUISITION_INPUT_CONTEXT_H
#define KAVREL_ACQUISITION_INPUT_CONTEXT_H

#include <iostream>
#include <ostream>
#include <string_view>
#include <string>

#include "acquisition/host_pacer.h"
#include "catalogue/options.h"
#include "catalogue/satellite_sink.h"

namespace kavrel {

struct InputContext {
  explicit InputContext(SatelliteSink& satelliteSink, std::ostream& errors = std::cerr)
      : sink(satelliteSink), err(errors) {}

  SatelliteSink& sink;
  std::ostream& err;  // standard error: inputs that gave nothing, and why
  std::string ConfigPath;  // the configuration file beside the program

  // How long a connection may stay silent (connecting, sending, or waiting
  // for data) before the download is given up. main() takes it from the
  // environment variable KAVREL_NETWORK_TIMEOUT when that holds a positive
  // number of seconds.
  int NetworkTimeoutSeconds = 60;

  // Secure pages only (plain http keeps its own request and no pause): the
  // User-Agent sent, empty for the program's own name and version, and the
  // pause between two requests to one host. Both come from section
  // "Common" of the configuration file; a save never writes them.
  std::string UserAgent;
  int PageDelayMs = 1000;
  mutable HostPacer pacer;  // when each host was last asked

  const Options& options() const { return sink.options(); }
  std::ostream& out() const { return sink.out(); }

  // An input that yielded nothing because something is wrong: one line
  // "kavrel: <input>: <cause>" on standard error, and the run's exit status
  // says that not every input was read.
  void ReportFailure(std::string_view input, std::string_view cause) const {
    err << "kavrel: " << input << ": " << cause << '\n';
    ++failedInputs_;
  }
  int FailedInputs() const { return failedInputs_; }

 private:
  mutable int failedInputs_ = 0;
};

}  // namespace kavrel

#endif
