// The codes the catalogue stores for what a transponder is, named once so
// that producers, admission and writers speak of the same values.
#ifndef KAVREL_CATALOGUE_CODES_H
#define KAVREL_CATALOGUE_CODES_H

#include <cstdint>

namespace kavrel {

// System kind of a transponder (TransponderRecord::SystemKind).
enum SystemKindCode : uint8_t { kKindDvbS = 1, kKindDvbS2 = 2, kKindDss = 3 };

// Modulation of a transponder (TransponderRecord::Modulation); 0 when the
// source does not give one. The original formats know QPSK and 8PSK only;
// today's files name the others.
enum ModulationCode : uint8_t {
  kModulationNone = 0,
  kModulationQpsk = 1,
  kModulation8psk = 2,
  kModulation16apsk = 3,
  kModulation32apsk = 4,
  kModulationAuto = 5,
  kModulationQam16 = 6,
};

// DVB-S2 roll-off; kRollOffUnset when the source does not give one.
enum RollOffCode : uint8_t { kRollOffUnset = 0, kRollOff35 = 1, kRollOff25 = 2, kRollOff20 = 3, kRollOffAuto = 4 };

// DVB-S2 pilot symbols; kPilotUnset when the source does not give them.
enum PilotCode : uint8_t { kPilotUnset = 0, kPilotOff = 1, kPilotOn = 2, kPilotUnknown = 3 };

// How the physical layer scrambling code is given; kPlsUnset when the
// source does not give one (the default sequence, root code 1).
enum PlsModeCode : uint8_t { kPlsUnset = 0, kPlsRoot = 1, kPlsGold = 2, kPlsCombo = 3 };

// Input stream id and T2-MI PLP id: 0-255, or none.
constexpr int16_t kNoStream = -1;
constexpr int16_t kMaxStreamId = 255;

// The physical layer scrambling code is 18 bits wide.
constexpr uint32_t kMaxPlsCode = 262143;

// The encoding of the texts of a source: names and providers are kept as
// the source's bytes, with the encoding they are in.
enum class TextEncoding : uint8_t { kLatin1, kUtf8 };

// A FEC fraction as the catalogue holds it; 0/0 is unknown.
struct FecFraction {
  uint8_t numerator = 0;
  uint8_t denominator = 0;
  bool operator==(const FecFraction&) const = default;
};

// Symbol rates are 16-bit kS/s values: the highest one, and so the default
// upper limit of admission.
constexpr int32_t kMaxSymbolRate = 65535;

// Orbital positions are tenths of a degree: East e is e*10, West w is
// 3600 - w*10 (30.0 W is 3300). Keys lie in 0..3599.
constexpr int32_t kFullCircle = 3600;

// Keys up to this one are East (or 0), the ones above it West.
constexpr int32_t kLastEastPosition = 1800;

// The key of a West position given as its distance from 0 in tenths
// (300 -> 3300); wraps in 32 bits as the position register would.
constexpr int32_t WestPosition(int64_t tenths) {
  return static_cast<int32_t>(static_cast<uint32_t>(kFullCircle) - static_cast<uint32_t>(tenths));
}

// A key as signed tenths, West negative (3300 -> -300), as files that
// store signed positions write it.
constexpr int64_t SignedPosition(int32_t key) {
  return key <= kLastEastPosition ? key : static_cast<int64_t>(key) - kFullCircle;
}

}  // namespace kavrel

#endif
