#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "catalogue/options.h"
#include "catalogue/admission.h"
#include "catalogue/satellite_sink.h"
#include "support/catalogue_fixture.h"

namespace kavrel {
namespace {

TransponderRecord T(int32_t frequency, char polarization, int32_t symbolRate = 27500,
                    uint8_t fecNumerator = 3, uint8_t fecDenominator = 4) {
  return testing::Transponder(frequency, polarization, symbolRate, fecNumerator, fecDenominator);
}

std::vector<std::pair<int32_t, char>> Keys(const TransponderList& list) {
  std::vector<std::pair<int32_t, char>> keys;
  for (const TransponderRecord& t : list) keys.emplace_back(t.Frequency, t.Polarization);
  return keys;
}

// The literal walk from the head, as the duplicate rule is defined: the
// reference the indexed list must agree with. Streams of one frequency are
// apart, ordered by stream id and then T2-MI PLP, none first.
struct ReferenceList {
  std::vector<TransponderRecord> nodes;
  static std::pair<int, int> Stream(const TransponderRecord& t) {
    return {t.Details.StreamId, t.Details.T2miPlpId};
  }
  void Insert(const TransponderRecord& r) {
    for (size_t i = 0; i < nodes.size(); ++i) {
      TransponderRecord& n = nodes[i];
      int64_t d = static_cast<int64_t>(n.Frequency) - r.Frequency;
      bool same = n.SymbolRate < 6000 ? d == 0 : (d >= -2 && d <= 2);
      if (same && n.Polarization == r.Polarization && Stream(n) == Stream(r)) {
        if (!(n.SymbolRate == r.SymbolRate && n.FecNumerator == r.FecNumerator &&
              n.FecDenominator == r.FecDenominator)) {
          n = r;
        }
        return;
      }
      auto np = static_cast<unsigned char>(n.Polarization), rp = static_cast<unsigned char>(r.Polarization);
      if (n.Frequency > r.Frequency || (n.Frequency == r.Frequency && np > rp) ||
          (n.Frequency == r.Frequency && np == rp && Stream(n) >= Stream(r))) {
        nodes.insert(nodes.begin() + static_cast<std::ptrdiff_t>(i), r);
        return;
      }
    }
    nodes.push_back(r);
  }
};

TEST(TransponderList, DuplicateRuleWithinTwoMegahertz) {
  TransponderList list;
  list.Insert(T(11002, 'H'));
  // Same symbol rate and FEC: the listed record stays, its frequency too.
  EXPECT_EQ(list.Insert(T(11000, 'H')), TransponderList::Outcome::kUnchanged);
  EXPECT_EQ(list.begin()->Frequency, 11002);
  // Another symbol rate: the node is overwritten in its place.
  EXPECT_EQ(list.Insert(T(11000, 'H', 22000)), TransponderList::Outcome::kReplaced);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(*list.begin(), T(11000, 'H', 22000));
  // Another FEC alone also overwrites.
  list.Insert(T(11001, 'H', 22000, 5, 6));
  EXPECT_EQ(*list.begin(), T(11001, 'H', 22000, 5, 6));
  // Three megahertz away is another transponder.
  list.Insert(T(11004, 'H', 22000, 5, 6));
  EXPECT_EQ(list.Count(), 2);
}

TEST(TransponderList, NarrowListedCarrierMustMatchExactly) {
  TransponderList list;
  list.Insert(T(11002, 'H', 5000));
  list.Insert(T(11000, 'H', 27500));
  EXPECT_EQ(Keys(list), (std::vector<std::pair<int32_t, char>>{{11000, 'H'}, {11002, 'H'}}));
  // The listed symbol rate decides, not the new one: 11000 is wide, so a
  // narrow 11001 merges into it.
  list.Insert(T(11001, 'H', 3000));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.begin()->Frequency, 11001);
}

TEST(TransponderList, PolarizationOrdersEqualFrequencies) {
  TransponderList list;
  list.Insert(T(11000, 'H'));
  list.Insert(T(11000, 'R'));
  list.Insert(T(11000, 'V'));
  list.Insert(T(11000, 'L'));
  EXPECT_EQ(Keys(list), (std::vector<std::pair<int32_t, char>>{
                            {11000, 'H'}, {11000, 'L'}, {11000, 'R'}, {11000, 'V'}}));
  // Near in frequency but another polarization: not the same transponder.
  TransponderList other;
  other.Insert(T(11000, 'H'));
  other.Insert(T(11001, 'V'));
  EXPECT_EQ(Keys(other), (std::vector<std::pair<int32_t, char>>{{11000, 'H'}, {11001, 'V'}}));
}

TEST(TransponderList, OverwriteThatBreaksTheOrderKeepsTheWalkRule) {
  // 11000 H becomes 11002 H in place, ahead of 11001 V: the list is out of
  // order from then on and must still answer exactly as the walk does.
  TransponderList list;
  ReferenceList reference;
  for (const TransponderRecord& r :
       {T(11000, 'H'), T(11001, 'V'), T(11002, 'H', 30000), T(11001, 'H', 1000), T(11003, 'V'),
        T(11004, 'H', 2000), T(10999, 'V', 30000), T(11000, 'V')}) {
    list.Insert(r);
    reference.Insert(r);
  }
  EXPECT_EQ(std::vector<TransponderRecord>(list.begin(), list.end()), reference.nodes);
}

TEST(TransponderList, AgreesWithTheWalkOnRandomInput) {
  std::mt19937 random(42);
  for (int round = 0; round < 200; ++round) {
    TransponderList list;
    ReferenceList reference;
    // Odd rounds climb as real sources do, mostly past the last key; from
    // round 100 on, some transponders carry streams.
    bool climbing = round % 2 == 1;
    bool streams = round >= 100;
    for (int i = 0; i < 60; ++i) {
      const char polarizations[] = {'H', 'V', 'L', 'R'};
      int32_t frequency = climbing ? 11000 + i / 2 + static_cast<int32_t>(random() % 4)
                                   : 11000 + static_cast<int32_t>(random() % 20);
      TransponderRecord r = T(frequency, polarizations[random() % 4],
                              random() % 3 == 0 ? 4000 : 27500 + static_cast<int32_t>(random() % 2),
                              static_cast<uint8_t>(random() % 2 + 2), 4);
      if (streams && random() % 2 == 0) r.Details.StreamId = static_cast<int16_t>(random() % 3);
      if (streams && random() % 3 == 0) r.Details.T2miPlpId = static_cast<int16_t>(random() % 2);
      list.Insert(r);
      reference.Insert(r);
    }
    ASSERT_EQ(std::vector<TransponderRecord>(list.begin(), list.end()), reference.nodes)
        << "round " << round;
  }
}

TEST(TransponderList, FormatsWithoutStreamsSeeTheFirstStreamOfEachFrequency) {
  TransponderList list;
  auto stream = [](int32_t frequency, char polarization, int16_t id, int16_t plp = kNoStream) {
    TransponderRecord t = T(frequency, polarization);
    t.Details.StreamId = id;
    t.Details.T2miPlpId = plp;
    return t;
  };
  for (const TransponderRecord& t : {stream(11000, 'H', 2), stream(11000, 'H', 1), stream(11000, 'V', 5),
                                     stream(11000, 'H', 1, 0), stream(11001, 'H', 1), T(11010, 'H'),
                                     stream(11010, 'H', 0)}) {
    list.Insert(t);
  }
  EXPECT_EQ(list.Count(), 6);  // 11001 H stream 1 is the 11000 H stream 1
  std::vector<std::tuple<int32_t, char, int16_t, int16_t>> first;
  for (const TransponderRecord& t : list.FirstStreams()) {
    first.emplace_back(t.Frequency, t.Polarization, t.Details.StreamId, t.Details.T2miPlpId);
  }
  EXPECT_EQ(first, (std::vector<std::tuple<int32_t, char, int16_t, int16_t>>{
                       {11000, 'H', 1, kNoStream}, {11000, 'V', 5, kNoStream}, {11010, 'H', kNoStream, kNoStream}}));
}

TEST(TransponderList, CountNeverPassesItsWidth) {
  TransponderList list;
  for (int32_t i = 0; i < 65535; ++i) list.Insert(T(i * 3, 'H'));
  EXPECT_EQ(list.Count(), 65535);
  // A new transponder is refused; the listed ones can still be updated.
  EXPECT_EQ(list.Insert(T(-10, 'V')), TransponderList::Outcome::kRefused);
  EXPECT_EQ(list.Insert(T(300, 'H', 22000)), TransponderList::Outcome::kReplaced);
  EXPECT_EQ(list.Count(), 65535);
  EXPECT_EQ(std::distance(list.begin(), list.end()), 65535);
}

TEST(TransponderList, ManyInsertsStayOrdered) {
  std::vector<int32_t> frequencies(20000);
  for (int32_t i = 0; i < 20000; ++i) frequencies[static_cast<size_t>(i)] = i * 5;
  std::shuffle(frequencies.begin(), frequencies.end(), std::mt19937(7));
  TransponderList list;
  for (int32_t f : frequencies) list.Insert(T(f, 'V'));
  ASSERT_EQ(list.Count(), 20000);
  EXPECT_TRUE(std::is_sorted(list.begin(), list.end(),
                             [](const auto& a, const auto& b) { return a.Frequency < b.Frequency; }));
}

// The catalogue changes only through a sink; these run the sink's cursor
// rules against the catalogue it fills.
class Sink : public ::testing::Test {
 protected:
  Catalogue catalogue_;
  Options options_;
  std::ostringstream printed_;
  SatelliteSink sink_{catalogue_, options_, printed_};

  void Add(int32_t frequency) {
    OfferedTransponder offered;
    offered.Frequency = frequency;
    offered.Polarization = 'H';
    offered.SymbolRate = 27500;
    offered.SystemKind = kKindDvbS;
    sink_.AddTransponder(offered);
  }
  const SatelliteRecord& At(size_t index) const { return catalogue_.Satellites().at(index); }
};

TEST_F(Sink, FindOrAddSatelliteReplacesOrMerges) {
  Add(11000);  // no satellite yet: goes nowhere
  sink_.FindOrAddSatellite("Alpha", 130);
  Add(11000);
  sink_.FindOrAddSatellite("Beta", 192);
  EXPECT_EQ(sink_.Current(), &At(1));

  // Without merging a second source replaces the list and the name, even
  // with an empty name.
  sink_.FindOrAddSatellite("", 130);
  EXPECT_EQ(sink_.Current(), &At(0));
  EXPECT_EQ(At(0).Name, "");
  EXPECT_EQ(At(0).Count(), 0);

  // Merging keeps the list and takes only a longer name.
  Add(11000);
  sink_.SetMerge(true);
  sink_.FindOrAddSatellite("Five5", 130);
  sink_.FindOrAddSatellite("Seven77", 130);
  sink_.FindOrAddSatellite("Five5", 130);
  EXPECT_EQ(At(0).Name, "Seven77");
  // Lengths count characters: seven in UTF-8 is no longer than "Seven77".
  sink_.FindOrAddSatellite("T\xC3\xBCrksat", 130, TextEncoding::kUtf8);
  EXPECT_EQ(At(0).Name, "Seven77");
  sink_.FindOrAddSatellite("T\xC3\xBCrksat1", 130, TextEncoding::kUtf8);
  EXPECT_EQ(At(0).Name, "T\xC3\xBCrksat1");
  EXPECT_EQ(At(0).Count(), 1);
  EXPECT_EQ(catalogue_.SatelliteCount(), 2);
  EXPECT_TRUE(printed_.str().empty());  // admission never reports
}

// What the notes of a run count: refusals for band or polarization, merges
// by the duplicate rule, and lists a later input replaced.
TEST_F(Sink, CountsWhatTheNotesReport) {
  sink_.BeginInput("first.ini");
  sink_.FindOrAddSatellite("Alpha", 130);
  Add(11000);
  Add(11001);  // within 2 MHz: merged
  Add(20000);  // in no band
  options_.AcceptLinear = false;
  Add(12000);  // polarization switched off
  options_.AcceptLinear = true;
  sink_.FindOrAddSatellite("Alpha", 130);  // the same input again: no loss
  Add(11500);
  EXPECT_EQ(sink_.MergedDuplicates(), 1u);
  EXPECT_EQ(sink_.RefusedForBandOrPolarization(), 2u);
  EXPECT_TRUE(sink_.Replacements().empty());

  for (const char* input : {"second.ini", "third.ini"}) {
    sink_.BeginInput(input);
    sink_.FindOrAddSatellite("Alpha", 130);
    Add(11000);
  }
  sink_.SetMerge(true);
  sink_.BeginInput("merged.ini");
  sink_.FindOrAddSatellite("Alpha", 130);
  ASSERT_EQ(sink_.Replacements().size(), 1u);
  EXPECT_EQ(sink_.Replacements()[0].position, 130);
  EXPECT_EQ(sink_.Replacements()[0].lost, 2u);
  EXPECT_EQ(sink_.Replacements()[0].input, "third.ini");
}

TEST_F(Sink, OnlySelectedPositionsEnter) {
  PositionSelection selection;
  selection.Add(130);
  selection.Add(3300);
  sink_.SetPositionSelection(&selection);
  for (int32_t position : {130, 192, -300, 3730, 282}) {
    sink_.FindOrAddSatellite("S", position);
    Add(11000);
    sink_.EndSatellite("S");
  }
  ASSERT_EQ(catalogue_.SatelliteCount(), 3);
  EXPECT_EQ(At(0).Position, 130);
  EXPECT_EQ(At(1).Position, -300);
  EXPECT_EQ(At(2).Position, 3730);  // 3730 is 13.0 E once more
  EXPECT_EQ(printed_.str(), "S 1 transponders loaded\nS 1 transponders loaded\nS 1 transponders loaded\n");
  // A page of a satellite left out was read all the same: not a page that
  // gave nothing.
  sink_.BeginPage("page");
  sink_.FindOrAddSatellite("S", 192);
  Add(11000);
  EXPECT_EQ(sink_.OfferedOnPage(), 1u);
  EXPECT_EQ(catalogue_.SatelliteCount(), 3);
}

TEST_F(Sink, EndingsReportAndDropOnlyAnEmptyLastSatellite) {
  sink_.FindOrAddSatellite("Empty", 100);
  sink_.FindOrAddSatellite("Full", 200);
  Add(11000);
  sink_.EndSatellite("Full");
  EXPECT_EQ(catalogue_.SatelliteCount(), 2);
  sink_.FindOrAddSatellite("Empty too", 300);
  sink_.EndSatellite("Empty too");
  EXPECT_EQ(catalogue_.SatelliteCount(), 2);
  // The dropped satellite stays named, with nothing left to count: a file
  // reader's next ending still reports it, and rows go nowhere.
  EXPECT_EQ(sink_.Current(), nullptr);
  sink_.EndSatellite("again");
  Add(12000);
  EXPECT_EQ(At(1).Count(), 1);
  // A page starts with no satellite and reports none it did not name.
  sink_.BeginPage("page.html");
  sink_.EndPage();
  EXPECT_EQ(printed_.str(),
            "Full 1 transponders loaded\nEmpty too 0 transponders loaded\nagain 0 transponders loaded\n"
            "Processing page.html...\n");
}

TEST_F(Sink, AnAbandonedPageTakesOnlyItsOwnSatellite) {
  for (int32_t p = 0; p < 200000; ++p) sink_.FindOrAddSatellite("S", 200000 - p);
  EXPECT_EQ(catalogue_.FindSatellite(1), 199999);
  catalogue_.SortSatellites();
  EXPECT_EQ(catalogue_.FindSatellite(1), 0);
  EXPECT_EQ(catalogue_.FindSatellite(0), -1);
  sink_.BeginPage("first.html");
  sink_.AbandonPage();  // named nothing: nothing goes
  EXPECT_EQ(catalogue_.SatelliteCount(), 200000);
  sink_.FindOrAddSatellite("S", 1);
  sink_.AbandonPage();
  EXPECT_EQ(catalogue_.FindSatellite(1), -1);
  EXPECT_EQ(catalogue_.FindSatellite(2), 0);
  EXPECT_EQ(sink_.Current(), nullptr);
  EXPECT_EQ(printed_.str(), "Processing first.html...\nError while parsing HTML data\n"
                            "Error while parsing HTML data\n");
}

TEST_F(Sink, SortsByPositionWithListsAttached) {
  for (int32_t position : {3300, 130, 192, 3590, 0}) {
    sink_.FindOrAddSatellite("S" + std::to_string(position), position);
    Add(10700 + position / 10);
  }
  catalogue_.SortSatellites();
  std::vector<int32_t> positions;
  for (const auto& s : catalogue_.Satellites()) {
    positions.push_back(s.Position);
    EXPECT_EQ(s.Name, "S" + std::to_string(s.Position));
    EXPECT_EQ(s.Transponders.begin()->Frequency, 10700 + s.Position / 10);
  }
  EXPECT_EQ(positions, (std::vector<int32_t>{0, 130, 192, 3300, 3590}));
}

TEST(Catalogue, NormalizePosition) {
  EXPECT_EQ(NormalizePosition(3600), 0);
  EXPECT_EQ(NormalizePosition(3730), 130);
  EXPECT_EQ(NormalizePosition(3599), 3599);
  EXPECT_EQ(NormalizePosition(-5), -5);
  EXPECT_EQ(NormalizePosition(7300), 100);
}

}  // namespace
}  // namespace kavrel
