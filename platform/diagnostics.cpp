#include "platform/diagnostics.h"

namespace kavrel {

namespace {
constexpr std::string_view kPrefix = "kavrel: ";
}

void Diagnostics::InputFailed(std::string_view subject, std::string_view cause) {
  err_ << kPrefix << subject << ": " << cause << '\n';
  ++failedInputs_;
}

void Diagnostics::ArgumentFailed(std::string_view argument, std::string_view cause) {
  err_ << kPrefix << argument << ": " << cause << '\n';
  ++failedArguments_;
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
  if (failedInputs_ > 0 && !somethingGained_) return kExitNothingGained;
  return failedInputs_ + failedArguments_ > 0 ? kExitSomeFailed : kExitFine;
}

}  // namespace kavrel
