#include "faults/Expectations.h"

#include <chrono>
#include <thread>

#include "support/TempDir.h"

namespace skyhaul::test {

Snapshot snapshot(const std::filesystem::path& folder) {
  Snapshot result{folder, {}};
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      result.files[entry.path().filename().string()] = readFile(entry.path());
    }
  }
  return result;
}

std::vector<std::string> expectNothingLost(const Snapshot& before,
                                           const std::filesystem::path& copies) {
  std::vector<std::string> moved;
  for (const auto& [name, bytes] : before.files) {
    const auto source = before.folder / name;
    if (std::filesystem::exists(source)) {
      EXPECT_TRUE(readFile(source) == bytes) << "the source " << source << " changed";
      continue;
    }
    moved.push_back(name);
    const auto copy = copies / name;
    if (!std::filesystem::is_regular_file(copy)) {
      ADD_FAILURE() << "the source " << source << " was deleted and has no copy";
    } else {
      EXPECT_TRUE(readFile(copy) == bytes)
          << "the source " << source << " was deleted but its copy differs";
    }
  }
  return moved;
}

::testing::AssertionResult isAbsentOrPrefixOf(const std::filesystem::path& path,
                                              const std::string& source) {
  if (!std::filesystem::exists(path)) return ::testing::AssertionSuccess();
  const std::string bytes = readFile(path);
  if (bytes.size() <= source.size() && source.compare(0, bytes.size(), bytes) == 0) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << path << " holds " << bytes.size() << " bytes that the source does not begin with";
}

std::vector<std::string> statusesOf(const std::string& errors, const std::string& file) {
  const std::string prefix = file + ": ";
  std::vector<std::string> statuses;
  for (std::size_t at = 0; at < errors.size();) {
    auto end = errors.find('\n', at);
    if (end == std::string::npos) end = errors.size();
    std::string line = errors.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with(prefix)) statuses.push_back(line.substr(prefix.size()));
    at = end + 1;
  }
  return statuses;
}

bool holdsStatus(const RunOutcome& outcome, const std::string& file, const std::string& part) {
  for (const auto& status : statusesOf(outcome.errors, file)) {
    if (status.find(part) != std::string::npos) return true;
  }
  return false;
}

std::vector<std::string> recoveredStatuses(const char* working, const std::string& error) {
  return {working, error, working, kDone};
}

std::vector<std::string> failedStatuses(const char* working, const std::string& error,
                                        const char* finalPrefix) {
  return {working, error, working, error, working, finalPrefix + error};
}

}  // namespace skyhaul::test
