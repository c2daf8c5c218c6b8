#include "platform/inet/ftp/Listing.h"

#include <array>
#include <optional>
#include <utility>

#include "platform/Wildcard.h"
#include "platform/inet/ftp/DataConnection.h"
#include "platform/inet/ftp/ListingFormats.h"
#include "platform/inet/ftp/Lookup.h"

namespace skyhaul::inet::detail {
namespace {

// Replies that mean "no such directory" to a listing command.
bool isMissingDirectory(int code, bool mlsd) {
  return code == 450 || code == 550 || (mlsd && code == 501);
}

bool matches(const std::string& pattern, const std::string& name) {
  if (pattern.empty()) return true;
  return platform::hasWildcards(pattern) ? platform::matchesWildcard(pattern, name)
                                         : pattern == name;
}

std::optional<FindData> parseLine(std::string_view line, bool mlsd) {
  return mlsd ? parseMlsdLine(line) : parseListLine(line);
}

// Lines are taken from the front of what arrived by position, so that a listing costs time in
// proportion to its length however many entries it has.
void parseLines(std::string& pending, bool mlsd, std::vector<FindData>& entries) {
  std::size_t start = 0;
  for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
    std::string_view line(pending.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (auto entry = parseLine(line, mlsd)) entries.push_back(std::move(*entry));
    start = end + 1;
  }
  pending.erase(0, start);
}

Status readListing(DataStream& stream, bool mlsd, std::vector<FindData>& entries) {
  std::string pending;
  std::array<char, 16384> chunk;
  std::size_t total = 0;
  Status outcome;
  while (true) {
    std::size_t got = 0;
    outcome = stream.read(chunk.data(), chunk.size(), got);
    total += got;
    if (total > kMaxListingBytes || entries.size() > kMaxListingEntries) {
      entries.clear();
      return ErrorCode::ListingTooLong;
    }
    pending.append(chunk.data(), got);  // bytes that came before a failure count too
    parseLines(pending, mlsd, entries);
    if (!outcome || got == 0) break;
  }
  // A last line without its line end counts only when the data ended properly.
  if (outcome && !pending.empty()) {
    if (auto entry = parseLine(pending, mlsd)) entries.push_back(std::move(*entry));
  }
  return outcome;
}

// vsftpd and pure-ftpd list a folder that is not there as an empty one: an empty listing is
// taken only once the folder is found there too. Going into it and back costs three replies,
// only for an empty listing; a folder one may not go into counts as missing, as a refused
// listing would.
Status confirmFolder(Connection& connection, const std::string& directory) {
  Reply reply;
  if (const Status asked = connection.simpleCommand("PWD", 2, &reply); !asked) {
    return asked.code() == ErrorCode::InternetExtendedError ? Status() : asked;
  }
  const auto current = parsePwdReply(reply.text);
  if (!current) return {};  // where to come back to is unknown: the listing stands
  connection.setInRoot(false);
  if (const Status entered = connection.simpleCommand("CWD " + directory, 2); !entered) {
    return entered.code() == ErrorCode::InternetExtendedError ? ErrorCode::FtpFolderMissing
                                                              : entered;
  }
  const Status back = connection.simpleCommand("CWD " + *current, 2);
  if (!back && back.code() == ErrorCode::InternetExtendedError) connection.control().drop();
  return back;
}

}  // namespace

Status fetchListing(Connection& connection, const std::string& directory,
                    std::vector<FindData>& entries) {
  const bool mlsd = connection.features().mlst;
  std::string command = mlsd ? "MLSD" : "LIST";
  if (!directory.empty()) command += " " + directory;
  std::optional<DataStream> stream;
  if (const Status started = startTransfer(connection, command, stream); !started) {
    const bool missing = started.code() == ErrorCode::InternetExtendedError &&
                         isMissingDirectory(connection.control().lastReply().code, mlsd);
    return missing ? ErrorCode::FtpFolderMissing : started;
  }
  const Status read = readListing(*stream, mlsd, entries);
  stream->finish();
  // Where the server stands is unknown after either; one that never stops sending may not
  // even answer.
  if (read.code() == ErrorCode::InternetTimeout || read.code() == ErrorCode::ListingTooLong) {
    connection.control().drop();
  }
  if (read.code() == ErrorCode::ListingTooLong) return read;
  // The final reply keeps the connection in step; the entries read stand whatever it says.
  (void)finishTransfer(connection);
  if (!read && entries.empty()) return read;
  if (entries.empty() && !directory.empty()) return confirmFolder(connection, directory);
  return {};
}

Status findMatches(Connection& connection, const std::string& mask, std::vector<FindData>& found) {
  const platform::MaskParts parts = platform::splitMask(mask);
  FindData single;
  bool answered = false;
  if (const Status asked = lookUpSingleName(connection, mask, parts.pattern, single, answered);
      !asked) {
    return asked;
  }
  if (answered) {
    found = {std::move(single)};
    return {};
  }
  std::vector<FindData> listed;
  if (const Status fetched = fetchListing(connection, parts.directory, listed); !fetched) {
    return fetched;
  }
  for (auto& entry : listed) {
    entry.fileName = bareName(entry.fileName);
    if (matches(parts.pattern, entry.fileName)) found.push_back(std::move(entry));
  }
  return found.empty() ? ErrorCode::NoMoreFiles : Status();
}

// A name the listing gave is data: "x?.csv" names that file, never "x1.csv" beside it.
Status findEntry(Connection& connection, const std::string& path, FindData& entry) {
  const platform::MaskParts parts = platform::splitMask(path);
  bool answered = false;
  if (const Status asked = lookUpListedName(connection, path, parts.pattern, entry, answered);
      !asked || answered) {
    return asked;
  }
  std::vector<FindData> listed;
  if (const Status fetched = fetchListing(connection, parts.directory, listed); !fetched) {
    return fetched;
  }
  for (auto& candidate : listed) {
    if (parts.pattern.empty() || bareName(candidate.fileName) != parts.pattern) continue;
    entry = std::move(candidate);
    entry.fileName = parts.pattern;
    return {};
  }
  return ErrorCode::NoMoreFiles;
}

}  // namespace skyhaul::inet::detail
