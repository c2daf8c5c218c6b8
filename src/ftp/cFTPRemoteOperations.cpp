// The operations of cFTP that act on the server without streaming a file.
#include "ftp/cFTP.h"

#include "platform/PathParts.h"

namespace skyhaul::ftp {

using inet::bareName;

std::string cFTP::GetFTPdir(const std::string& sFile) {
  if (!connected()) return {};
  inet::FindData entry;
  std::unique_ptr<inet::RemoteFind> find;
  if (!hConnection->findFirstFile(sFile, entry, find)) return {};
  std::string listing = bareName(entry.fileName);
  while (find->findNextFile(entry)) {
    listing += ',';
    listing += bareName(entry.fileName);
  }
  return listing;
}

bool cFTP::GetFTPFileNames(const std::string& sFile, std::vector<std::string>& names) {
  names.clear();
  inet::FindData entry;
  std::unique_ptr<inet::RemoteFind> find;
  const inet::Status found =
      connected() ? hConnection->findFirstFile(sFile, entry, find) : notConnected();
  if (!found) {
    if (found.code() == platform::ErrorCode::NoMoreFiles) return true;
    // A folder that is missing or unreadable: the server's own reply says which and why.
    RecordErrorMessage(found.code() == platform::ErrorCode::FtpFolderMissing
                           ? inet::Status(platform::ErrorCode::InternetExtendedError)
                                 .withServerText(found.serverText())
                           : found,
                       "FtpFindFirstFile");
    return false;
  }
  const std::string folder = platform::folderPrefixOf(sFile);
  listedLinks_.clear();
  do {
    if (entry.isDirectory || (entry.isLink && !namesFile(folder + entry.fileName))) continue;
    if (entry.isLink) listedLinks_.insert(folder + entry.fileName);
    names.push_back(entry.fileName);  // uncut: a name holding "/" is the job's to leave out
  } while (find->findNextFile(entry));
  return true;
}

// A listed link may name a folder: only the server can tell, by giving its size.
bool cFTP::namesFile(const std::string& sRemote) {
  std::optional<std::int64_t> size;
  return static_cast<bool>(hConnection->reportStoredSize(sRemote, size));
}

// A listed link shows the link's own size (vsftpd in LIST, pure-ftpd in MLST and MLSD, proftpd in
// MLSD and, calling it a file, in MLST): the file it names is sized by the server, where it will.
std::int64_t cFTP::linkedFileSize(const std::string& sRemote, std::int64_t listed) {
  std::optional<std::int64_t> size;
  if (!hConnection->reportStoredSize(sRemote, size)) return listed;
  return size.value_or(listed);
}

std::int64_t cFTP::GetFTPFileSize(const std::string& sFile) {
  inet::FindData entry;
  std::unique_ptr<inet::RemoteFind> find;
  const inet::Status found =
      connected() ? hConnection->findFirstFile(sFile, entry, find) : notConnected();
  if (found && (entry.isLink || listedLinks_.contains(sFile))) {
    return linkedFileSize(sFile, entry.fileSize);
  }
  if (found) return entry.fileSize;
  // Nothing by that mask exists when its folder does not (SFTP says so with its own status).
  if (found.code() == platform::ErrorCode::NoMoreFiles ||
      found.code() == platform::ErrorCode::FtpFolderMissing ||
      found.code() == platform::ErrorCode::SftpNoSuchFile) {
    return -1;
  }
  RecordErrorMessage(found, "FtpFindFirstFile");
  return -2;
}

std::int64_t cFTP::GetRemoteFileSize(const std::string& sRemote) {
  inet::FindData entry;
  const inet::Status found = connected() ? hConnection->findFile(sRemote, entry) : notConnected();
  if (found) return entry.fileSize;
  const platform::ErrorCode code = found.code();
  if (code == platform::ErrorCode::NoMoreFiles || code == platform::ErrorCode::FtpFolderMissing ||
      code == platform::ErrorCode::SftpNoSuchFile) {
    return -1;
  }
  RecordErrorMessage(found, "FtpFindFirstFile");
  return -2;
}

std::string cFTP::GetRemoteFileTime(const std::string& sRemote) {
  std::string stamp;
  const inet::Status asked =
      connected() ? hConnection->modificationTime(sRemote, stamp) : notConnected();
  if (asked) return stamp;
  RecordErrorMessage(asked, "GetRemoteFileTime");
  return {};
}

std::string cFTP::GetFTPDirectory() {
  std::string directory;
  const inet::Status asked =
      connected() ? hConnection->getCurrentDirectory(directory) : notConnected();
  if (asked) return directory;
  RecordErrorMessage(asked, "FtpGetCurrentDirectory");
  return {};
}

bool cFTP::SetFTPDirectory(const std::string& sDir) {
  return succeeded(connected() ? hConnection->setCurrentDirectory(sDir) : notConnected(),
                   "FtpSetCurrentDirectory");
}

bool cFTP::DeleteFTPFile(const std::string& sRemote) {
  return succeeded(connected() ? hConnection->deleteFile(sRemote) : notConnected(),
                   "DeleteFTPFile");
}

bool cFTP::RenameFTPFile(const std::string& sExisting, const std::string& sNewName) {
  return succeeded(connected() ? hConnection->renameFile(sExisting, sNewName) : notConnected(),
                   "RenameFTPFile");
}

bool cFTP::CreateFTPDirectory(const std::string& sDirectory) {
  return succeeded(connected() ? hConnection->createDirectory(sDirectory) : notConnected(),
                   "CreateFTPDirectory");
}

bool cFTP::RemoveFTPDirectory(const std::string& sDirectory) {
  return succeeded(connected() ? hConnection->removeDirectory(sDirectory) : notConnected(),
                   "RemoveFTPDirectory");
}

bool cFTP::SimpleFTPPutFile(const std::string& sLocal, const std::string& sRemote) {
  return succeeded(
      connected() ? hConnection->putFile(sLocal, sRemote, transferType()) : notConnected(),
      "SimpleFtpPutFile");
}

bool cFTP::SimpleFTPGetFile(const std::string& sLocal, const std::string& sRemote) {
  return succeeded(
      connected() ? hConnection->getFile(sRemote, sLocal, transferType()) : notConnected(),
      "SimpleFtpGetFile");
}

}  // namespace skyhaul::ftp
