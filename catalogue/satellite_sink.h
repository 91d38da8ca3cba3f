// The one door through which producers (page parsers and file readers)
// fill the catalogue.
//
// A sink owns what every producer shares: the cursor (the satellite rows go
// to, and whether an input merges into known satellites), admission against
// the live options, the "N transponders loaded" endings, the removal of the
// satellite of a page that was given up, and the stream producers print to.
#ifndef KAVREL_CATALOGUE_SATELLITE_SINK_H
#define KAVREL_CATALOGUE_SATELLITE_SINK_H

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/admission.h"
#include "catalogue/catalogue.h"
#include "catalogue/options.h"
#include "catalogue/position_text.h"

namespace kavrel {

// What a producer made of its input.
enum class [[nodiscard]] ProducerResult {
  kRead,       // read to its end (possibly finding nothing)
  kAbandoned,  // given up; the caller calls AbandonPage()
};

// An input as producers see it: its name, as progress lines print it, and
// its bytes.
struct SourceText {
  std::string_view name;
  std::string_view bytes;
};

class SatelliteSink;

// A producer: reads one input whole into the sink.
using Producer = ProducerResult (*)(SatelliteSink& sink, const SourceText& source);

class SatelliteSink {
 public:
  // The sink reads `options` live: a list line that changes them changes
  // what the next input admits.
  SatelliteSink(Catalogue& catalogue, const Options& options, std::ostream& out)
      : catalogue_(catalogue), options_(options), out_(out) {}
  SatelliteSink(const SatelliteSink&) = delete;
  SatelliteSink& operator=(const SatelliteSink&) = delete;

  std::ostream& out() const { return out_; }
  const Options& options() const { return options_; }

  // Only satellites at these positions enter the catalogue, from every
  // input; the rows of any other go nowhere, silently. Null: all of them.
  void SetPositionSelection(const PositionSelection* selection) { selection_ = selection; }

  // Set per input from a leading "+": a known position keeps its list.
  void SetMerge(bool merge) { merge_ = merge; }

  // Names the input whose satellites follow, for the notes of the run.
  void BeginInput(std::string_view name);

  // Prints "Processing <name>..." and forgets the current satellite, so
  // that rows met before the page names its satellite go nowhere. The page
  // is the input whose satellites follow.
  void BeginPage(std::string_view name);

  // Selects or creates the satellite of a position and makes it current.
  // Without merging a known position loses its list and takes the new
  // name; with it, the list stays and the name is replaced only by a
  // longer one.
  // The name is in `encoding`, as its source writes it.
  void FindOrAddSatellite(const std::string& name, int32_t position,
                          TextEncoding encoding = TextEncoding::kLatin1);

  // Gives the current satellite the flags its source holds for it.
  void SetSatelliteFlags(uint32_t flags);

  // The current satellite, or nullptr when there is none.
  const SatelliteRecord* Current() const;

  // Files a transponder in the current satellite through admission;
  // nothing happens when there is none. True when it was admitted.
  bool AddTransponder(const OfferedTransponder& offered);

  // The end of a page read to its end: "<count> transponders loaded" when
  // the page named a satellite, then an empty last satellite is dropped.
  void EndPage();

  // The end of a satellite of a file: "<name> <count> transponders loaded"
  // when a satellite was named (its count 0 when it was dropped as empty
  // before), then an empty last satellite is dropped.
  void EndSatellite(std::string_view name);

  // Whether admission takes transponders that carry this service, for a
  // producer that files a row's satellite only when its row can enter.
  bool AdmitsService(ServiceKind service) const { return ServiceAdmitted(options_, service); }

  // How many transponders were offered for a satellite since the last
  // BeginPage, admitted or not: what the page gave before the filters.
  size_t OfferedOnPage() const { return offeredOnPage_; }

  // How many transponders admission refused only because their kind
  // (kKindDvbS2, kKindDss) is not switched on: every other filter, the
  // service (/Data, /Feeds) among them, would have taken them.
  size_t RefusedForKind(uint8_t kind) const { return kind < refusedForKind_.size() ? refusedForKind_[kind] : 0; }

  // How many admitted transponders the duplicate rule merged into one
  // already listed (dropped as the same, or written over it).
  size_t MergedDuplicates() const { return mergedDuplicates_; }

  // Transponders admission refused for their band or polarization.
  size_t RefusedForBandOrPolarization() const { return refusedForBandOrPolarization_; }

  // A position whose list an input replaced, without "+", after another
  // input had filled it: how many lists were lost, and the input that won.
  struct Replacement {
    int32_t position;
    size_t lost;
    std::string input;
  };
  const std::vector<Replacement>& Replacements() const { return replacements_; }

  // Forgets which input filled each position, so that the inputs after a
  // list being updated replace its satellites without a note.
  void ForgetFillers() { filledBy_.clear(); }

  // Positions an input filled since ForgetFillers that still hold
  // transponders: what the inputs after the list gained.
  size_t FilledPositions() const;

  // Puts back the satellites of `kept` (moved out of it) that no input
  // filled since ForgetFillers, or left empty: a list being updated keeps
  // whatever no input brought again, a page that failed included, as it
  // was listed.
  void KeepUnreplaced(Catalogue& kept);

  // Takes every transponder as it comes, in the order it comes, past the
  // filters, the conversions and the duplicate rule: a list kept as it was
  // listed must not lose what this run's options would not admit.
  void SetKeepAsListed(bool asListed) { keepAsListed_ = asListed; }

  // A page that was given up: prints "Error while parsing HTML data" and
  // discards the satellite the page was filling with what it had read.
  // A page that gave up before naming one takes nothing with it: the last
  // satellite then belongs to an earlier input.
  void AbandonPage();

 private:
  void ReportLoaded(std::optional<std::string_view> name);

  Catalogue& catalogue_;
  const Options& options_;
  std::ostream& out_;
  // Index of the satellite producers add to; -1 = none. May name an index
  // past the end once an ending dropped that satellite, until the next
  // FindOrAddSatellite.
  int32_t current_ = -1;
  bool merge_ = false;
  bool keepAsListed_ = false;
  size_t offeredOnPage_ = 0;
  const PositionSelection* selection_ = nullptr;
  bool unselected_ = false;  // the satellite named last is not selected
  std::array<size_t, 4> refusedForKind_{};  // by SystemKindCode
  size_t mergedDuplicates_ = 0;
  size_t refusedForBandOrPolarization_ = 0;
  std::string input_;         // the input being read
  uint64_t inputSerial_ = 0;  // counts inputs, so that two of one name differ
  std::unordered_map<int32_t, uint64_t> filledBy_;  // position -> serial of its input
  std::vector<Replacement> replacements_;                // in the order first seen
  std::unordered_map<int32_t, size_t> replacementIndex_;  // position -> its entry
};

}  // namespace kavrel

#endif
