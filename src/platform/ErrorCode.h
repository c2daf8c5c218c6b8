#pragma once
// The codes of the thread's last-error value, numbered after the classic internet-library
// family, and their Slovenian texts.

#include <ostream>
#include <string>

namespace skyhaul::platform {

enum class ErrorCode : int {
  Success = 0,
  FileNotFound = 2,
  PathNotFound = 3,
  AccessDenied = 5,
  InvalidHandle = 6,
  NoMoreFiles = 18,
  WriteFault = 29,
  ReadFault = 30,
  SharingViolation = 32,  // another run is writing the same local file
  InvalidParameter = 87,
  DiskFull = 112,
  FileInvalid = 1006,  // the local file changed while it was being sent
  InternetOutOfHandles = 12001,
  InternetTimeout = 12002,
  InternetExtendedError = 12003,  // the server refused: its reply is the last response text
  InternetInternalError = 12004,
  InternetInvalidUrl = 12005,
  InternetNameNotResolved = 12007,
  TlsCertificateNameMismatch = 12038,  // the server's certificate is for another name
  TlsCertificateUntrusted = 12045,     // the server's certificate is not trusted here
  InternetCannotConnect = 12029,
  InternetConnectionAborted = 12030,
  InternetConnectionReset = 12031,
  FtpTransferInProgress = 12110,
  FtpNoPassiveMode = 12112,
  FtpSizeMismatch = 12113,     // the data ended before, or went on after, the listed size
  FtpUnexpectedReply = 12114,  // a reply that breaks the protocol
  ListingTooLong = 12115,      // a listing beyond any folder this program is meant for
  StoredSizeMismatch = 12116,  // after an upload the server reports another size
  StoredSizeUnknown = 12117,   // after an upload the server would not tell the size
  FtpFolderMissing = 12118,    // the folder to list does not exist or may not be read
  DigestNotOffered = 12119,    // the server computes no digest of that algorithm
  FtpDigestRefused = 12120,    // the server would not compute the digest it offers
  FtpDigestMalformed = 12121,  // a digest reply of the wrong form, algorithm or range
  FtpDigestMismatch = 12122,   // the server's digest of its copy differs from ours
  TlsHandshakeFailed = 12157,  // no TLS with the server (refused, broken, or versions)
  // SFTP status codes as the server sent them (12300 + the protocol's number).
  SftpEndOfFile = 12301,
  SftpNoSuchFile = 12302,
  SftpPermissionDenied = 12303,
  SftpFailure = 12304,
  SftpBadMessage = 12305,
  SftpNoConnection = 12306,
  SftpConnectionLost = 12307,
  SftpOperationUnsupported = 12308,
  SftpInvalidHandle = 12309,
  SftpNoSuchPath = 12310,
  SftpFileAlreadyExists = 12311,
  SftpWriteProtect = 12312,
  SftpNoMedia = 12313,
  SshHostUnknown = 12320,      // the server's host key is not in the known_hosts file
  SshHostKeyChanged = 12321,   // known_hosts holds another key for the server
  SshLoginRefused = 12322,     // no offered authentication succeeded
  SshKeyUnreadable = 12323,    // the private key file cannot be read or decrypted
  SshProtocolFailure = 12324,  // the SSH or SFTP session broke down
};

// The Slovenian text of a code; "" for Success.
std::string messageFor(ErrorCode code);

// The text of a number that came from outside as a code: "" when it is none of the codes.
std::string messageFor(int code);

// The code of a failed system call's errno value: what the program's own failures report.
ErrorCode codeFromErrno(int errorNumber);

// The code's number, as the texts show it.
inline std::ostream& operator<<(std::ostream& out, ErrorCode code) {
  return out << static_cast<int>(code);
}

}  // namespace skyhaul::platform
