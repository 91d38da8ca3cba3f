#include "acquisition/fetch_result.h"

namespace kavrel {

std::string_view FailureWords(FetchFailure failure) {
  switch (failure) {
    case FetchFailure::kNone: return "";
    case FetchFailure::kInvalidAddress: return "not a valid address";
    case FetchFailure::kProxyOption: return "the proxy option was refused, so nothing is fetched";
    case FetchFailure::kNotResolved: return "the host name could not be resolved";
    case FetchFailure::kRefused: return "the connection was refused";
    case FetchFailure::kTimedOut: return "timed out";
    case FetchFailure::kNoConnection: return "could not connect";
    case FetchFailure::kCertificate: return "the certificate is not trusted";
    case FetchFailure::kHandshake: return "the TLS handshake failed";
    case FetchFailure::kProxy: return "the proxy refused the tunnel";
    case FetchFailure::kSendFailed: return "the request could not be sent";
    case FetchFailure::kConnectionLost: return "the connection was lost";
    case FetchFailure::kHttpStatus: return "the server did not send the page";
    case FetchFailure::kNotAPage: return "the answer is not an HTML page";
    case FetchFailure::kBadHead: return "the answer is not HTTP";
    case FetchFailure::kRedirect: return "a redirect that cannot be followed";
    case FetchFailure::kTooLarge: return "the page is too large";
    case FetchFailure::kEndedEarly: return "the page ended early";
    case FetchFailure::kCorrupt: return "the page could not be decoded";
    case FetchFailure::kNotKept: return "no copy of the page is kept, and --offline fetches nothing";
  }
  return "";
}

FetchResult FetchFailed(FetchFailure failure, std::string_view reportLine, std::string cause) {
  FetchResult result;
  result.failure = failure;
  if (!reportLine.empty()) {
    result.report = std::string(reportLine);
    result.report += '\n';
  }
  result.cause = cause.empty() ? std::string(FailureWords(failure)) : std::move(cause);
  return result;
}

bool IsHostFailure(FetchFailure failure) {
  switch (failure) {
    case FetchFailure::kNotResolved:
    case FetchFailure::kRefused:
    case FetchFailure::kTimedOut:
    case FetchFailure::kNoConnection:
    case FetchFailure::kCertificate:
    case FetchFailure::kHandshake:
    case FetchFailure::kProxy:
    case FetchFailure::kProxyOption:
      return true;
    default:
      return false;
  }
}

bool IsPassingStatus(int status) { return status == 429 || (status >= 500 && status <= 599); }

bool IsPassingFailure(const FetchResult& result) {
  switch (result.failure) {
    case FetchFailure::kRefused:
    case FetchFailure::kTimedOut:
      return true;
    case FetchFailure::kHttpStatus:
      return IsPassingStatus(result.status);
    default:
      return false;
  }
}

}  // namespace kavrel
