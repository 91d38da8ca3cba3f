#include "catalogue/admission.h"

#include <gtest/gtest.h>

#include "app/run.h"
#include "support/memory_run.h"

namespace kavrel {
namespace {

OfferedTransponder Offer(int32_t frequency, char polarization, int32_t symbolRate = 27500,
                         uint8_t kind = 1) {
  OfferedTransponder o;
  o.Frequency = frequency;
  o.Polarization = polarization;
  o.SymbolRate = symbolRate;
  o.FecNumerator = 3;
  o.FecDenominator = 4;
  o.SystemKind = kind;
  return o;
}

bool Admits(const Options& options, const OfferedTransponder& offered) {
  SatelliteRecord satellite;
  return AdmitTransponder(satellite, options, offered) && satellite.Count() == 1;
}

TEST(Admission, BandEdges) {
  Options options;
  for (int32_t f : {10700, 12750, 3400, 4199}) EXPECT_TRUE(Admits(options, Offer(f, 'H'))) << f;
  for (int32_t f : {10699, 12751, 3399, 4200, 0, -11000}) EXPECT_FALSE(Admits(options, Offer(f, 'H'))) << f;
  options.AcceptKu = false;
  EXPECT_FALSE(Admits(options, Offer(11000, 'H')));
  EXPECT_TRUE(Admits(options, Offer(3725, 'H')));
  options.AcceptKu = true;
  options.AcceptC = false;
  EXPECT_FALSE(Admits(options, Offer(3725, 'H')));
}

TEST(Admission, SystemKindsAndPolarizationClasses) {
  Options options;
  EXPECT_FALSE(Admits(options, Offer(11000, 'H', 27500, 2)));
  EXPECT_FALSE(Admits(options, Offer(11000, 'H', 27500, 0)));
  options.AcceptedKinds.Add(2);
  EXPECT_TRUE(Admits(options, Offer(11000, 'H', 27500, 2)));

  EXPECT_FALSE(Admits(options, Offer(11000, 'h')));  // letters compared exactly
  EXPECT_FALSE(Admits(options, Offer(11000, 'X')));
  options.AcceptLinear = false;
  EXPECT_FALSE(Admits(options, Offer(11000, 'V')));
  EXPECT_TRUE(Admits(options, Offer(11000, 'R')));
  options.AcceptLinear = true;
  options.AcceptCircular = false;
  EXPECT_FALSE(Admits(options, Offer(11000, 'L')));
}

TEST(Admission, SymbolRateRangeIsInclusive) {
  Options options;
  options.MinSR = 2000;
  options.MaxSR = 30000;
  EXPECT_TRUE(Admits(options, Offer(11000, 'H', 2000)));
  EXPECT_TRUE(Admits(options, Offer(11000, 'H', 30000)));
  EXPECT_FALSE(Admits(options, Offer(11000, 'H', 1999)));
  EXPECT_FALSE(Admits(options, Offer(11000, 'H', 30001)));
  options.MinSR = 40000;
  EXPECT_FALSE(Admits(options, Offer(11000, 'H', 35000)));
}

TEST(Admission, ConversionsComeAfterTheTests) {
  Options options;
  options.ConvCircular = true;
  options.AcceptCircular = false;
  EXPECT_FALSE(Admits(options, Offer(11000, 'L')));  // refused before conversion

  options.AcceptCircular = true;
  SatelliteRecord satellite;
  AdmitTransponder(satellite, options, Offer(11000, 'H'));
  AdmitTransponder(satellite, options, Offer(11000, 'L', 22000));
  ASSERT_EQ(satellite.Count(), 1);  // stored as H and merged
  EXPECT_EQ(satellite.Transponders.begin()->SymbolRate, 22000);
  AdmitTransponder(satellite, options, Offer(11100, 'R'));
  EXPECT_EQ(std::next(satellite.Transponders.begin())->Polarization, 'V');

  Options cband;
  cband.ConvCBand = true;
  SatelliteRecord converted;
  for (int32_t f : {3400, 3725, 4199}) AdmitTransponder(converted, cband, Offer(f, 'H'));
  std::vector<int32_t> frequencies;
  for (const auto& t : converted.Transponders) frequencies.push_back(t.Frequency);
  EXPECT_EQ(frequencies, (std::vector<int32_t>{10701, 11175, 11500}));
  cband.AcceptC = false;
  EXPECT_FALSE(Admits(cband, Offer(3725, 'H')));
}

TEST(Admission, ProvidersAreCutToFiftyCharacters) {
  Options options;
  SatelliteRecord satellite;
  std::string providers(60, 'p');
  OfferedTransponder o = Offer(11000, 'H');
  o.Providers = providers;
  o.NetworkId = 1;
  o.TransportStreamId = 1070;
  o.Modulation = 2;
  AdmitTransponder(satellite, options, o);
  const TransponderRecord& t = *satellite.Transponders.begin();
  EXPECT_EQ(t.Providers, std::string(50, 'p'));
  EXPECT_EQ(t.NetworkId, 1);
  EXPECT_EQ(t.TransportStreamId, 1070);
  EXPECT_EQ(t.Modulation, 2);
}

// /Data and /Feeds are filters like the others; a row they refuse is not
// counted as refused for its kind, nor is one another filter refuses.
TEST(Admission, ServicesAreFilteredAndOnlyKindRefusalsAreCounted) {
  struct Case {
    ServiceKind service;
    bool acceptData, acceptFeeds;
    uint8_t kind;
    int32_t symbolRate;
    bool admitted;
    size_t refusedForKind;
  };
  constexpr ServiceKind kData = ServiceKind::kData, kFeed = ServiceKind::kFeed,
                        kOrdinary = ServiceKind::kOrdinary;
  const Case cases[] = {
      {kOrdinary, false, false, 1, 27500, true, 0}, {kData, true, true, 1, 27500, true, 0},
      {kData, false, true, 1, 27500, false, 0},     {kFeed, true, true, 1, 27500, true, 0},
      {kFeed, true, false, 1, 27500, false, 0},     {kFeed, true, true, 2, 27500, false, 1},
      {kFeed, true, false, 2, 27500, false, 0},     {kData, false, true, 3, 27500, false, 0},
      {kOrdinary, true, true, 2, 99999, false, 0},  {kOrdinary, true, true, 3, 27500, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "service " << int(c.service) << " kind " << int(c.kind));
    testing::MemoryRun memory;
    memory.run.options.AcceptData = c.acceptData;
    memory.run.options.AcceptFeeds = c.acceptFeeds;
    memory.run.sink.BeginPage("p");
    memory.run.sink.FindOrAddSatellite("Sat", 130);
    OfferedTransponder o = Offer(11000, 'H', c.symbolRate, c.kind);
    o.Service = c.service;
    EXPECT_EQ(memory.run.sink.AddTransponder(o), c.admitted);
    EXPECT_EQ(memory.run.sink.RefusedForKind(c.kind), c.refusedForKind);
    EXPECT_EQ(memory.run.sink.OfferedOnPage(), 1u);
  }
}

}  // namespace
}  // namespace kavrel
