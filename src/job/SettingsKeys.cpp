#include "job/SettingsKeys.h"

#include <string_view>
#include <vector>

#include "job/Job.h"
#include "settings/IniContents.h"
#include "settings/IniLine.h"

namespace skyhaul::job {

namespace {

struct KnownKey {
  KeyPlace place;
  std::string_view name;
  bool numbered;  // read as name1 .. name20
};

constexpr KnownKey kKnownKeys[] = {
    {KeyPlace::Program, "IZBRANO", false},
    {KeyPlace::Connection, "FTPURL", false},
    {KeyPlace::Connection, "ftpdir", false},
    {KeyPlace::Connection, "localdir", false},
    {KeyPlace::Connection, "uporabnik", false},
    {KeyPlace::Connection, "geslo", false},
    {KeyPlace::Connection, "certifikat", false},
    {KeyPlace::Connection, "zacasno", false},
    {KeyPlace::Connection, "kontrolnevsote", false},
    {KeyPlace::Connection, "kljuc", false},
    {KeyPlace::Connection, "znanigostitelji", false},
    {KeyPlace::Connection, "starost", false},
    {KeyPlace::Connection, "json", false},
    {KeyPlace::Connection, "metrike", false},
    {KeyPlace::Connection, "dnevnik", false},
    {KeyPlace::Connection, "prenos", true},
    {KeyPlace::Connection, "run", true},
};

// Every key name of that place as the job reads it, numbers spelled out.
std::vector<std::string> keyNames(KeyPlace place) {
  std::vector<std::string> names;
  for (const KnownKey& key : kKnownKeys) {
    if (key.place != place) continue;
    if (!key.numbered) {
      names.emplace_back(key.name);
      continue;
    }
    for (int i = 1; i <= kStoredEntries; ++i)
      names.push_back(std::string(key.name) + std::to_string(i));
  }
  return names;
}

}  // namespace

bool isKnownKey(KeyPlace place, const std::string& key) {
  for (const std::string& name : keyNames(place)) {
    if (settings::sameName(name, key)) return true;
  }
  return false;
}

// A numbered key out of range (prenos21, run07) is told the range; among other equally close
// keys the one of the same length wins.
std::string resemblingKey(KeyPlace place, const std::string& key) {
  for (const KnownKey& known : kKnownKeys) {
    if (known.place != place || !known.numbered || key.size() <= known.name.size()) continue;
    const std::string digits = key.substr(known.name.size());
    if (settings::sameName(key.substr(0, known.name.size()), known.name) &&
        digits.find_first_not_of("0123456789") == std::string::npos) {
      return std::string(known.name) + "1.." + std::string(known.name) +
             std::to_string(kStoredEntries);
    }
  }
  std::string closest;
  int best = 0;
  for (const std::string& name : keyNames(place)) {
    const int lengths = static_cast<int>(name.size() > key.size() ? name.size() - key.size()
                                                                  : key.size() - name.size());
    const int distance = 2 * settings::nameDistance(key, name) + (lengths > 0 ? 1 : 0);
    if (settings::resemblesName(key, name) && (closest.empty() || distance < best)) {
      closest = name;
      best = distance;
    }
  }
  return closest;
}

}  // namespace skyhaul::job
