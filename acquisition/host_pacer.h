// Keeps requests to one host apart: a site that is walked page by page
// gets a pause between two requests, as a considerate client leaves it.
#ifndef KAVREL_ACQUISITION_HOST_PACER_H
#define KAVREL_ACQUISITION_HOST_PACER_H

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "platform/text.h"

namespace kavrel {

class HostPacer {
 public:
  using Clock = std::chrono::steady_clock;

  // Sleeps until `pause` has passed since the last request to this host
  // ended; no sleep for a host not asked before.
  void WaitTurn(const std::string& host, std::chrono::milliseconds pause) {
    auto last = lastEnd_.find(LowerAscii(host));
    if (last == lastEnd_.end()) return;
    Clock::time_point ready = last->second + pause;
    Clock::time_point now = Clock::now();
    if (ready > now) std::this_thread::sleep_for(ready - now);
  }

  void Finished(const std::string& host) { lastEnd_[LowerAscii(host)] = Clock::now(); }

 private:
  std::map<std::string, Clock::time_point> lastEnd_;
};

}  // namespace kavrel

#endif
