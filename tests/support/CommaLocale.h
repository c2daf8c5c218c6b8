#pragma once
// A locale whose decimal separator is a comma (Slovenian), built for the test run from the
// system's locale sources, since a fresh machine has none compiled.

namespace skyhaul::test {

// Switches LC_NUMERIC to the comma locale while it lives; back to "C" afterwards.
class CommaLocale {
 public:
  CommaLocale();
  ~CommaLocale();
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  // False when the locale could not be built here (no locale sources installed).
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

}  // namespace skyhaul::test
