// The HTTP client: one GET request per page over a TCP connection, directly
// or through a proxy, the raw response stored in a local file.
#ifndef KAVREL_ACQUISITION_HTTP_CLIENT_H
#define KAVREL_ACQUISITION_HTTP_CLIENT_H

#include <string>
#include <string_view>

#include "acquisition/input_context.h"
#include "catalogue/options.h"

namespace kavrel {

// The text after the first "://" up to, not including, the next "/".
std::string UrlHost(std::string_view address);

// From the first "/" after the "://" to the end, that "/" included.
std::string UrlPath(std::string_view address);

// One group of standard Base64: up to three bytes give four characters, a
// short group filled up with "=".
std::string EncodeBase64Group(const unsigned char* bytes, size_t count);

// Standard Base64 of a whole text.
std::string EncodeBase64(std::string_view text);

// The request bytes for a page address under the options' proxy settings.
std::string BuildRequest(std::string_view address, const Options& options);

// Fetches a page address into a new file at `path`, printing its progress;
// https addresses go to the secure client.
// True when the whole response (head and body as received) is in the
// file; false after a failure, which it has reported, and then no file is
// left. Connecting and every wait for data give up after
// context.NetworkTimeoutSeconds of silence.
bool DownloadPage(InputContext& context, const std::string& address,
                  const std::string& path);

}  // namespace kavrel

#endif
