#pragma once
// The library's vocabulary, shared by its public interface (RemoteSession.h) and the steps
// inside it: what a transfer is, what a listing holds, how long a wait may be.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/PathParts.h"

namespace skyhaul::inet {

enum class TransferType { Ascii = 1, Binary = 2 };
enum class FileAccess { Read, Write };

// The part of a listed name after its last "/" (servers differ on listing paths or names).
inline std::string bareName(std::string_view name) { return platform::nameOf(name); }

// One entry of a remote listing.
struct FindData {
  std::string fileName;  // bare name as the server sent it, bytes unchanged
  std::int64_t fileSize = 0;
  bool isDirectory = false;
  bool isLink = false;  // listed as a symbolic link: whether it names a file is not known
};

// The bounds of every listing, whatever the protocol: no folder this program is meant for lists
// more; a listing beyond either bound is a server gone wrong (or hostile), and reading on would
// only fill the memory.
inline constexpr std::size_t kMaxListingBytes = 32 * 1024 * 1024;
inline constexpr std::size_t kMaxListingEntries = 250000;

// Bounds on every wait of the library. Tests shorten them.
struct Timeouts {
  std::chrono::milliseconds connect{60000};
  std::chrono::milliseconds reply{60000};
  std::chrono::milliseconds data{60000};
};

// The timeouts given to sessions opened from now on (process-wide default).
void setDefaultTimeouts(const Timeouts& timeouts);
Timeouts defaultTimeouts();

}  // namespace skyhaul::inet
