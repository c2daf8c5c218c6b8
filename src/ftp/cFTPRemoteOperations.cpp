// The operations of cFTP that act on the server without streaming a file.
#include "ftp/cFTP.h"

#include "platform/PathParts.h"

namespace skyhaul::ftp {

using inet::bareName;

std::string cFTP::GetFTPdir(const std::string& sFile) {
  if (!connected()) return {};
  inet::FindData entry;
  auto find = hConnection->findFirstFile(sFile, entry);
  if (!find) return {};
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
  if (connected()) find = hConnection->findFirstFile(sFile, entry);
  if (!find) {
    const platform::ErrorCode code = failure();
    if (code == platform::ErrorCode::NoMoreFiles) return true;
    // A folder that is missing or unreadable: the server's own reply says which and why.
    RecordErrorMessage(code == platform::ErrorCode::FtpFolderMissing
                           ? platform::ErrorCode::InternetExtendedError
                           : code,
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
  std::int64_t size = 0;
  return hConnection->reportStoredSize(sRemote, size) != inet::RemoteSession::SizeReport::Refused;
}

// A listed link shows the link's own size (vsftpd in LIST, pure-ftpd in MLST and MLSD, proftpd in
// MLSD and, calling it a file, in MLST): the file it names is sized by the server, where it will.
std::int64_t cFTP::linkedFileSize(const std::string& sRemote, std::int64_t listed) {
  std::int64_t size = 0;
  const auto report = hConnection->reportStoredSize(sRemote, size);
  return report == inet::RemoteSession::SizeReport::Reported ? size : listed;
}

std::int64_t cFTP::GetFTPFileSize(const std::string& sFile) {
  inet::FindData entry;
  std::unique_ptr<inet::RemoteFind> find;
  if (connected()) find = hConnection->findFirstFile(sFile, entry);
  const platform::ErrorCode code = failure();
  if (find && (entry.isLink || listedLinks_.contains(sFile))) {
    return linkedFileSize(sFile, entry.fileSize);
  }
  if (find) return entry.fileSize;
  // Nothing by that mask exists when its folder does not (SFTP says so with its own status).
  if (code == platform::ErrorCode::NoMoreFiles || code == platform::ErrorCode::FtpFolderMissing ||
      code == platform::ErrorCode::SftpNoSuchFile) {
    return -1;
  }
  RecordErrorMessage(code, "FtpFindFirstFile");
  return -2;
}

std::int64_t cFTP::GetRemoteFileSize(const std::string& sRemote) {
  inet::FindData entry;
  if (connected() && hConnection->findFile(sRemote, entry)) return entry.fileSize;
  const platform::ErrorCode code = failure();
  if (code == platform::ErrorCode::NoMoreFiles || code == platform::ErrorCode::FtpFolderMissing ||
      code == platform::ErrorCode::SftpNoSuchFile) {
    return -1;
  }
  RecordErrorMessage(code, "FtpFindFirstFile");
  return -2;
}

std::string cFTP::GetRemoteFileTime(const std::string& sRemote) {
  std::string stamp;
  if (connected() && hConnection->modificationTime(sRemote, stamp)) return stamp;
  RecordErrorMessage(failure(), "GetRemoteFileTime");
  return {};
}

std::string cFTP::GetFTPDirectory() {
  std::string directory;
  if (connected() && hConnection->getCurrentDirectory(directory)) return directory;
  RecordErrorMessage(failure(), "FtpGetCurrentDirectory");
  return {};
}

bool cFTP::SetFTPDirectory(const std::string& sDir) {
  if (connected() && hConnection->setCurrentDirectory(sDir)) return true;
  RecordErrorMessage(failure(), "FtpSetCurrentDirectory");
  return false;
}

bool cFTP::DeleteFTPFile(const std::string& sRemote) {
  if (connected() && hConnection->deleteFile(sRemote)) return true;
  RecordErrorMessage(failure(), "DeleteFTPFile");
  return false;
}

bool cFTP::RenameFTPFile(const std::string& sExisting, const std::string& sNewName) {
  if (connected() && hConnection->renameFile(sExisting, sNewName)) return true;
  RecordErrorMessage(failure(), "RenameFTPFile");
  return false;
}

bool cFTP::CreateFTPDirectory(const std::string& sDirectory) {
  if (connected() && hConnection->createDirectory(sDirectory)) return true;
  RecordErrorMessage(failure(), "CreateFTPDirectory");
  return false;
}

bool cFTP::RemoveFTPDirectory(const std::string& sDirectory) {
  if (connected() && hConnection->removeDirectory(sDirectory)) return true;
  RecordErrorMessage(failure(), "RemoveFTPDirectory");
  return false;
}

bool cFTP::SimpleFTPPutFile(const std::string& sLocal, const std::string& sRemote) {
  if (connected() && hConnection->putFile(sLocal, sRemote, transferType())) return true;
  RecordErrorMessage(failure(), "SimpleFtpPutFile");
  return false;
}

bool cFTP::SimpleFTPGetFile(const std::string& sLocal, const std::string& sRemote) {
  if (connected() && hConnection->getFile(sRemote, sLocal, transferType())) return true;
  RecordErrorMessage(failure(), "SimpleFtpGetFile");
  return false;
}

}  // namespace skyhaul::ftp
