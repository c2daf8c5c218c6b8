#include "settings/IniContents.h"

#include <algorithm>
#include <fstream>
#include <string_view>

#include "settings/IniLine.h"

namespace skyhaul::settings {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Calls `visit` with each line's parse and number, as ReadIni sees the lines.
template <typename Visit>
void forEachLine(const std::string& file, Visit visit) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::string_view text = line;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (number == 1 && text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    visit(parseIniLine(text), number);
  }
}

}  // namespace

std::vector<IniKey> SectionKeys(const std::string& section, const std::string& file) {
  std::vector<IniKey> keys;
  bool inSection = false;
  forEachLine(file, [&](const IniLine& parsed, int number) {
    if (parsed.kind == IniLine::Kind::Section) inSection = sameName(parsed.name, section);
    if (inSection && parsed.kind == IniLine::Kind::Pair) {
      keys.push_back({std::string(parsed.name), number});
    }
  });
  return keys;
}

std::vector<std::string> SectionNames(const std::string& file) {
  std::vector<std::string> names;
  forEachLine(file, [&](const IniLine& parsed, int) {
    if (parsed.kind != IniLine::Kind::Section) return;
    const auto same = [&](const std::string& name) { return sameName(name, parsed.name); };
    if (std::none_of(names.begin(), names.end(), same)) names.emplace_back(parsed.name);
  });
  return names;
}

// Optimal string alignment over the folded names' bytes; the names are short.
int nameDistance(const std::string& a, const std::string& b) {
  const std::string x = foldedName(a);
  const std::string y = foldedName(b);
  std::vector<std::vector<int>> d(x.size() + 1, std::vector<int>(y.size() + 1));
  for (std::size_t i = 0; i <= x.size(); ++i) d[i][0] = static_cast<int>(i);
  for (std::size_t j = 0; j <= y.size(); ++j) d[0][j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= x.size(); ++i) {
    for (std::size_t j = 1; j <= y.size(); ++j) {
      const int cost = x[i - 1] == y[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[x.size()][y.size()];
}

bool resemblesName(const std::string& typed, const std::string& known) {
  constexpr std::size_t kShortName = 4;
  const int allowed = known.size() <= kShortName ? 1 : 2;
  return nameDistance(typed, known) <= allowed;
}

}  // namespace skyhaul::settings
