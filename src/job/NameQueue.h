#pragma once
// The queue of one transfer command: the names exactly as the folder or the listing gave them,
// in transfer order. The window's queue field shows the names still to come joined with ",",
// written only when somebody reads it; nothing parses that text back, so no name is ever split,
// trimmed or unquoted on its way to the transfer.

#include <cstddef>
#include <string>
#include <vector>

#include "form/Fields.h"

namespace skyhaul::job {

class NameQueue final : public form::TextSource {
 public:
  void assign(std::vector<std::string> names);
  bool empty() const { return next_ == names_.size(); }
  // Takes the first name off the queue.
  std::string pop();
  // From now on the field shows the names that are still in the queue.
  void show() { shown_ = next_; }
  void writeText(form::FieldId field, std::string& text) const override;

 private:
  std::vector<std::string> names_;
  std::size_t next_ = 0;
  std::size_t shown_ = 0;
};

}  // namespace skyhaul::job
