#pragma once
// A field's text that may be written only when somebody reads it. The progress display changes
// its labels after every 255-byte chunk, while a view reads them a few times a second: storing
// the numbers and writing the text on the first read gives the very same text at a fraction of
// the cost.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace skyhaul::window {

// The locale's decimal separator as it was at one moment, held by value: the locale's own copy
// changes with the locale. The C library allows one character (at most four bytes in UTF-8);
// a longer separator does not fit, and the progress display then writes its texts at once.
class SeparatorCopy {
 public:
  static constexpr std::size_t kCapacity = 7;

  // False (and nothing kept) when `separator` is longer than kCapacity bytes.
  bool assign(std::string_view separator) {
    if (separator.size() > kCapacity) return false;
    separator.copy(bytes_.data(), separator.size());
    size_ = static_cast<std::uint8_t>(separator.size());
    return true;
  }
  std::string_view view() const { return {bytes_.data(), size_}; }
  // Whether `separator` is the one kept; compared byte by byte, as it is nearly always one byte.
  bool holds(std::string_view separator) const {
    if (separator.size() != size_) return false;
    for (std::size_t i = 0; i < separator.size(); ++i) {
      if (separator[i] != bytes_[i]) return false;
    }
    return true;
  }

 private:
  std::array<char, kCapacity> bytes_{};
  std::uint8_t size_ = 0;
};

// The numbers a text is made of, taken when the field was set, and the function that writes
// them. It holds no pointer but to code, so it stays valid however long it waits, and copies
// as plain bytes.
struct DeferredText {
  // Appends the text made of `from`'s numbers, with `separator` as the decimal separator.
  using Writer = void (*)(const DeferredText& from, std::string_view separator, std::string& text);

  Writer writer = nullptr;
  std::array<std::int64_t, 2> whole{};  // whole numbers, as the writer needs them
  std::array<float, 2> single{};        // single-precision numbers, as the writer needs them
  SeparatorCopy separator;              // the locale's decimal separator at that moment
};

// One stored text: either written already or waiting as a DeferredText.
class LazyText {
 public:
  explicit LazyText(std::string text = {}) : text_(std::move(text)) {}

  // The text, written now when it was waiting.
  const std::string& get() const {
    if (pending_.writer != nullptr) {
      const DeferredText::Writer writer = std::exchange(pending_.writer, nullptr);
      text_.clear();  // keeps the capacity, so a text rewritten often allocates no more
      writer(pending_, pending_.separator.view(), text_);
    }
    return text_;
  }
  void set(std::string text) {
    pending_.writer = nullptr;
    text_ = std::move(text);
  }
  // Replaces the text with one that is written on the next read. Copied member by member: a
  // text is deferred right after its numbers were stored, and whole-block copies of freshly
  // stored numbers stall the processor.
  void defer(const DeferredText& text) {
    pending_.writer = text.writer;
    pending_.whole[0] = text.whole[0];
    pending_.whole[1] = text.whole[1];
    pending_.single[0] = text.single[0];
    pending_.single[1] = text.single[1];
    pending_.separator = text.separator;
  }

 private:
  mutable std::string text_;
  mutable DeferredText pending_;
};

}  // namespace skyhaul::window
