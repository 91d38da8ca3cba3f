#include "catalogue/catalogue.h"

#include <algorithm>
#include <optional>
#include <type_traits>

#include "platform/text_encoding.h"

namespace kavrel {

// The index holds iterators into the node list; moving a satellite (the
// table grows, the sort swaps entries) must move both without copying.
static_assert(std::is_nothrow_move_constructible_v<TransponderList>);
static_assert(std::is_nothrow_move_constructible_v<SatelliteRecord>);

std::string TextInEncoding(std::string_view text, TextEncoding from, TextEncoding to) {
  if (to == TextEncoding::kLatin1) {
    return from == TextEncoding::kLatin1 ? std::string(text) : Latin1FromUtf8(text);
  }
  return from == TextEncoding::kLatin1 ? Utf8FromLatin1(text) : ValidUtf8(text);
}

std::string Latin1Name(const SatelliteRecord& satellite) {
  return TextInEncoding(satellite.Name, satellite.NameEncoding, TextEncoding::kLatin1);
}

int32_t NormalizePosition(int32_t position) {
  return position >= kFullCircle ? position % kFullCircle : position;
}

namespace {

// Streams of one frequency and polarization in order: none (0) first,
// then by input stream id, then by T2-MI PLP; 18 bits.
int64_t StreamKey(const TransponderDetails& details) {
  return (static_cast<int64_t>(details.StreamId) + 1) * 512 + (details.T2miPlpId + 1);
}

// Frequency, polarization and stream in one number whose order is the
// list's order. Without stream data it orders exactly as frequency and
// polarization alone.
int64_t OrderKey(int32_t frequency, char polarization, int64_t stream) {
  return (static_cast<int64_t>(frequency) * 256 + static_cast<unsigned char>(polarization)) * (int64_t{1} << 18) +
         stream;
}

int64_t OrderKey(const TransponderRecord& record) {
  return OrderKey(record.Frequency, record.Polarization, StreamKey(record.Details));
}

// Whether a new frequency names the listed transponder. Narrow carriers
// (below 6000 kS/s) must match exactly; wider ones may differ by 2 MHz.
bool SameFrequency(int32_t listed, int32_t offered, int32_t listedSymbolRate) {
  int64_t difference = static_cast<int64_t>(listed) - offered;
  if (listedSymbolRate < 6000) return difference == 0;
  return difference >= -2 && difference <= 2;
}

}  // namespace

bool IsSameTransponder(const TransponderRecord& listed, const TransponderRecord& offered) {
  return SameFrequency(listed.Frequency, offered.Frequency, listed.SymbolRate) &&
         listed.Polarization == offered.Polarization &&
         listed.Details.StreamId == offered.Details.StreamId &&
         listed.Details.T2miPlpId == offered.Details.T2miPlpId;
}

namespace {

bool SameTuning(const TransponderRecord& listed, const TransponderRecord& offered) {
  return listed.SymbolRate == offered.SymbolRate && listed.FecNumerator == offered.FecNumerator &&
         listed.FecDenominator == offered.FecDenominator;
}

}  // namespace

TransponderList::Outcome TransponderList::Insert(const TransponderRecord& record) {
  return ordered_ ? InsertByIndex(record) : InsertByWalk(record);
}

bool TransponderList::AppendAsListed(const TransponderRecord& record) {
  if (nodes_.size() >= kMaxTransponders) return false;
  nodes_.push_back(record);
  ordered_ = false;
  index_.clear();
  unindexed_ = 0;
  return true;
}

TransponderList::Outcome TransponderList::InsertByWalk(const TransponderRecord& record) {
  const int64_t key = OrderKey(record);
  for (Node node = nodes_.begin(); node != nodes_.end(); ++node) {
    if (IsSameTransponder(*node, record)) return Overwrite(node, record);
    if (OrderKey(*node) >= key) return InsertBefore(node, record);
  }
  return InsertBefore(nodes_.end(), record);
}

TransponderList::Outcome TransponderList::InsertByIndex(const TransponderRecord& record) {
  // In a strictly ordered list the walk stops at the first node whose key is
  // not below the new one, unless an earlier node of the same polarization
  // lies 1 or 2 MHz below and matches; those are the only candidates.
  const int64_t key = OrderKey(record);
  if (nodes_.empty() || OrderKey(nodes_.back()) < key) {
    // Past the last key, as sources in frequency order always are: the
    // candidates stand among the last nodes, found without the index. The
    // one nearest the head (2 MHz below before 1 MHz below) is the walk's.
    Node candidate = nodes_.end();
    for (Node node = nodes_.end(); node != nodes_.begin();) {
      --node;
      if (static_cast<int64_t>(node->Frequency) < static_cast<int64_t>(record.Frequency) - 2) break;
      if (IsSameTransponder(*node, record)) candidate = node;
    }
    if (candidate != nodes_.end()) return Overwrite(candidate, record);
    if (nodes_.size() >= kMaxTransponders) return Outcome::kRefused;
    // Indexed only when a look-up needs it: a list filled in order never is.
    nodes_.push_back(record);
    ++unindexed_;
    return Outcome::kInserted;
  }
  IndexTail();
  for (int delta = 2; delta >= 1; --delta) {
    int64_t below = static_cast<int64_t>(record.Frequency) - delta;
    if (below < INT32_MIN) continue;
    auto found = index_.find(OrderKey(static_cast<int32_t>(below), record.Polarization, StreamKey(record.Details)));
    if (found != index_.end() && IsSameTransponder(*found->second, record)) {
      return Overwrite(found->second, record);
    }
  }
  auto next = index_.lower_bound(key);
  if (next == index_.end()) return InsertBefore(nodes_.end(), record);
  if (IsSameTransponder(*next->second, record)) return Overwrite(next->second, record);
  return InsertBefore(next->second, record);
}

TransponderList::Outcome TransponderList::Overwrite(Node node, const TransponderRecord& record) {
  if (SameTuning(*node, record)) return Outcome::kUnchanged;
  int64_t oldKey = OrderKey(*node);
  *node = record;
  int64_t newKey = OrderKey(record);
  if (!ordered_ || newKey == oldKey) return Outcome::kReplaced;
  bool stillOrdered = true;
  if (node != nodes_.begin() && OrderKey(*std::prev(node)) >= newKey) stillOrdered = false;
  if (std::next(node) != nodes_.end() && OrderKey(*std::next(node)) <= newKey) stillOrdered = false;
  if (stillOrdered) {
    index_.erase(oldKey);
    index_.emplace(newKey, node);
  } else {
    ordered_ = false;
    index_.clear();
    unindexed_ = 0;
  }
  return Outcome::kReplaced;
}

void TransponderList::IndexTail() {
  Node node = nodes_.end();
  for (; unindexed_ > 0; --unindexed_) {
    --node;
    index_.emplace(OrderKey(*node), node);
  }
}

TransponderList::Outcome TransponderList::InsertBefore(Node node, const TransponderRecord& record) {
  if (nodes_.size() >= kMaxTransponders) return Outcome::kRefused;
  Node inserted = nodes_.insert(node, record);
  if (ordered_) index_.emplace(OrderKey(record), inserted);
  return Outcome::kInserted;
}

void TransponderList::Clear() {
  nodes_.clear();
  index_.clear();
  unindexed_ = 0;
  ordered_ = true;
}

void Catalogue::RebuildIndex() {
  positionIndex_.clear();
  // Positions are unique; should one repeat, the first entry is the one
  // found, as a scan from the start would find it.
  for (size_t i = 0; i < satellites_.size(); ++i) {
    positionIndex_.emplace(satellites_[i].Position, static_cast<int32_t>(i));
  }
}

int32_t Catalogue::FindSatellite(int32_t position) const {
  auto found = positionIndex_.find(position);
  return found == positionIndex_.end() ? -1 : found->second;
}

namespace {

// A name's length in characters: a UTF-8 sequence is one character, as is
// every byte of Latin-1 and every byte that is no part of a valid sequence.
size_t NameLength(std::string_view name, TextEncoding encoding) {
  if (encoding != TextEncoding::kUtf8) return name.size();
  size_t characters = 0;
  for (size_t at = 0; at < name.size(); ++characters) {
    std::optional<Utf8Char> character = DecodeUtf8At(name, at);
    at += character ? character->length : 1;
  }
  return characters;
}

}  // namespace

int32_t Catalogue::FindOrAddSatellite(const std::string& name, int32_t position, bool merge,
                                      TextEncoding encoding) {
  int32_t index = FindSatellite(position);
  if (index < 0) {
    SatelliteRecord satellite;
    satellite.Position = position;
    satellite.Name = name;
    satellite.NameEncoding = encoding;
    satellites_.push_back(std::move(satellite));
    index = SatelliteCount() - 1;
    positionIndex_.emplace(position, index);
    return index;
  }
  SatelliteRecord& satellite = At(index);
  if (merge) {
    if (NameLength(satellite.Name, satellite.NameEncoding) < NameLength(name, encoding)) {
      satellite.Name = name;
      satellite.NameEncoding = encoding;
    }
  } else {
    satellite.Transponders.Clear();
    satellite.Flags = 0;
    satellite.Name = name;
    satellite.NameEncoding = encoding;
  }
  return index;
}

void Catalogue::DropEmptyLastSatellite() {
  if (satellites_.empty() || satellites_.back().Count() != 0) return;
  positionIndex_.erase(satellites_.back().Position);
  satellites_.pop_back();
}

void Catalogue::RemoveSatellite(int32_t index) {
  satellites_.erase(satellites_.begin() + index);
  RebuildIndex();
}

void Catalogue::SortSatellites() {
  // Positions are unique, so any correct sort gives the one ascending order.
  std::sort(satellites_.begin(), satellites_.end(),
            [](const SatelliteRecord& a, const SatelliteRecord& b) { return a.Position < b.Position; });
  RebuildIndex();
}

}  // namespace kavrel
