#include "job/TransferLog.h"

#include <utility>

#include "platform/DateTimeText.h"
#include "platform/LocalDirectory.h"

namespace skyhaul::job {

namespace {

constexpr const char* kArrow = "----->";

}  // namespace

TransferLog::TransferLog(platform::Clock& clock, std::string path)
    : clock_(clock), path_(std::move(path)) {}

void TransferLog::appendSuccess(const std::string& source, const std::string& target) {
  appendLine(platform::defaultDateTimeText(clock_.now()) + " " + source + kArrow + target);
}

void TransferLog::appendFailure(const std::string& source, const std::string& target,
                                const std::string& error) {
  appendLine("NAPAKA" + platform::defaultDateTimeText(clock_.now()) + " " + source + kArrow +
             target + " " + error);
}

// One write of the whole line, so lines from two runs sharing a log never interleave.
void TransferLog::appendLine(const std::string& line) {
  platform::appendToFile(path_, line + "\r\n",
                         "Dnevnika prenosov \"" + path_ + "\" ni mogoče pisati");
}

}  // namespace skyhaul::job
