// Secure pages: one GET request over TLS, directly or through a proxy's
// CONNECT tunnel, judged as HTTP/1.1 defines it, with redirects followed,
// passing failures retried and a pause between requests to one host.
#ifndef KAVREL_ACQUISITION_HTTPS_CLIENT_H
#define KAVREL_ACQUISITION_HTTPS_CLIENT_H

#include <string>
#include <string_view>

#include "acquisition/input_context.h"
#include "acquisition/web_address.h"
#include "catalogue/options.h"

namespace kavrel {

// The request bytes for a secure page: the plain request's lines in origin
// form, with the User-Agent line. Credentials go to the page's server only
// without a proxy; through a tunnel they are the proxy's and stay there.
std::string BuildSecureRequest(const WebAddress& address, const Options& options,
                               std::string_view userAgent);

// The CONNECT request that opens a tunnel to the address through a proxy.
std::string BuildTunnelRequest(const WebAddress& address, const Options& options,
                               std::string_view userAgent);

// Fetches an https address into a new file at `path` as DownloadPage does
// (same progress lines; the file holds the final response's head and body
// as received). False after a failure, which it has reported in one
// "Error: " line (two when the TLS handshake failed), and no file is left.
bool DownloadSecurePage(InputContext& context, const std::string& address,
                        const std::string& path);

}  // namespace kavrel

#endif
