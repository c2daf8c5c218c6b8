#include "job/NameQueue.h"

#include <utility>

namespace skyhaul::job {

void NameQueue::assign(std::vector<std::string> names) {
  names_ = std::move(names);
  next_ = shown_ = 0;
}

// A copy: the field shows the name until the next show().
std::string NameQueue::pop() { return names_.at(next_++); }

void NameQueue::writeText(form::FieldId /*field*/, std::string& text) const {
  for (std::size_t i = shown_; i < names_.size(); ++i) {
    if (i > shown_) text += ',';
    text += names_[i];
  }
}

}  // namespace skyhaul::job
