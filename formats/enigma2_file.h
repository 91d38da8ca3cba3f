// satellites.xml as today's Enigma2 receivers read it: UTF-8, every DVB-S
// and DVB-S2 transponder with its stream, roll-off and pilot attributes.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <satellites>
//   <TAB><sat name="Example &amp; Co" flags="0" position="-300">
//   <TAB><TAB><transponder frequency="10758500" symbol_rate="27500000" polarization="1" fec_inner="3" system="1" modulation="2" rolloff="0" pilot="2" is_id="4" pls_mode="1" pls_code="131070" />
//   <TAB></sat>
//   </satellites>
//
// The attributes from rolloff on are written only where the catalogue has
// them; a receiver takes its own default for a missing one. Each
// satellite's flags are written as they were read (0 when none were).
// The XML file reader (xml_file.h) reads the satellites of both dialects
// and hands each transponder line here first.
#ifndef KAVREL_FORMATS_ENIGMA2_FILE_H
#define KAVREL_FORMATS_ENIGMA2_FILE_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/satellite_sink.h"
#include "formats/writer_context.h"

namespace kavrel {

// Prints "Writting Enigma2 XML file..." and, unless the catalogue is
// empty, writes satellites.xml (or the first free numbered name).
void WriteEnigma2File(const Catalogue& catalogue, const WriterContext& context);

// Reads a transponder line of this dialect, one with a "system"
// attribute, into the current satellite; false, reading nothing, for a line
// without it. Frequency, symbol rate, polarization and system must make
// sense or the entry is passed over; any other attribute that is missing
// or holds no value of its code is left unset.
bool ReadEnigma2Transponder(SatelliteSink& sink, std::string_view line);

// The dialect's codes, both ways. A reading gives nothing for a code the
// dialect does not define, so that the caller can leave the value unset.

// "system": 0 DVB-S, 1 DVB-S2.
std::optional<uint8_t> SystemKindFromEnigma2Code(int32_t code);

// "fec_inner": 1 1/2, 2 2/3, 3 3/4, 4 5/6, 5 7/8, 6 8/9, 7 3/5, 8 4/5,
// 9 9/10, 10 6/7; 0 (automatic) and 15 (none) are the unknown FEC 0/0.
std::optional<FecFraction> FecFromEnigma2Code(int32_t code);
// A fraction without a code (unknown included) is written 0, automatic.
int32_t Enigma2FecCode(FecFraction fec);

// "modulation": 0 automatic, 1 QPSK, 2 8PSK, 3 QAM16, 4 16APSK, 5 32APSK.
std::optional<uint8_t> ModulationFromEnigma2Code(int32_t code);
// The code written for a transponder: DVB-S knows QPSK only and is always
// 1; DVB-S2 without a known modulation is 0.
int32_t Enigma2ModulationCode(const TransponderRecord& transponder);

// "rolloff": 0 0.35, 1 0.25, 2 0.20, 3 automatic; nothing for kRollOffUnset.
std::optional<uint8_t> RollOffFromEnigma2Code(int32_t code);
std::optional<int32_t> Enigma2RollOffCode(uint8_t rollOff);

// "pilot": 0 off, 1 on, 2 unknown; nothing for kPilotUnset.
std::optional<uint8_t> PilotFromEnigma2Code(int32_t code);
std::optional<int32_t> Enigma2PilotCode(uint8_t pilot);

// "pls_mode": 0 root, 1 gold, 2 combo; nothing for kPlsUnset.
std::optional<uint8_t> PlsModeFromEnigma2Code(int32_t code);
std::optional<int32_t> Enigma2PlsModeCode(uint8_t plsMode);

// The widest values of the numeric attributes.
constexpr uint16_t kMaxPid = 8191;        // 13 bits

}  // namespace kavrel

#endif
