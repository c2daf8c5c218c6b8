#include <utility>

#include "platform/FtpConnectionImpl.h"
#include "platform/FtpFileImpl.h"
#include "platform/InternetLastError.h"

namespace skyhaul::platform {

FtpConnection::FtpConnection(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

FtpConnection::~FtpConnection() {
  if (impl_) impl_->quit();
}

std::unique_ptr<FtpFile> FtpConnection::openFile(const std::string& remote, FileAccess access,
                                                 TransferType type) {
  if (!impl_->checkReady() || !impl_->setType(type)) return nullptr;
  std::optional<FtpDataStream> stream;
  const std::string verb = access == FileAccess::Read ? "RETR " : "STOR ";
  if (!impl_->startTransfer(verb + remote, stream)) return nullptr;
  impl_->setBusy(true);
  return std::make_unique<FtpFile>(
      std::make_unique<FtpFile::Impl>(impl_, std::move(*stream), access));
}

bool FtpConnection::getCurrentDirectory(std::string& directory) {
  FtpReply reply;
  if (!impl_->checkReady() || !impl_->simpleCommand("PWD", 2, &reply)) return false;
  const auto parsed = parsePwdReply(reply.text);
  if (!parsed) return fail(kErrorInternetExtendedError);
  directory = *parsed;
  return true;
}

bool FtpConnection::setCurrentDirectory(const std::string& directory) {
  return impl_->checkReady() && impl_->simpleCommand("CWD " + directory, 2);
}

bool FtpConnection::deleteFile(const std::string& remote) {
  return impl_->checkReady() && impl_->simpleCommand("DELE " + remote, 2);
}

bool FtpConnection::renameFile(const std::string& existing, const std::string& newName) {
  return impl_->checkReady() && impl_->simpleCommand("RNFR " + existing, 3) &&
         impl_->simpleCommand("RNTO " + newName, 2);
}

bool FtpConnection::createDirectory(const std::string& directory) {
  return impl_->checkReady() && impl_->simpleCommand("MKD " + directory, 2);
}

bool FtpConnection::removeDirectory(const std::string& directory) {
  return impl_->checkReady() && impl_->simpleCommand("RMD " + directory, 2);
}

}  // namespace skyhaul::platform
