// Secure pages: one GET request over TLS, directly or through a proxy's
// CONNECT tunnel, judged as HTTP/1.1 defines it, with redirects followed,
// passing failures retried and a pause between requests to one host. The
// page is decoded in memory as it arrives.
#ifndef KAVREL_ACQUISITION_HTTPS_CLIENT_H
#define KAVREL_ACQUISITION_HTTPS_CLIENT_H

#include <string>
#include <string_view>

#include "acquisition/fetch_result.h"
#include "acquisition/input_context.h"
#include "acquisition/page_cache.h"
#include "acquisition/web_address.h"
#include "catalogue/options.h"

namespace kavrel {

// The request bytes for a secure page: the plain request's lines in origin
// form, with the User-Agent line. Credentials go to the page's server only
// without a proxy, and only when `withCredentials` (the address is still
// on the origin they were given for); through a tunnel they are the
// proxy's and stay there. With a `kept` copy of the page, the request asks
// for the page only if it changed since (If-None-Match, If-Modified-Since).
std::string BuildSecureRequest(const WebAddress& address, const Options& options, std::string_view userAgent,
                               bool withCredentials = true, const CachedPage* kept = nullptr);

// The CONNECT request that opens a tunnel to the address through a proxy.
std::string BuildTunnelRequest(const WebAddress& address, const Options& options,
                               std::string_view userAgent);

// Fetches an https address with the progress lines of DownloadPage; the
// result holds the decoded page, or why there is none (with the progress
// report's "Error: " lines: one, two when the TLS handshake failed). The
// page cache of the context is asked first and given what came, as its
// mode says: --offline reads the kept page and touches no network.
// `retry`: a passing failure is asked again after a pause (twice at most);
// a last try of a walk asks once.
FetchResult FetchSecurePage(InputContext& context, const std::string& address, bool retry = true);

}  // namespace kavrel

#endif
