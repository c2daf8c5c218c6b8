#include "ftp/cFTP.h"

namespace skyhaul::ftp {

namespace {

// The lookup buffer of the message table holds 256 bytes with its terminator; a longer message
// does not fit and is left out.
constexpr std::size_t kMessageCapacity = 255;
// The server's last response is read into a buffer of 2048 bytes with its terminator.
constexpr std::size_t kResponseCapacity = 2047;

}  // namespace

cFTP::cFTP(platform::Clock& clock)
    : hInternet(std::make_unique<platform::InternetSession>(kAgentName)), clock_(clock) {}

cFTP::~cFTP() = default;

void cFTP::setEvents(cFTPEvents* events) { events_ = events; }

std::string cFTP::GetLastErrorMessage() const { return sLastError; }

void cFTP::CloseConnection() { hConnection.reset(); }

bool cFTP::OpenConnection(const std::string& sServer, const std::string& sUser,
                          const std::string& sPassword) {
  hConnection.reset();
  if (!hInternet) {
    RecordErrorMessage(platform::kErrorInvalidHandle, "InternetConnect");
    return false;
  }
  hConnection =
      hInternet->connect(sServer, 0, sUser, sPassword, lConnectFlags == kConnectFlagsPassive);
  if (hConnection) return true;
  RecordErrorMessage(platform::lastError(), "InternetConnect");
  return false;
}

void cFTP::SetTransferASCII() { lTransferType = kTransferTypeAscii; }
void cFTP::SetTransferBinary() { lTransferType = kTransferTypeBinary; }
void cFTP::SetModeActive() { lConnectFlags = kConnectFlagsActive; }
void cFTP::SetModePassive() { lConnectFlags = kConnectFlagsPassive; }

platform::TransferType cFTP::transferType() const {
  return lTransferType == kTransferTypeBinary ? platform::TransferType::Binary
                                              : platform::TransferType::Ascii;
}

// Operations on a connection that is not open fail like the library does for handle 0.
bool cFTP::connected() {
  if (hConnection) return true;
  platform::setLastError(platform::kErrorInvalidHandle);
  return false;
}

void cFTP::RecordErrorMessage(int lErrorCode, const std::string& sSource) {
  std::string message = platform::messageFor(lErrorCode);
  if (message.size() > kMessageCapacity) message.clear();
  sLastError = sSource + " error code: " + std::to_string(lErrorCode) + " Message: " + message;
  if (lErrorCode == platform::kErrorInternetExtendedError) {
    // The server explained the failure itself: its reply is the whole text.
    sLastError = platform::lastResponseInfo().substr(0, kResponseCapacity);
  }
}

void cFTP::recordLocalError(const std::string& sSource) {
  RecordErrorMessage(platform::lastError(), sSource);
}

void cFTP::raiseProgress(std::int64_t current, std::int64_t total) {
  if (events_ != nullptr) events_->FileTransferProgress(current, total);
}

void cFTP::yield(int times) {
  for (int i = 0; i < times && events_ != nullptr; ++i) events_->yield();
}

void cFTP::setLabel11(const std::string& text) {
  if (events_ != nullptr) events_->setLabel11(text);
}

}  // namespace skyhaul::ftp
