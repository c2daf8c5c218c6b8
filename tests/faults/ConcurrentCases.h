#pragma once
// A table of end-to-end cases run at the same time. Each run spends nearly all its time in
// the program's fixed waits, so the rows of a table cost the time of the slowest row, not
// their sum.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "faults/Scene.h"

namespace skyhaul::test {

struct Case {
  std::string name;
  // Sets up the scene (files, settings, faults) and returns the job command's arguments.
  std::function<std::vector<std::string>(Scene&)> prepare;
  // Checks the outcome with gtest expectations.
  std::function<void(Scene&, const RunOutcome&)> check;
  RunOptions options = {};
  FtpServerOptions server = {};
};

// Prepares every case in a scene of its own, starts all programs, waits for each, then checks
// each under its name. A run that does not end in its limit fails its case as a hang.
void runConcurrently(const std::vector<Case>& cases);

}  // namespace skyhaul::test
