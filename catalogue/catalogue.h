// The satellite catalogue: one entry per orbital position, each with its
// transponders kept in frequency order without duplicates.
//
// Producers (page parsers, file readers) reach it only through a
// SatelliteSink; writers only read it.
#ifndef KAVREL_CATALOGUE_CATALOGUE_H
#define KAVREL_CATALOGUE_CATALOGUE_H

#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/codes.h"

namespace kavrel {

// p mod 3600 for p >= 3600; anything else unchanged (negatives included).
int32_t NormalizePosition(int32_t position);

// What today's transponders carry beyond the original record: multistream
// (input stream, scrambling code, T2-MI), DVB-S2 roll-off and pilots, and
// the kHz of a frequency. All unset for a source that does not give them.
struct TransponderDetails {
  uint16_t FrequencyKhz = 0;      // 0..999 kHz above Frequency
  int16_t StreamId = kNoStream;   // input stream id, 0..255
  uint8_t PlsMode = kPlsUnset;    // PlsModeCode
  uint32_t PlsCode = 0;           // 0..262143
  int16_t T2miPlpId = kNoStream;  // 0..255
  uint16_t T2miPid = 0;           // 0 = unset
  uint8_t RollOff = kRollOffUnset;
  uint8_t Pilot = kPilotUnset;

  // Streams of one frequency are told apart by these two; a transponder
  // without them is a single-stream one.
  bool HasStream() const { return StreamId != kNoStream || T2miPlpId != kNoStream; }
  bool operator==(const TransponderDetails&) const = default;
};

struct TransponderRecord {
  int32_t Frequency = 0;        // MHz
  char Polarization = 0;        // 'H', 'V', 'L' or 'R'
  int32_t SymbolRate = 0;       // kS/s
  uint8_t FecNumerator = 0;     // 0/0 = unknown
  uint8_t FecDenominator = 0;
  uint8_t SystemKind = 0;       // SystemKindCode (codes.h)
  uint8_t Modulation = 0;       // ModulationCode (codes.h)
  uint16_t NetworkId = 0;
  uint16_t TransportStreamId = 0;
  std::string Providers;        // at most 50 characters
  TextEncoding ProvidersEncoding = TextEncoding::kLatin1;
  TransponderDetails Details;

  bool operator==(const TransponderRecord&) const = default;
};

// A text of the catalogue in the encoding a format holds: Latin-1 texts
// stay byte for byte in Latin-1 formats; a character Latin-1 cannot hold
// becomes "?"; UTF-8 output is always valid UTF-8.
std::string TextInEncoding(std::string_view text, TextEncoding from, TextEncoding to);

// The name of a satellite as the original formats, all Latin-1, write it.
struct SatelliteRecord;
std::string Latin1Name(const SatelliteRecord& satellite);

// True when `record` is a further stream of the frequency and polarization
// of `previous`, the record before it in list order: formats that cannot
// tell streams apart write only the first of them.
inline bool IsLaterStream(const TransponderRecord& previous, const TransponderRecord& record) {
  return record.Details.HasStream() && previous.Frequency == record.Frequency &&
         previous.Polarization == record.Polarization;
}

// The duplicate rule of a list: whether `offered` names the transponder
// `listed` already holds (same polarization and stream, frequency within
// 2 MHz, or exactly on it when the listed symbol rate is below 6000).
bool IsSameTransponder(const TransponderRecord& listed, const TransponderRecord& offered);

// The most transponders one satellite holds: the width of its count.
constexpr size_t kMaxTransponders = 65535;

// One satellite's transponders in list order.
//
// Order: ascending frequency, then polarization byte ("H" < "L" < "R" <
// "V"), then stream (none first, then by input stream id and T2-MI PLP).
// A new transponder that lies within 2 MHz of a listed one of the same
// polarization and stream (exactly on it when the listed symbol rate is
// below 6000) is the same transponder: it is dropped when symbol rate and
// FEC agree, and otherwise overwrites the listed one in its place. Without
// stream data this is the rule lists always had, unchanged. That
// overwrite can move a frequency by up to 2 MHz without moving the node.
//
// The rule is defined as a walk from the head; the list answers it from an
// ordered index in logarithmic time for as long as the list is strictly
// ordered, and falls back to the literal walk once an overwrite has put it
// out of order, so the result is the walk's in every case.
class TransponderList {
 public:
  using const_iterator = std::list<TransponderRecord>::const_iterator;

  enum class Outcome {
    kUnchanged,  // matched, same symbol rate and FEC: nothing changed
    kReplaced,   // matched, the listed record was overwritten in place
    kInserted,   // a new node
    kRefused,    // the list already holds kMaxTransponders: nothing changed
  };

  TransponderList() = default;
  TransponderList(TransponderList&&) noexcept = default;
  TransponderList& operator=(TransponderList&&) noexcept = default;
  TransponderList(const TransponderList&) = delete;
  TransponderList& operator=(const TransponderList&) = delete;

  // Files a record (already converted) under the duplicate and order rule.
  Outcome Insert(const TransponderRecord& record);

  // Puts a record at the end as it comes, under no rule: a list kept as it
  // was listed. False when the list is full. Later Inserts still follow
  // the rule (by the walk).
  bool AppendAsListed(const TransponderRecord& record);

  // Frees every node.
  void Clear();

  uint16_t Count() const { return static_cast<uint16_t>(nodes_.size()); }
  bool empty() const { return nodes_.empty(); }
  const_iterator begin() const { return nodes_.begin(); }
  const_iterator end() const { return nodes_.end(); }

  // The list as a format that cannot tell streams apart sees it: of the
  // streams of one frequency and polarization, the first (IsLaterStream).
  class FirstStreamIterator {
   public:
    using value_type = TransponderRecord;
    using difference_type = std::ptrdiff_t;
    FirstStreamIterator() = default;
    FirstStreamIterator(const_iterator at, const_iterator end) : at_(at), end_(end) {}
    const TransponderRecord& operator*() const { return *at_; }
    const TransponderRecord* operator->() const { return &*at_; }
    FirstStreamIterator& operator++() {
      const_iterator previous = at_++;
      while (at_ != end_ && IsLaterStream(*previous, *at_)) previous = at_++;
      return *this;
    }
    bool operator==(const FirstStreamIterator& other) const { return at_ == other.at_; }

   private:
    const_iterator at_, end_;
  };
  struct FirstStreamRange {
    FirstStreamIterator first, last;
    FirstStreamIterator begin() const { return first; }
    FirstStreamIterator end() const { return last; }
  };
  FirstStreamRange FirstStreams() const {
    return {FirstStreamIterator(nodes_.begin(), nodes_.end()), FirstStreamIterator(nodes_.end(), nodes_.end())};
  }

 private:
  using Node = std::list<TransponderRecord>::iterator;

  Outcome InsertByWalk(const TransponderRecord& record);
  Outcome InsertByIndex(const TransponderRecord& record);
  Outcome Overwrite(Node node, const TransponderRecord& record);
  Outcome InsertBefore(Node node, const TransponderRecord& record);
  // Takes the unindexed nodes at the end of the list into the index.
  void IndexTail();

  std::list<TransponderRecord> nodes_;
  // (frequency, polarization) -> node; valid only while `ordered_`, and then
  // for every node but the last `unindexed_` ones, appended past the last
  // key and indexed once a look-up needs them.
  std::map<int64_t, Node> index_;
  size_t unindexed_ = 0;
  bool ordered_ = true;
};

// A satellite of the catalogue.
struct SatelliteRecord {
  int32_t Position = 0;
  std::string Name;
  TextEncoding NameEncoding = TextEncoding::kLatin1;
  // The flags a receiver's satellites file gives the satellite (scanning
  // choices), kept for formats that write them back; 0 when none were read.
  uint32_t Flags = 0;
  TransponderList Transponders;

  uint16_t Count() const { return Transponders.Count(); }
};

// The satellites of a run. Everyone may read it; only a SatelliteSink
// (satellite_sink.h) adds, selects and removes satellites, so that the
// cursor, admission and the position index stay in one place.
class Catalogue {
 public:
  // Entries in the order their positions were first seen, until sorted.
  const std::vector<SatelliteRecord>& Satellites() const { return satellites_; }
  int32_t SatelliteCount() const { return static_cast<int32_t>(satellites_.size()); }

  // Index of the entry with this position, or -1.
  int32_t FindSatellite(int32_t position) const;

  // Orders the entries by position.
  void SortSatellites();

 private:
  friend class SatelliteSink;

  // Selects or creates the satellite of a position and returns its index.
  // Without `merge` a known position loses its list and takes the new
  // name; with it, the list stays and the name is replaced only by a
  // longer one.
  int32_t FindOrAddSatellite(const std::string& name, int32_t position, bool merge,
                             TextEncoding encoding = TextEncoding::kLatin1);

  SatelliteRecord& At(int32_t index) { return satellites_[static_cast<size_t>(index)]; }

  // Removes the last entry when its list is empty.
  void DropEmptyLastSatellite();

  // Removes one entry whatever it holds.
  void RemoveSatellite(int32_t index);

  void RebuildIndex();

  std::vector<SatelliteRecord> satellites_;
  // Position -> index, so that a page of many satellites costs linear time.
  std::unordered_map<int32_t, int32_t> positionIndex_;
};

}  // namespace kavrel

#endif
