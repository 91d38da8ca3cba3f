// What reading inputs needs of the run: the door into the catalogue (with
// the live options and the output stream), the run's diagnostics, the
// configuration file that holds the page tables, the network time limit and
// when each host was last asked. Reading inputs changes the last two, so
// the context is passed by plain reference.
#ifndef KAVREL_ACQUISITION_INPUT_CONTEXT_H
#define KAVREL_ACQUISITION_INPUT_CONTEXT_H

#include <cstdint>
#include <optional>
#include <ostream>
#include <string_view>
#include <string>

#include "acquisition/host_pacer.h"
#include "acquisition/page_cache.h"
#include "catalogue/options.h"
#include "catalogue/satellite_sink.h"
#include "platform/diagnostics.h"

namespace kavrel {

// How secure pages use the page cache: ask whether a kept page changed,
// read kept pages only (--offline), or fetch every page whole and keep the
// new copy (--refresh).
enum class CacheMode { kAsk, kOffline, kRefresh };

struct InputContext {
  InputContext(SatelliteSink& satelliteSink, Diagnostics& runDiagnostics)
      : sink(satelliteSink), diagnostics(runDiagnostics) {}

  SatelliteSink& sink;
  Diagnostics& diagnostics;  // inputs that gave nothing, and why
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
  int PageDelayMs = kDefaultPageDelayMs;
  HostPacer pacer;  // when each host was last asked

  // Bounds of one fetched page, from section "Common" (MaxPageSize,
  // PageDeadline): the most bytes it may take, as received and as decoded,
  // and how long fetching it may take in all (connecting, a proxy's
  // tunnel, TLS, head and body); 0 seconds stands for four times the
  // network time limit.
  int64_t MaxPageSize = kDefaultMaxPageSize;
  int PageDeadlineSeconds = kDefaultPageDeadlineSeconds;

  // Where secure pages are kept (empty: nowhere), how they are used, and
  // the cache itself, opened on the first secure page so that a run
  // without one makes no folder.
  std::string PageCacheDirectory;
  CacheMode cacheMode = CacheMode::kAsk;
  std::optional<PageCache> cache;

  const Options& options() const { return sink.options(); }
  std::ostream& out() const { return sink.out(); }
};

}  // namespace kavrel

#endif
