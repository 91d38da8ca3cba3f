// Response decoding: a downloaded file holds the raw response (head, empty
// line, body, possibly chunked, possibly gzip-compressed); these two steps
// reduce it to the page's HTML. Each writes a temporary file in the current
// directory and then moves it over the page file.
#ifndef KAVREL_ACQUISITION_RESPONSE_DECODING_H
#define KAVREL_ACQUISITION_RESPONSE_DECODING_H

#include <ostream>
#include <string>

namespace kavrel {

// How a head says that its body is chunked: plain http pages exactly as
// "Transfer-Encoding: chunked"; secure pages as HTTP/1.1 allows it.
enum class HeadReading { kExactFields, kHttp11 };

// Replaces the file by its body, with the chunks joined when the head says
// so. A file without an empty line
// has no body and becomes empty. A chunk size that is not hexadecimal
// fails the page: one "Error: " line, the file left as it was, false.
bool DecodeChunked(std::ostream& out, const std::string& path,
                   HeadReading reading = HeadReading::kExactFields);

// Replaces the file by its inflated content when it starts with the gzip
// magic bytes; any other content passes unchanged. Corrupt compressed data
// fails the page: one "Error: " line, the file left as it was, false.
bool GunzipFile(std::ostream& out, const std::string& path);

}  // namespace kavrel

#endif
