#include "catalogue/options.h"

namespace kavrel {

void DefaultOptions(Options& options) {
  const Options defaults;
  options.AcceptData = defaults.AcceptData;
  options.AcceptFeeds = defaults.AcceptFeeds;
  options.AcceptKu = defaults.AcceptKu;
  options.AcceptC = defaults.AcceptC;
  options.AcceptLinear = defaults.AcceptLinear;
  options.AcceptCircular = defaults.AcceptCircular;
  options.ConvCircular = defaults.ConvCircular;
  options.ConvCBand = defaults.ConvCBand;
  options.MinSR = defaults.MinSR;
  options.MaxSR = defaults.MaxSR;
  options.AcceptedKinds = defaults.AcceptedKinds;
}

}  // namespace kavrel
