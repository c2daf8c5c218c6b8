#include "settings/ReadIni.h"

#include <fstream>
#include <string_view>

#include "settings/Filled.h"
#include "settings/IniLine.h"

namespace skyhaul::settings {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Drops what the line reader leaves of a CR LF line end and, on the first line, a UTF-8
// byte-order mark, which would otherwise hide the first section header.
std::string_view lineText(std::string_view line, bool first) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (first && line.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    line.remove_prefix(kByteOrderMark.size());
  }
  return line;
}

}  // namespace

// The file is read afresh on every call and left as soon as the key is found, so the first
// occurrence in file order wins, also across repeated headers of the same section.
std::string ReadIni(const std::string& section, const std::string& key, const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  bool inSection = false;
  for (bool first = true; std::getline(in, line); first = false) {
    const IniLine parsed = parseIniLine(lineText(line, first));
    if (parsed.kind == IniLine::Kind::Section) {
      inSection = sameName(parsed.name, section);
    } else if (inSection && parsed.kind == IniLine::Kind::Pair && sameName(parsed.name, key)) {
      return iniValue(parsed.value);
    }
  }
  return {};
}

}  // namespace skyhaul::settings

namespace skyhaul::settings {

bool AnySectionHolds(const std::string& key, const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  bool inSection = false;
  for (bool first = true; std::getline(in, line); first = false) {
    const IniLine parsed = parseIniLine(lineText(line, first));
    if (parsed.kind == IniLine::Kind::Section) inSection = true;
    if (inSection && parsed.kind == IniLine::Kind::Pair && sameName(parsed.name, key) &&
        IsFilled(iniValue(parsed.value))) {
      return true;
    }
  }
  return false;
}

}  // namespace skyhaul::settings
