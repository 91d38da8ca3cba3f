// The channel-list data files of the Kathrein UFS 910 receiver: sat.dat
// (one record per satellite), carrier.dat (one per DVB-S or DVB-S2
// transponder), and service.dat and favorite.dat (headers only).
//
// Every table file is a header
//
//   0  "INARIS101" NUL, 04 03 02 01, 01 00, 63 02
//   18 length n of the table name, the name (no NUL)
//      16-bit count c of column descriptor bytes, the c descriptor bytes
//      32-bit record count, 16-bit header checksum (bytes 18 to the count)
//
// followed by records framed as a 24-bit payload length, the payload and a
// 16-bit checksum over length and payload. Integers are little-endian;
// checksums are byte sums that wrap at 65536.
#ifndef KAVREL_FORMATS_KATHREIN_FILES_H
#define KAVREL_FORMATS_KATHREIN_FILES_H

#include <cstdint>
#include <string_view>

#include "catalogue/catalogue.h"
#include "formats/writer_context.h"

namespace kavrel {

// Prints "Writting Kathrein UFS 910 files..." and, unless the catalogue is
// empty, writes carrier.dat, sat.dat, service.dat and favorite.dat (each
// under the first free numbered variant of its own name).
//
// Carriers are numbered from 1 across all satellites in the order written.
// Transponders of other kinds than DVB-S and DVB-S2 (DSS) get no record and
// no number: the numbers stay consecutive and the header's count equals
// the number of records in the file, which is what a reader of the table
// can check.
void WriteKathreinFiles(const Catalogue& catalogue, const WriterContext& context);

// The byte sum of `bytes` added to `start`, modulo 65536.
uint16_t ByteSum(std::string_view bytes, uint16_t start);

// The code-rate code of a transponder (the ASCII capitals "B" to "T", and
// "W" for any combination the receiver has no code for).
uint8_t KathreinCodeRate(const TransponderRecord& transponder);

}  // namespace kavrel

#endif
