// The HTTP client for plain http pages: one GET request per page over a
// TCP connection, directly or through a proxy, the raw response stored in
// a local file for the decoding steps.
#ifndef KAVREL_ACQUISITION_HTTP_CLIENT_H
#define KAVREL_ACQUISITION_HTTP_CLIENT_H

#include <string>
#include <string_view>

#include "acquisition/fetch_result.h"
#include "acquisition/input_context.h"
#include "catalogue/options.h"
#include "platform/socket.h"

namespace kavrel {

// The text after the first "://" up to, not including, the next "/".
std::string UrlHost(std::string_view address);

// From the first "/" after the "://" to the end, that "/" included.
std::string UrlPath(std::string_view address);

// The request bytes for a page address under the options' proxy settings.
std::string BuildRequest(std::string_view address, const Options& options);

// Where a request for the address goes without a proxy: the host part, on
// port 80 unless it names a port ("host:8080").
struct HostAndPort {
  std::string host;
  int port = 80;
};
HostAndPort ConnectTarget(std::string_view address);

// Fetches a plain http address into a new file at `path`, printing its
// progress. On success the file holds the whole response (head and body
// as received); after a failure no file is left and the result tells why
// (with the progress report's "Error: " lines, which the caller prints).
// Every wait gives up after context.NetworkTimeoutSeconds of silence, the
// whole page after its deadline, and a response larger than
// context.MaxPageSize fails.
FetchResult DownloadPage(InputContext& context, const std::string& address, const std::string& path);

// The page's deadline in seconds: PageDeadlineSeconds, or four times the
// silence limit when that is 0.
int PageDeadlineOf(const InputContext& context);

// A failure to connect in the progress report's words and with its cause.
FetchResult ConnectFailed(SocketFailure failure);

}  // namespace kavrel

#endif
