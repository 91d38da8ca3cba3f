#include "platform/temporary_files.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace kavrel {

namespace {

// The handler may only read what is already in place: fixed buffers, each
// marked in use after its path is whole and unmarked before it changes.
constexpr int kSlots = 8;
char gPaths[kSlots][PATH_MAX];
std::atomic<bool> gInUse[kSlots];
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void RemoveAndExit(int signal) {
  for (int i = 0; i < kSlots; ++i) {
    if (gInUse[i].load()) ::unlink(gPaths[i]);
  }
  ::_exit(128 + signal);
}

void InstallHandlersOnce() {
  static const bool installed = [] {
    struct sigaction action {};
    action.sa_handler = RemoveAndExit;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    for (int signal : {SIGINT, SIGTERM}) {
      struct sigaction old {};
      // A signal the caller chose to ignore (nohup, a background job)
      // stays ignored.
      if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
      ::sigaction(signal, &action, nullptr);
    }
    return true;
  }();
  (void)installed;
}

}  // namespace

TemporaryFileGuard::TemporaryFileGuard(const std::string& path) {
  if (path.empty() || path.size() >= PATH_MAX) return;
  InstallHandlersOnce();
  for (int i = 0; i < kSlots; ++i) {
    if (gInUse[i].load()) continue;
    std::memcpy(gPaths[i], path.c_str(), path.size() + 1);
    gInUse[i].store(true);
    slot_ = i;
    return;
  }
}

TemporaryFileGuard::~TemporaryFileGuard() {
  if (slot_ >= 0) gInUse[slot_].store(false);
}

}  // namespace kavrel
