// The progress display against the seventeen steps written out as they read, every text written
// at once, over long random transfers: both must show the same after every event and at any
// moment in between.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "WindowDoubles.h"
#include "form/FrmUpdate.h"
#include "support/CommaLocale.h"
#include "support/FakeClock.h"
#include "window/ConvertTime.h"
#include "window/NumberText.h"
#include "window/ProgressDisplay.h"

namespace skyhaul::window {
namespace {

using test::CommaLocale;

using test::FakeClock;
using test::FakeProgramEnd;

// One thing the display shows, as text (the bar's numbers and the rate exactly), with the field
// whose listener is told of its changes; the rate is no field.
struct Shown {
  const char* name;
  std::optional<form::FieldId> field;
  std::string text;
};

// The shortest text that reads back as `value`, whatever the locale.
std::string exactly(float value) {
  std::array<char, 32> text{};
  return {text.data(), std::to_chars(text.data(), text.data() + text.size(), value).ptr};
}

// Label7, Label9, Label10, Label11.
using Labels = std::array<std::string, 4>;

std::vector<Shown> shownBy(const form::ProgressBar& bar, const Labels& labels,
                           const std::string& caption, float transferRate) {
  return {{"PB", form::FieldId::PB,
           exactly(bar.min()) + ".." + exactly(bar.max()) + " at " + exactly(bar.value())},
          {"PB hover text", form::FieldId::PB, bar.toolTipText()},
          {"Label7", form::FieldId::Label7, labels[0]},
          {"Label9", form::FieldId::Label9, labels[1]},
          {"Label10", form::FieldId::Label10, labels[2]},
          {"Label11", form::FieldId::Label11, labels[3]},
          {"Caption", form::FieldId::Caption, caption},
          {"TransferRate", std::nullopt, exactly(transferRate)}};
}

std::vector<Shown> shownBy(const form::FrmUpdate& form) {
  return shownBy(form.PB,
                 {form.Label7.text(), form.Label9.text(), form.Label10.text(), form.Label11.text()},
                 form.Caption.text(), form.TransferRate);
}

std::optional<double> divided(double dividend, double divisor) {
  if (divisor == 0.0 || !std::isfinite(dividend / divisor)) return std::nullopt;
  return dividend / divisor;
}

std::optional<std::int64_t> nearestWhole(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= -0x1p63 && rounded < 0x1p63)) return std::nullopt;
  return static_cast<std::int64_t>(rounded);
}

std::optional<float> single(double value) {
  if (!(std::fabs(value) <= std::numeric_limits<float>::max())) return std::nullopt;
  return static_cast<float>(value);
}

// The steps one by one, each text written when its step runs. A step that fails leaves what it
// would have written as it was.
class EagerDisplay {
 public:
  explicit EagerDisplay(const form::FrmUpdate& initial)
      : labels_{initial.Label7.text(), initial.Label9.text(), initial.Label10.text(),
                initial.Label11.text()},
        caption_(initial.Caption.text()),
        transferRate_(initial.TransferRate) {}

  void event(float clock, float transferStart, std::int64_t current, std::int64_t total,
             bool minimized, const std::function<void(int)>& yield) {
    const std::string separator(decimalSeparator());
    rate(clock, transferStart, current, separator);
    bar_.setMax(static_cast<float>(total));
    bar_.setMin(0.0F);
    const std::int64_t previous = nearestWhole(bar_.value()).value_or(0);
    yield(1);
    try {
      bar_.setValue(static_cast<float>(current));
    } catch (const std::out_of_range&) {
    }
    yield(2);
    bar_.setToolTipText(generalText(bar_.value(), separator) + " Bytes od " +
                        generalText(bar_.max(), separator) + " Bytes Prenešeno ");
    yield(3);
    const auto done = nearestWhole(bar_.value());
    const auto size = nearestWhole(bar_.max());
    if (done && size) {
      labels_[0] =
          std::to_string(*done / 1024) + " KB od " + std::to_string(*size / 1024) + " KB Prenešeno";
    }
    yield(4);
    percentage(previous, minimized);
    yield(5);
    labels_[2] = rateText(transferRate_, separator) + " Kbps";
    timeLeft(separator);
    if (bar_.value() == bar_.max()) labels_[1] = "100%";
  }

  void setLabel11(const std::string& text) { labels_[3] = text; }
  void setTransferRate(float rate) { transferRate_ = rate; }
  std::vector<Shown> shown() const { return shownBy(bar_, labels_, caption_, transferRate_); }

 private:
  void rate(float clock, float transferStart, std::int64_t current, const std::string& separator) {
    double elapsed = static_cast<double>(clock) - transferStart;
    if (elapsed < 0.0) elapsed += 86400.0;
    const auto bytesPerSecond = divided(static_cast<double>(current), elapsed);
    if (!bytesPerSecond) return;
    const double k = std::floor(*bytesPerSecond);
    const auto read = readTwoDecimals(twoDecimalsText(k / 1000.0, separator), separator);
    if (!read) return;
    if (const auto rate = single(*read)) transferRate_ = *rate;
  }

  void percentage(std::int64_t previous, bool minimized) {
    const auto share = divided(static_cast<double>(previous), bar_.max());
    const auto percent = share ? nearestWhole(*share * 100.0) : std::nullopt;
    if (!percent) return;
    labels_[1] = std::to_string(*percent) + "%";
    if (minimized) caption_ = "FTP prenos " + std::to_string(*percent) + "%";
  }

  void timeLeft(const std::string& separator) {
    const double remaining = static_cast<double>(bar_.max()) - bar_.value();
    const auto seconds = divided(remaining / 1024.0, transferRate_);
    const auto whole = seconds ? single(std::floor(*seconds)) : std::nullopt;
    if (whole) labels_[3] = "Do konca še: " + ConvertTime(*whole, separator);
  }

  form::ProgressBar bar_{form::FieldId::PB};
  Labels labels_;
  std::string caption_;
  float transferRate_;
};

// One random transfer run, files one after another, through both displays at once.
class RandomTransfers {
 public:
  RandomTransfers(std::uint64_t seed, bool commaLocaleBuilt) : seed_(seed), random_(seed) {
    form_.attach(&view_);
    view_.onYield = [this](int yields) { checkAtYield(yields - yieldsBefore_); };
    const bool nearMidnight = chance(0.3);
    clockSeconds_ = nearMidnight ? 86400.0 - between(0.0, 30.0) : between(0.0, 86400.0);
    readAlways_ = chance(0.5);
    readChance_ = between(0.01, 0.3);
    yieldReadChance_ = chance(0.5) ? 0.03 : 0.0;
    minimizeChance_ = chance(0.3) ? 0.05 : 0.0;
    localeChance_ = commaLocaleBuilt && chance(0.3) ? 0.05 : 0.0;
    view_.minimized = chance(0.2);
    startFile();
  }

  // Runs up to `events` events; stops at the first difference, which `failure` then names.
  void run(int events) {
    for (event_ = 0; event_ < events && failure.empty(); ++event_) {
      step();
      if (readAlways_ || chance(readChance_)) compare(reference_.shown(), "after the event");
      if (chance(0.01)) {
        // A rate no transfer gives; it stays while no time passes.
        const std::array<float, 4> rates{1e-40F, -1e-30F, std::numeric_limits<float>::infinity(),
                                         std::numeric_limits<float>::quiet_NaN()};
        form_.TransferRate = rates[static_cast<std::size_t>(between(0.0, 4.0))];
        reference_.setTransferRate(form_.TransferRate);
      }
      if (chance(0.02)) {
        // As the FTP client writes it at the end of an upload, between two events.
        const char* text = chance(0.5) ? "Konec." : "INTERNET CLOSE";
        form_.Label11.setText(text);
        reference_.setLabel11(text);
        if (chance(0.5)) compare(reference_.shown(), "after Label11 was set");
      }
    }
    if (failure.empty()) compare(reference_.shown(), "at the end");
  }

  std::string failure;

 private:
  void step() {
    if (chance(0.03)) startFile();
    clockSeconds_ += chance(0.2) ? 0.0 : chance(0.9) ? between(0.0001, 3.0) : between(3.0, 4000.0);
    if (clockSeconds_ >= 86400.0) clockSeconds_ -= 86400.0;
    current_ = nextCurrent();
    if (chance(minimizeChance_)) view_.minimized = !view_.minimized;
    if (chance(localeChance_)) switchLocale();
    clock_.setSecondsSinceMidnight(clockSeconds_);
    atYield_.fill(std::nullopt);
    reference_.event(clock_.secondsSinceMidnight(), form_.TransferStart, current_, total_,
                     view_.minimized, [this](int yield) {
                       if (chance(yieldReadChance_)) atYield_[yield] = reference_.shown();
                     });
    yieldsBefore_ = view_.yields;
    display_.mFTP_FileTransferProgress(current_, total_);
  }

  void startFile() {
    form_.TransferStart = static_cast<float>(clockSeconds_);
    current_ = 0;
    const int kind = static_cast<int>(between(0.0, 8.0));
    const std::array<std::pair<double, double>, 8> sizes{{{0.0, 0.0},
                                                          {1.0, 1e3},
                                                          {1e3, 1e7},
                                                          {1e7, 0x1p31},
                                                          {0x1p31, 0x1p45},
                                                          {0x1p62, 0x1p63},
                                                          {0x1p63, 0x1p63},
                                                          {-1e3, -1.0}}};
    const double size = between(sizes[kind].first, sizes[kind].second);
    total_ = bytes(size);
  }

  std::int64_t nextCurrent() {
    const double roll = between(0.0, 1.0);
    if (roll < 0.4) return plus(current_, 255);
    if (roll < 0.6) return plus(current_, bytes(between(0.0, std::fabs(total_ / 20.0))));
    if (roll < 0.7) return current_;
    if (roll < 0.8) return total_;
    if (roll < 0.85) return plus(std::max<std::int64_t>(total_, 0), 1000);  // past the end
    if (roll < 0.9) return -bytes(between(1.0, 1e6));
    return bytes(between(0.0, std::fabs(static_cast<double>(total_))));
  }

  void switchLocale() {
    if (comma_) {
      comma_.reset();
    } else {
      comma_.emplace();
    }
  }

  void checkAtYield(int yield) {
    if (failure.empty() && atYield_[yield]) {
      compare(*atYield_[yield], "at yield " + std::to_string(yield));
    }
  }

  // Also checks that the view was told of every field that changed since the last look.
  void compare(const std::vector<Shown>& expected, const std::string& when) {
    const std::vector<Shown> shown = shownBy(form_);
    for (std::size_t i = 0; i < shown.size() && failure.empty(); ++i) {
      const Shown& now = shown[i];
      const bool told =
          !now.field || std::count(view_.changes.begin(), view_.changes.end(), *now.field) > 0;
      if (now.text != expected[i].text) {
        failure = "shows \"" + now.text + "\", the steps give \"" + expected[i].text + "\"";
      } else if (now.text != lastSeen_[i].text && !told) {
        failure = "changed from \"" + lastSeen_[i].text + "\" to \"" + now.text + "\" untold";
      }
      if (!failure.empty()) {
        failure = "seed " + std::to_string(seed_) + ", event " + std::to_string(event_) + " " +
                  when + ", " + now.name + " " + failure;
      }
    }
    lastSeen_ = shown;
    view_.changes.clear();
  }

  static std::int64_t bytes(double count) {
    return count >= 0x1p63 ? std::numeric_limits<std::int64_t>::max()
                           : static_cast<std::int64_t>(count);
  }
  static std::int64_t plus(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<std::int64_t>::max() : sum;
  }

  bool chance(double probability) { return between(0.0, 1.0) < probability; }
  double between(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random_);
  }

  std::uint64_t seed_;
  std::mt19937_64 random_;
  FakeProgramEnd programEnd_;
  form::FrmUpdate form_{programEnd_};
  FakeView view_;
  FakeClock clock_;
  ProgressDisplay display_{form_, view_, clock_};
  EagerDisplay reference_{form_};
  std::optional<CommaLocale> comma_;
  double clockSeconds_ = 0.0;
  std::int64_t total_ = 0;
  std::int64_t current_ = 0;
  int event_ = 0;
  int yieldsBefore_ = 0;
  bool readAlways_ = true;
  double readChance_ = 0.0;
  double yieldReadChance_ = 0.0;
  double minimizeChance_ = 0.0;
  double localeChance_ = 0.0;
  std::array<std::optional<std::vector<Shown>>, 6> atYield_;
  std::vector<Shown> lastSeen_ = shownBy(form_);
};

TEST(ProgressDisplayReference, ShowsWhatTheStepsGiveWheneverItIsRead) {
  const bool commaLocaleBuilt = CommaLocale().active();
  for (std::uint64_t seed = 1; seed <= 400; ++seed) {
    RandomTransfers transfers(seed, commaLocaleBuilt);
    transfers.run(static_cast<int>(seed % 300) + 1);
    ASSERT_EQ(transfers.failure, "");
  }
}

}  // namespace
}  // namespace skyhaul::window
