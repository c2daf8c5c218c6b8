#pragma once
// Files that readers take whole (a run's record, a metrics file): replaced all at once, never
// seen half-written.

#include <optional>
#include <string>
#include <string_view>

#include "platform/ErrorCode.h"

namespace skyhaul::platform {

// Puts `text` in place of the file at `path`: written to a temporary in the same folder, made
// sure on the disk, renamed over the file and the folder made sure too. A reader sees the old
// content or the new one, never a part. Success, or the code of the step that failed (the file
// then as it was).
ErrorCode replaceFileWith(const std::string& path, std::string_view text);

// The whole content of the file at `path`; nothing when it cannot be read.
std::optional<std::string> wholeFileText(const std::string& path);

}  // namespace skyhaul::platform
