#include "faults/ConcurrentCases.h"

#include <gtest/gtest.h>

namespace skyhaul::test {

void runConcurrently(const std::vector<Case>& cases) {
  std::vector<std::unique_ptr<Scene>> scenes;
  std::vector<std::unique_ptr<SkyhaulProcess>> runs;
  for (const Case& c : cases) {
    scenes.push_back(std::make_unique<Scene>(c.server));
    const auto arguments = c.prepare(*scenes.back());
    runs.push_back(scenes.back()->start(arguments, c.options));
  }
  std::vector<RunOutcome> outcomes;
  for (auto& run : runs) outcomes.push_back(run->finish());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + cases[i].name);
    EXPECT_FALSE(outcomes[i].hung) << "the program did not end; it wrote:\n" << outcomes[i].errors;
    if (!outcomes[i].hung) cases[i].check(*scenes[i], outcomes[i]);
  }
}

}  // namespace skyhaul::test
