// Where a tool writes: the output area of its dialog, standard output of
// corvina-netutil, or a test's recorder. Text is UTF-8 with CR LF line ends,
// as the output area keeps it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvina::netutil {

class OutputSink {
 public:
  virtual ~OutputSink() = default;
  virtual void Append(std::string_view text) = 0;
  virtual void Clear() = 0;
};

// Keeps the whole text (what a dialog's output area holds).
class TextOutput final : public OutputSink {
 public:
  void Append(std::string_view text) override { text_ += text; }
  void Clear() override { text_.clear(); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Turns bytes from a network peer into text that is safe to show: UTF-8
// stays, other bytes are taken as Latin-1; control characters other than
// TAB become '?'; every line end (LF, CR or CR LF) becomes CR LF. A CR or an
// incomplete UTF-8 sequence at the end of one read waits for the next.
class ReceivedText {
 public:
  std::string Feed(std::span<const std::uint8_t> bytes);
  // The end of the stream: what was held back.
  std::string Finish();
  // Bytes fed so far.
  std::size_t Total() const { return total_; }

 private:
  void Put(char32_t c, std::string& out);
  bool crPending_ = false;
  std::string partial_;  // an incomplete UTF-8 sequence
  std::size_t total_ = 0;
};

}  // namespace corvina::netutil
