#include "platform/inet/ftp/Lookup.h"

#include <utility>

#include "platform/Wildcard.h"
#include "platform/inet/ftp/ListingFormats.h"

namespace skyhaul::inet::detail {
namespace {

constexpr int kFileStatus = 213;

// MLST asks for just that entry; only an answer naming exactly it is taken.
Status askMlst(Connection& connection, const std::string& path, const std::string& name,
               FindData& entry, bool& answered) {
  Reply reply;
  if (const Status sent = connection.mlst(path, reply); !sent) return sent;
  if (!reply.isCompletion()) return {};
  auto found = parseMlstReply(reply.text);
  if (!found) return {};
  found->fileName = bareName(found->fileName);
  if (found->fileName != name) return {};
  entry = std::move(*found);
  answered = true;
  return {};
}

// SIZE asks for just that file's size; a folder, or a server that will not tell in the present
// type, answers 550.
Status askSize(Connection& connection, const std::string& path, const std::string& name,
               FindData& entry, bool& answered) {
  Reply reply;
  if (const Status sent = connection.control().command("SIZE " + path, reply); !sent) return sent;
  const auto size = parseSizeReply(reply.text);
  if (reply.code != kFileStatus || !size) return {};
  entry = FindData{.fileName = name, .fileSize = *size, .isDirectory = false};
  answered = true;
  return {};
}

}  // namespace

// One plain name costs a listing of its whole folder over a data connection; asked alone, it
// costs one reply. A refusal, whatever its reason, is left to the listing, so the result stays
// what the listing gives.
Status lookUpSingleName(Connection& connection, const std::string& path, const std::string& name,
                        FindData& entry, bool& answered) {
  answered = false;
  if (platform::hasWildcards(name)) return {};
  return lookUpListedName(connection, path, name, entry, answered);
}

Status lookUpListedName(Connection& connection, const std::string& path, const std::string& name,
                        FindData& entry, bool& answered) {
  answered = false;
  if (name.empty() || name == "." || name == "..") return {};
  if (connection.features().mlst) return askMlst(connection, path, name, entry, answered);
  if (!connection.features().size) return {};
  // In a server's default ASCII type SIZE is refused and the whole folder would be listed
  // instead; the files move in binary type anyway, so it is sent now rather than later.
  if (connection.typeSent() == 0) {
    const Status typed = connection.setType(TransferType::Binary);
    if (!typed && typed.code() != ErrorCode::InternetExtendedError) return typed;
  }
  return askSize(connection, path, name, entry, answered);
}

Status reportStoredSize(Connection& connection, const std::string& path,
                        std::optional<std::int64_t>& size) {
  const std::string name = bareName(path);
  const Features& features = connection.features();
  bool offered = false;
  bool answered = false;
  FindData entry;
  // Before the first transfer no type was sent, and a server's own default is ASCII, in which
  // proftpd and pyftpdlib refuse SIZE: a link listed ahead of the first file must be sized too.
  if (features.size && connection.typeSent() == 0) {
    const Status typed = connection.setType(TransferType::Binary);
    if (!typed && typed.code() != ErrorCode::InternetExtendedError) return typed;
  }
  if (features.size && connection.typeSent() == 'I') {
    offered = true;
    if (const Status asked = askSize(connection, path, name, entry, answered); !asked) {
      return asked;
    }
  }
  if (!answered && features.mlst) {
    offered = true;
    if (const Status asked = askMlst(connection, path, name, entry, answered); !asked) {
      return asked;
    }
    // A link's entry gives the link's own size (pure-ftpd), never that of what it names.
    answered = answered && !entry.isDirectory && !entry.isLink;
  }
  if (answered) size = entry.fileSize;
  return answered || !offered ? Status() : ErrorCode::StoredSizeUnknown;
}

}  // namespace skyhaul::inet::detail
