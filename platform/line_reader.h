// Reads a text held in memory line by line: pages, files and list files are
// read whole once, and every reader walks them with this.
#ifndef KAVREL_PLATFORM_LINE_READER_H
#define KAVREL_PLATFORM_LINE_READER_H

#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  // True when every byte has been consumed.
  bool AtEnd() const { return pos_ >= text_.size(); }

  // A line up to the next LF, with every CR dropped wherever it stands; the
  // end of the text ends the line with what was collected (possibly
  // nothing).
  std::string ReadPageLine();

  // A line up to the next LF, with one CR before that LF dropped: the
  // ordinary reading of a text whose lines end in LF or CR LF.
  std::string ReadTextLine();

  // A line up to the next LF exactly as it stands, CRs included.
  std::string_view ReadRawLine() {
    bool ended;
    return NextRaw(ended);
  }

  // The same lines without a copy: a view into the text, or into `scratch`
  // when carriage returns had to be dropped. The view lasts as long as the
  // text and, for ReadPageLineView, until `scratch` is used again.
  std::string_view ReadPageLineView(std::string& scratch);
  std::string_view ReadTextLineView();

  // A line up to the next LF with every CR dropped, the LF consumed; nothing
  // (and the rest consumed) when the text ends before a LF: only whole
  // lines count.
  std::optional<std::string> ReadWholeLine();

  // Up to `count` bytes as they stand; fewer at the end of the text.
  std::string_view Take(size_t count);

 private:
  // The bytes up to the next LF (or the end), and whether a LF ended them;
  // the LF is consumed.
  std::string_view NextRaw(bool& ended);

  std::string_view text_;
  size_t pos_ = 0;
};

// The text with every CR removed.
std::string WithoutCarriageReturns(std::string_view text);

}  // namespace kavrel

#endif
