#include "catalogue/satellite_sink.h"

namespace kavrel {

void SatelliteSink::BeginInput(std::string_view name) {
  input_ = name;
  ++inputSerial_;
}

void SatelliteSink::BeginPage(std::string_view name) {
  out_ << "Processing " << name << "..." << '\n';
  current_ = -1;
  offeredOnPage_ = 0;
  BeginInput(name);
  unselected_ = false;
}

void SatelliteSink::FindOrAddSatellite(const std::string& name, int32_t position, TextEncoding encoding) {
  if (selection_ != nullptr) {
    int32_t key = NormalizePosition(position);
    unselected_ = !selection_->Contains(key < 0 ? key + kFullCircle : key);
    if (unselected_) {
      current_ = -1;
      return;
    }
  }
  int32_t known = catalogue_.FindSatellite(position);
  auto filler = filledBy_.find(position);
  if (!merge_ && known >= 0 && catalogue_.At(known).Count() > 0 && filler != filledBy_.end() &&
      filler->second != inputSerial_) {
    auto [at, added] = replacementIndex_.emplace(position, replacements_.size());
    if (added) {
      replacements_.push_back(Replacement{position, 1, input_});
    } else {
      Replacement& same = replacements_[at->second];
      ++same.lost;
      same.input = input_;
    }
  }
  filledBy_[position] = inputSerial_;
  current_ = catalogue_.FindOrAddSatellite(name, position, merge_, encoding);
}

void SatelliteSink::SetSatelliteFlags(uint32_t flags) {
  if (Current() != nullptr) catalogue_.At(current_).Flags = flags;
}

const SatelliteRecord* SatelliteSink::Current() const {
  if (current_ < 0 || current_ >= catalogue_.SatelliteCount()) return nullptr;
  return &catalogue_.Satellites()[static_cast<size_t>(current_)];
}

bool SatelliteSink::AddTransponder(const OfferedTransponder& offered) {
  // A satellite left out by position was read all the same.
  if (unselected_) ++offeredOnPage_;
  if (Current() == nullptr) return false;
  ++offeredOnPage_;
  SatelliteRecord& satellite = catalogue_.At(current_);
  if (keepAsListed_) return satellite.Transponders.AppendAsListed(RecordOf(offered));
  uint16_t before = satellite.Count();
  if (AdmitTransponder(satellite, options_, offered)) {
    // A full list refuses instead of merging, and leaves the count as it was too.
    if (satellite.Count() == before && before < kMaxTransponders) ++mergedDuplicates_;
    return true;
  }
  if (!BandAndPolarizationAccepted(options_, offered)) ++refusedForBandOrPolarization_;
  bool switchable = offered.SystemKind == kKindDvbS2 || offered.SystemKind == kKindDss;
  if (switchable && !options_.AcceptedKinds.Contains(offered.SystemKind) &&
      PassesFiltersApartFromKind(options_, offered)) {
    ++refusedForKind_[offered.SystemKind];
  }
  return false;
}

void SatelliteSink::ReportLoaded(std::optional<std::string_view> name) {
  if (current_ != -1) {
    const SatelliteRecord* current = Current();
    if (name) out_ << *name << ' ';
    out_ << (current ? current->Count() : 0) << " transponders loaded" << '\n';
  }
  catalogue_.DropEmptyLastSatellite();
}

void SatelliteSink::EndPage() { ReportLoaded(std::nullopt); }

void SatelliteSink::EndSatellite(std::string_view name) { ReportLoaded(name); }

void SatelliteSink::AbandonPage() {
  out_ << "Error while parsing HTML data" << '\n';
  if (Current() != nullptr) catalogue_.RemoveSatellite(current_);
  current_ = -1;
}

size_t SatelliteSink::FilledPositions() const {
  size_t filled = 0;
  for (const auto& [position, serial] : filledBy_) {
    int32_t index = catalogue_.FindSatellite(position);
    filled += index >= 0 && catalogue_.At(index).Count() > 0;
  }
  return filled;
}

void SatelliteSink::KeepUnreplaced(Catalogue& kept) {
  for (SatelliteRecord& satellite : kept.satellites_) {
    int32_t index = catalogue_.FindSatellite(satellite.Position);
    if (index < 0) {
      catalogue_.satellites_.push_back(std::move(satellite));
    } else if (!filledBy_.contains(satellite.Position) || catalogue_.At(index).Count() == 0) {
      catalogue_.At(index) = std::move(satellite);
    }
  }
  kept.satellites_.clear();
  kept.RebuildIndex();
  catalogue_.RebuildIndex();
  current_ = -1;
}

}  // namespace kavrel
