#pragma once
// The hidden temporaries a new version of a file is written under before it takes its name.
// Each has a fresh random name of fixed length, so that it always fits in a folder whatever the
// file's own name, and nobody can guess it ahead of the run; no transferred name may have that
// form, so a temporary is never taken for a file, nor a file for a temporary.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ErrorCode.h"

namespace skyhaul::platform {

// ".skyhaul-" + 16 random hexadecimal digits + ".part".
std::string newPartFileName();

// Whether `name` (a bare name) has the form of a temporary.
bool isPartFileName(std::string_view name);

// A new temporary in `folder` ("" for the working folder), created empty and locked while its
// writer lives: the descriptor, or -1 with the failure's code in `error`. `path` receives where
// it lies. It has the mode of the file it replaces (`replaced`), else the usual one for a new
// file.
int createPartFile(const std::string& folder, std::optional<mode_t> replaced, std::string& path,
                   ErrorCode& error);

// The extended attribute that records what a kept temporary is part of.
inline constexpr const char* kPartOrigin = "user.skyhaul.origin";

// The temporaries in `folder` that runs of this user kept (LocalTarget::keep) and that nobody
// holds now, each with its recorded origin.
struct KeptPart {
  std::string path;
  std::string origin;
};
std::vector<KeptPart> keptPartFiles(const std::string& folder);

// Removes the temporaries in `folder` that runs of this user left when they ended before
// their file was complete; one that another run still writes, or that is not provably one of
// ours (another owner, another kind of file, several names), is left alone. So is a part that
// records its origin, for a later run to take up, unless it has lain untouched for a week.
void removeLeftoverPartFiles(const std::string& folder);

}  // namespace skyhaul::platform
