#include "catalogue/options.h"

namespace kavrel {

void DefaultOptions(Options& options) {
  options.AcceptData = true;
  options.AcceptFeeds = true;
  options.AcceptKu = true;
  options.AcceptC = true;
  options.AcceptLinear = true;
  options.AcceptCircular = true;
  options.ConvCircular = false;
  options.ConvCBand = false;
  options.MinSR = 0;
  options.MaxSR = kMaxSymbolRate;
  options.AcceptedKinds = KindSet{kKindDvbS};
}

}  // namespace kavrel
