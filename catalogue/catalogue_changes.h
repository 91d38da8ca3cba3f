// What changed between two catalogues: the list kept before a run and the
// one after it, or two sources of the same satellites.
//
// Two transponders are the same when the duplicate rule of a list says so
// (IsSameTransponder, the earlier catalogue's record as the listed one).
// Satellites come in position order, transponders in list order; a
// satellite whose transponders did not change is left out, so two equal
// catalogues give no changes at all.
#ifndef KAVREL_CATALOGUE_CATALOGUE_CHANGES_H
#define KAVREL_CATALOGUE_CATALOGUE_CHANGES_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "catalogue/catalogue.h"

namespace kavrel {

// One transponder that differs. The records point into the two compared
// catalogues, which must outlive the change.
struct TransponderChange {
  enum class Kind { kAdded, kRemoved, kChanged };
  Kind kind = Kind::kAdded;
  const TransponderRecord* before = nullptr;  // null when added
  const TransponderRecord* after = nullptr;   // null when removed
};

struct SatelliteChanges {
  int32_t position = 0;
  // The satellite as the later catalogue has it, or the earlier one when
  // it is gone; points into that catalogue.
  const SatelliteRecord* satellite = nullptr;
  size_t beforeCount = 0;
  size_t afterCount = 0;
  size_t added = 0, removed = 0, changed = 0;
  std::vector<TransponderChange> transponders;
};

std::vector<SatelliteChanges> CompareCatalogues(const Catalogue& before, const Catalogue& after);

// The changes for people: one line per satellite with its counts, then an
// indented line per transponder ("+" added, "-" removed, "~" changed with
// old and new values). UTF-8. Nothing for no changes.
void WriteChangesText(std::ostream& out, const std::vector<SatelliteChanges>& changes);

// The same as one JSON document (UTF-8), for scripts; no changes give an
// empty "satellites" array.
void WriteChangesJson(std::ostream& out, const std::vector<SatelliteChanges>& changes);

}  // namespace kavrel

#endif
