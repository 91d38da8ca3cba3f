// Heads of secure responses and the addresses their redirects name: any
// bytes a server sends. The input is a head; its Location (or, without
// one, the whole input) is resolved against a fixed address.
#include "acquisition/response_head.h"
#include "acquisition/web_address.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::optional<size_t> body = kavrel::BodyStart(input);
  if (body && *body > size) std::abort();
  std::optional<kavrel::ResponseHead> head = kavrel::ParseResponseHead(input.substr(0, body.value_or(size)));
  std::string_view location = input;
  if (head) {
    if (head->status < 0 || head->status > 999) std::abort();
    (void)kavrel::ContentLength(*head);
    (void)kavrel::RetryAfterSeconds(*head);
    (void)kavrel::IsPageContentType(head->Field("Content-Type").value_or(""));
    location = head->Field("Location").value_or("");
  }
  (void)kavrel::IsChunkedFieldLine(input);
  const std::string base = "https://h.example:8443/a/b/c.php?q=1";
  std::optional<std::string> resolved = kavrel::ResolveLocation(base, location);
  if (resolved) {
    // What comes out is an address, and resolving it again changes nothing.
    if (!kavrel::ParseWebAddress(*resolved)) std::abort();
    if (kavrel::ResolveLocation(base, *resolved) != resolved) std::abort();
  }
  return 0;
}
