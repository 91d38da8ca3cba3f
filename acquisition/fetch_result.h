// What fetching one page came to: the page, or why there is none. The
// client does not print its failures itself; the one who asked for the
// page prints the progress report's "Error: " lines and tells standard
// error the cause.
#ifndef KAVREL_ACQUISITION_FETCH_RESULT_H
#define KAVREL_ACQUISITION_FETCH_RESULT_H

#include <string>
#include <string_view>

namespace kavrel {

enum class FetchFailure {
  kNone,
  kInvalidAddress,
  kProxyOption,    // the proxy option was refused: nothing is fetched
  kNotResolved,    // the host name is not known
  kRefused,        // nothing listens there
  kTimedOut,       // the silence limit or the page's deadline ran out
  kNoConnection,   // any other failure to connect
  kCertificate,    // the server's certificate failed verification
  kHandshake,      // TLS could not be set up
  kProxy,          // the proxy would not open a tunnel
  kSendFailed,
  kConnectionLost,
  kHttpStatus,     // an answer other than the page
  kNotAPage,       // a content type that is no page
  kBadHead,        // a head that is not HTTP, or too long
  kRedirect,       // a redirect that cannot be followed
  kTooLarge,       // more bytes than the page may have
  kEndedEarly,     // the body stopped before its end
  kCorrupt,        // chunks or compressed data that cannot be decoded
  kNotKept,        // --offline, and no copy of the page is kept
};

struct FetchResult {
  FetchFailure failure = FetchFailure::kNone;
  // The progress report's lines for the failure, each ending in a line
  // break ("Error: Can't connect to the host\n"); may be empty.
  std::string report;
  // Words for standard error: what was wrong ("the connection was refused").
  std::string cause;
  // A secure page: the page as decoded. Plain http leaves it in its file.
  std::string body;
  // kHttpStatus: the status the server answered.
  int status = 0;

  bool ok() const { return failure == FetchFailure::kNone; }
};

// A failed fetch with its report line (none when empty) and cause; the
// cause defaults to the failure's own words.
FetchResult FetchFailed(FetchFailure failure, std::string_view reportLine, std::string cause = "");

// The words of a failure, as standard error names it.
std::string_view FailureWords(FetchFailure failure);

// Failures that say something about the host rather than about the page:
// when they repeat, the host's other pages would fail the same way.
bool IsHostFailure(FetchFailure failure);

// Statuses of a server that is busy or down for a while (429, any 5xx,
// the 52x of a front that cannot reach its site): asking later may work.
bool IsPassingStatus(int status);

// Failures that asking again later may mend: a time-out, a refused
// connection, a passing status.
bool IsPassingFailure(const FetchResult& result);

}  // namespace kavrel

#endif
