#include "platform/inet/ftp/ListingFormats.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

#include "platform/Ascii.h"

namespace skyhaul::inet::detail {
namespace {

bool allDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), platform::isAsciiDigit);
}

std::optional<std::int64_t> readSize(std::string_view text) {
  if (!allDigits(text)) return std::nullopt;
  std::int64_t size = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), size);
  if (result.ec != std::errc()) return std::nullopt;
  return size;
}

// The whitespace-separated words of a line with their positions.
struct Word {
  std::size_t begin;
  std::size_t end;
};

std::vector<Word> splitWords(std::string_view line) {
  std::vector<Word> words;
  std::size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos == line.size()) break;
    const std::size_t begin = pos;
    while (pos < line.size() && line[pos] != ' ') ++pos;
    words.push_back({begin, pos});
  }
  return words;
}

bool isMonth(std::string_view word) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  return word.size() == 3 &&
         std::find(kMonths.begin(), kMonths.end(), platform::asciiLower(word)) != kMonths.end();
}

bool isDay(std::string_view word) { return allDigits(word) && word.size() <= 2; }

// "04:36" (this half-year) or "2020" (older).
bool isTimeOrYear(std::string_view word) {
  if (word.size() == 4 && allDigits(word)) return true;
  const auto colon = word.find(':');
  return colon != std::string_view::npos && allDigits(word.substr(0, colon)) &&
         allDigits(word.substr(colon + 1));
}

bool isUnixMode(std::string_view word) {
  if (word.size() < 10 || std::string_view("-dlbcpsD").find(word[0]) == std::string_view::npos) {
    return false;
  }
  return std::all_of(word.begin() + 1, word.begin() + 10, [](char c) {
    return std::string_view("rwxsStTlL-").find(c) != std::string_view::npos;
  });
}

// "12-08-26" or "12-08-2026".
bool isDosDate(std::string_view word) {
  return (word.size() == 8 || word.size() == 10) && word[2] == '-' && word[5] == '-' &&
         allDigits(word.substr(0, 2)) && allDigits(word.substr(3, 2)) && allDigits(word.substr(6));
}

// "04:36AM" or "16:36".
bool isDosTime(std::string_view word) {
  std::string text = platform::asciiLower(word);
  if (text.size() > 2 && (text.ends_with("am") || text.ends_with("pm"))) {
    text.resize(text.size() - 2);
  }
  return isTimeOrYear(text) && text.find(':') != std::string::npos;
}

}  // namespace

std::optional<FindData> parseMlsdLine(std::string_view line) {
  const auto space = line.find(' ');
  if (space == std::string_view::npos || space + 1 >= line.size()) return std::nullopt;
  FindData entry;
  entry.fileName = std::string(line.substr(space + 1));
  std::string_view facts = line.substr(0, space);
  while (!facts.empty()) {
    const auto semicolon = facts.find(';');
    const std::string_view fact = facts.substr(0, semicolon);
    facts = semicolon == std::string_view::npos ? std::string_view() : facts.substr(semicolon + 1);
    const auto equals = fact.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key = platform::asciiLower(fact.substr(0, equals));
    const std::string_view value = fact.substr(equals + 1);
    if (key == "type") {
      const std::string type = platform::asciiLower(value);
      if (type == "cdir" || type == "pdir") return std::nullopt;
      entry.isDirectory = type == "dir";
      entry.isLink = type.starts_with("os.unix=slink") || type.starts_with("os.unix=symlink");
    } else if (key == "size" || key == "sizd") {
      entry.fileSize = readSize(value).value_or(0);
    }
  }
  return entry;
}

std::optional<FindData> parseMlstReply(std::string_view text) {
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == ' ') return parseMlsdLine(line.substr(1));
  }
  return std::nullopt;
}

std::optional<FindData> parseUnixListLine(std::string_view line) {
  const auto words = splitWords(line);
  if (words.size() < 6) return std::nullopt;
  const auto word = [&](std::size_t i) {
    return line.substr(words[i].begin, words[i].end - words[i].begin);
  };
  if (!isUnixMode(word(0))) return std::nullopt;
  // Owner and group vary in number and form; the size, month, day and time or year do not.
  for (std::size_t i = 2; i + 3 < words.size(); ++i) {
    if (!allDigits(word(i - 1)) || !isMonth(word(i)) || !isDay(word(i + 1)) ||
        !isTimeOrYear(word(i + 2))) {
      continue;
    }
    FindData entry;
    entry.fileSize = readSize(word(i - 1)).value_or(0);
    entry.isDirectory = line[0] == 'd';
    entry.isLink = line[0] == 'l';
    std::string_view name = line.substr(words[i + 2].end + 1);
    if (line[0] == 'l') name = name.substr(0, name.find(" -> "));
    if (name.empty()) return std::nullopt;
    entry.fileName = std::string(name);
    return entry;
  }
  return std::nullopt;
}

std::optional<FindData> parseDosListLine(std::string_view line) {
  const auto words = splitWords(line);
  if (words.size() < 4) return std::nullopt;
  const auto word = [&](std::size_t i) {
    return line.substr(words[i].begin, words[i].end - words[i].begin);
  };
  if (!isDosDate(word(0)) || !isDosTime(word(1))) return std::nullopt;
  FindData entry;
  std::size_t nameStart = words[2].end + 1;
  if (platform::asciiLower(word(2)) == "<dir>") {
    entry.isDirectory = true;
    nameStart = words[3].begin;  // the column after <DIR> is padded
  } else {
    const auto size = readSize(word(2));
    if (!size) return std::nullopt;
    entry.fileSize = *size;
  }
  if (nameStart >= line.size()) return std::nullopt;
  entry.fileName = std::string(line.substr(nameStart));
  return entry;
}

std::optional<FindData> parseListLine(std::string_view line) {
  if (auto entry = parseUnixListLine(line)) return entry;
  return parseDosListLine(line);
}

}  // namespace skyhaul::inet::detail
