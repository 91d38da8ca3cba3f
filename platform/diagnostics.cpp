#include "platform/diagnostics.h"

namespace kavrel {

namespace {
constexpr std::string_view kPrefix = "kavrel: ";
}

void Diagnostics::InputFailed(std::string_view subject, std::string_view cause) {
  err_ << kPrefix << subject << ": " << cause << '\n';
  ++failedInputs_;
}

void Diagnostics::Note(std::string_view text) {
  if (!quiet_) err_ << kPrefix << text << '\n';
}

void Diagnostics::CannotStart(std::string_view text) {
  err_ << kPrefix << text << '\n';
  cannotStart_ = true;
}

int Diagnostics::Status() const {
  if (cannotStart_) return kExitCannotStart;
  return failedInputs_ > 0 ? kExitSomeFailed : kExitFine;
}

}  // namespace kavrel
