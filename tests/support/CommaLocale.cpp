#include "support/CommaLocale.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace skyhaul::test {

namespace {

constexpr const char* kLocaleName = "sl_SI.UTF-8";

// Built once per test program, on first use; later switches only select it.
struct LocaleFolder {
  LocaleFolder() {
    const std::string command = "localedef -i sl_SI -f UTF-8 '" + dir.path().string() + "/" +
                                kLocaleName + "' >/dev/null 2>&1";
    // localedef may warn and still build; whether it worked shows when the locale is selected.
    (void)std::system(command.c_str());
  }
  test::TempDir dir;
};

const std::filesystem::path& localeFolder() {
  static const LocaleFolder folder;
  return folder.dir.path();
}

}  // namespace

CommaLocale::CommaLocale() {
  ::setenv("LOCPATH", localeFolder().c_str(), 1);
  active_ = std::setlocale(LC_NUMERIC, kLocaleName) != nullptr;
}

CommaLocale::~CommaLocale() {
  std::setlocale(LC_NUMERIC, "C");
  ::unsetenv("LOCPATH");
}

}  // namespace skyhaul::test
