#include "acquisition/response_decoding.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel {
namespace {

std::string Gzip(const std::string& text) {
  testing::ScratchDir dir;
  gzFile out = gzopen(dir.At("z.gz").c_str(), "wb");
  gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
  gzclose(out);
  return dir.Read("z.gz");
}

class Decoding : public ::testing::Test {
 protected:
  Decoding() : cwd_(dir_.path()) {}
  // Runs both steps on a response and returns the page left behind.
  std::string Decode(const std::string& response, bool* ok = nullptr) {
    dir_.Write("page.htm", response);
    FetchResult result = DecodeChunked(dir_.At("page.htm"));
    if (result.ok()) result = GunzipFile(dir_.At("page.htm"));
    memory_.run.out << result.report;
    if (ok) *ok = result.ok();
    return dir_.Read("page.htm");
  }
  testing::ScratchDir dir_;
  testing::CurrentDirectoryGuard cwd_;
  testing::MemoryRun memory_;
};

TEST_F(Decoding, HeadIsDroppedAndChunksJoined) {
  std::string a(26, 'a'), b(16, 'b');
  EXPECT_EQ(Decode("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a\r\n" + a + "\r\n10\r\n" + b +
                   "\r\n0\r\n\r\n"),
            a + b);
  EXPECT_EQ(Decode("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>\r\nbody\n"), "<html>\r\nbody\n");
  // Chunk sizes with blanks, upper-case digits, and data with its own CRs.
  EXPECT_EQ(Decode("H\r\nTransfer-Encoding: chunked\r\n\r\n  A \r\n0123\r\n5678\r\n0\r\n\r\n"), "0123\r\n5678");
  EXPECT_EQ(dir_.Names(), std::vector<std::string>{"page.htm"});  // no temporary file left
}

TEST_F(Decoding, OnlyTheExactHeaderMeansChunked) {
  std::string body = "5\r\nhello\r\n0\r\n\r\n";
  EXPECT_EQ(Decode("H\r\ntransfer-encoding: chunked\r\n\r\n" + body), body);
  EXPECT_EQ(Decode("H\r\nTransfer-Encoding: chunked, gzip\r\n\r\n" + body), body);
  EXPECT_EQ(Decode("H\r\nTransfer-Encoding:\tchunked\r\n\r\n" + body), "hello");  // any 19th character
  EXPECT_EQ(Decode("HTTP/1.1 200 OK\r\nServer: x\r\n"), "");  // no empty line: no body
  EXPECT_EQ(Decode(""), "");
}

TEST_F(Decoding, GzipBodiesAreInflated) {
  std::string html = "<html><body>" + std::string(100000, 'x') + "</body></html>\n";
  std::string compressed = Gzip(html);
  EXPECT_EQ(Decode("HTTP/1.1 200 OK\r\n\r\n" + compressed), html);
  // Chunked and compressed: joined first, then inflated.
  std::string chunked;
  for (size_t i = 0; i < compressed.size(); i += 1000) {
    std::string piece = compressed.substr(i, 1000);
    char size[16];
    snprintf(size, sizeof size, "%zx", piece.size());
    chunked += std::string(size) + "\r\n" + piece + "\r\n";
  }
  EXPECT_EQ(Decode("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked + "0\r\n\r\n"), html);
  // Plain bytes pass unchanged, binary included.
  std::string binary;
  for (int i = 0; i < 256; ++i) binary.push_back(static_cast<char>(i));
  EXPECT_EQ(Decode("H\r\n\r\n" + binary), binary);
  EXPECT_TRUE(memory_.printed.str().empty());
}

TEST_F(Decoding, BrokenResponsesFailThePageOnly) {
  bool ok = true;
  Decode("H\r\nTransfer-Encoding: chunked\r\n\r\n5;ext=1\r\nhello\r\n0\r\n\r\n", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(memory_.PrintedLines(), std::vector<std::string>{"Error: '5;ext=1' is not a valid chunk size"});
  Decode("H\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", &ok);
  EXPECT_FALSE(ok);
  std::string noise;
  for (int i = 0; i < 50000; ++i) noise.push_back(static_cast<char>((i * 7919 + i / 13) % 251));
  std::string compressed = Gzip(noise);
  Decode("H\r\n\r\n" + compressed.substr(0, compressed.size() / 2), &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(memory_.PrintedLines().back(), "Error: The compressed page is corrupt");
  EXPECT_EQ(dir_.Names(), std::vector<std::string>{"page.htm"});
}

TEST_F(Decoding, BodiesCutShortFailAndHugeSizesStayBounded) {
  // A server that announces far more than it sends, or stops before its
  // last chunk or its length: the page is incomplete, nothing of it read.
  const std::string cut[] = {
      "H\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFF\r\nshort",
      "H\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(40, 'F') + "\r\nrest",
      "H\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n",
      "H\r\nContent-Length: 10\r\n\r\nshort",
  };
  for (const std::string& response : cut) {
    bool ok = true;
    EXPECT_EQ(Decode(response, &ok), response);
    EXPECT_FALSE(ok) << response;
  }
  EXPECT_EQ(Decode("H\r\nContent-Length: 5\r\n\r\nwhole"), "whole");
  // Zeros in front of a size are no reason to refuse it.
  EXPECT_EQ(Decode("H\r\nTransfer-Encoding: chunked\r\n\r\n0000000000000003\r\nabc\r\n0\r\n\r\n"), "abc");
  EXPECT_TRUE(memory_.printed.str().empty());
  EXPECT_EQ(dir_.Names(), std::vector<std::string>{"page.htm"});
}

TEST_F(Decoding, UsersOwnTemporaryNamesAreKept) {
  dir_.Write("dech.$$$", "mine");
  dir_.Write("dezip.$$$", "mine too");
  EXPECT_EQ(Decode("H\r\n\r\nbody"), "body");
  EXPECT_EQ(dir_.Read("dech.$$$"), "mine");
  EXPECT_EQ(dir_.Read("dezip.$$$"), "mine too");
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"dech.$$$", "dezip.$$$", "page.htm"}));
}

// The secure body decoder, fed in pieces of every size a network may cut.
TEST(BodyDecoder, FramingsPiecesAndLimits) {
  std::string html = "<html>" + std::string(3000, 'h') + "</html>";
  std::string gz = Gzip(html);
  using Framing = BodyDecoder::Framing;
  struct Case {
    std::string name;
    Framing framing;
    std::string body;
    bool cleanEnd;
    FetchFailure failure;
    std::string page;
  };
  const Case cases[] = {
      {"chunks with an extension and a trailer", {true, false, std::nullopt},
       "3;x=1\r\nabc\r\n2\r\nde\r\n0\r\nTrailer: t\r\n\r\n", false, FetchFailure::kNone, "abcde"},
      {"chunks without the last", {true, false, std::nullopt}, "3\r\nabc\r\n", true, FetchFailure::kEndedEarly, ""},
      {"a size that is no number", {true, false, std::nullopt}, "zz\r\nabc\r\n", true, FetchFailure::kCorrupt, ""},
      {"a length reached; bytes after it passed over", {false, false, 5}, "hello world", false, FetchFailure::kNone,
       "hello"},
      {"a length not reached", {false, false, 50}, "hello", true, FetchFailure::kEndedEarly, ""},
      {"neither, ended cleanly", {false, false, std::nullopt}, "plain", true, FetchFailure::kNone, "plain"},
      {"neither, cut", {false, false, std::nullopt}, "plain", false, FetchFailure::kEndedEarly, ""},
      {"gzip announced", {false, true, gz.size()}, gz, false, FetchFailure::kNone, html},
      {"gzip in chunks", {true, true, std::nullopt}, "10\r\n" + gz.substr(0, 16) + "\r\n" +
           [&] { char size[16]; snprintf(size, sizeof size, "%zx", gz.size() - 16); return std::string(size); }() +
           "\r\n" + gz.substr(16) + "\r\n0\r\n\r\n", false, FetchFailure::kNone, html},
      {"gzip not announced stays as sent", {false, false, std::nullopt}, gz, true, FetchFailure::kNone, gz},
      {"gzip announced, plain text sent", {false, true, std::nullopt}, "plain", true, FetchFailure::kNone, "plain"},
      {"gzip cut short", {false, true, std::nullopt}, gz.substr(0, gz.size() / 2), true, FetchFailure::kCorrupt, ""},
      {"more than the limit received", {false, false, std::nullopt}, std::string(5000, 'x'), true,
       FetchFailure::kTooLarge, ""},
      {"more than the limit inflated", {false, true, std::nullopt}, Gzip(std::string(5000, 'x')), true,
       FetchFailure::kTooLarge, ""},
  };
  for (const Case& c : cases) {
    for (size_t piece : {size_t{1}, size_t{7}, size_t{4096}}) {
      SCOPED_TRACE(c.name + ", pieces of " + std::to_string(piece));
      BodyDecoder decoder(c.framing, 4096, 4096);
      FetchFailure failure = FetchFailure::kNone;
      for (size_t at = 0; at < c.body.size() && failure == FetchFailure::kNone; at += piece) {
        failure = decoder.Feed(std::string_view(c.body).substr(at, piece));
      }
      if (failure == FetchFailure::kNone) failure = decoder.Finish(c.cleanEnd);
      EXPECT_EQ(failure, c.failure);
      if (failure == FetchFailure::kNone) {
        EXPECT_EQ(decoder.TakePage(), c.page);
      }
    }
  }
}

}  // namespace
}  // namespace kavrel
