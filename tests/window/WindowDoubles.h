#pragma once
// A view for the window's logic tests: counts yields, can run a test's action at each yield,
// claims to be minimised when told, and records every field change in order.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "form/View.h"

namespace skyhaul::window {

class FakeView final : public form::View {
 public:
  void yield() override {
    ++yields;
    if (onYield) onYield(yields);
  }
  bool isMinimized() const override { return minimized; }
  std::string inputBox(const std::string& /*prompt*/, const std::string& /*title*/) override {
    return {};
  }
  void reportUnhandledError(const std::string& message) override { errors.push_back(message); }
  void notice(const std::string& line) override { notices.push_back(line); }
  void fieldChanged(form::FieldId field) override { changes.push_back(field); }

  int yields = 0;
  bool minimized = false;
  std::function<void(int)> onYield;  // called with the number of the yield, from 1
  std::vector<form::FieldId> changes;
  std::vector<std::string> errors;
  std::vector<std::string> notices;
};

}  // namespace skyhaul::window
