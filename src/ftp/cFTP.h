#pragma once
// The program's FTP client: one internet session and at most one FTP connection at a time.
// No operation throws or shows anything on a failure of the library: each reports failure in
// its result and records a one-line text, read through GetLastErrorMessage.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ftp/cFTPEvents.h"
#include "platform/BackgroundDigest.h"
#include "platform/Clock.h"
#include "platform/LocalSource.h"
#include "platform/LocalTarget.h"
#include "platform/inet/InternetSession.h"

namespace skyhaul::ftp {

inline constexpr int kTransferTypeAscii = 1;
inline constexpr int kTransferTypeBinary = 2;
inline constexpr int kConnectFlagsActive = 0;
inline constexpr int kConnectFlagsPassive = 0x08000000;
// The agent name the session introduces itself with.
inline constexpr const char* kAgentName = "Vorn FTP Client";
// Streamed transfers move the file in chunks of this size, raising a progress event after each.
inline constexpr std::int64_t kChunkSize = 255;

class cFTP {
 public:
  // Opens the internet session; `clock` serves the wait at the end of an upload.
  explicit cFTP(platform::Clock& clock);
  ~cFTP();
  cFTP(const cFTP&) = delete;
  cFTP& operator=(const cFTP&) = delete;

  // Where progress events, yields and the remaining-time label go (the window); none at first.
  void setEvents(cFTPEvents* events);

  // A copy of the last error text; "" before the first failure. A success never clears it.
  std::string GetLastErrorMessage() const;
  // Closes the connection when one is open. Records nothing.
  void CloseConnection();
  // Whole-file transfers done by the library in one call.
  bool SimpleFTPPutFile(const std::string& sLocal, const std::string& sRemote);
  bool SimpleFTPGetFile(const std::string& sLocal, const std::string& sRemote);
  // RNFR + RNTO, MKD, RMD, DELE.
  bool RenameFTPFile(const std::string& sExisting, const std::string& sNewName);
  bool CreateFTPDirectory(const std::string& sDirectory);
  bool RemoveFTPDirectory(const std::string& sDirectory);
  bool DeleteFTPFile(const std::string& sRemote);
  // Closes any open connection, then connects and logs in ("host", "host:port", "[v6]:port";
  // "ftpes://" and "ftps://" for FTPS, "sftp://" for SFTP).
  bool OpenConnection(const std::string& sServer, const std::string& sUser,
                      const std::string& sPassword);
  // Streamed transfers in 255-byte chunks with a progress event after each. Both arguments are
  // trimmed of spaces and handed back trimmed. True only when the whole file arrived.
  bool FTPUploadFile(std::string& sLocal, std::string& sRemote);
  bool FTPDownloadFile(std::string& sLocal, std::string& sRemote);
  // PWD; "" on failure.
  std::string GetFTPDirectory();
  // CWD.
  bool SetFTPDirectory(const std::string& sDir);
  // The size of the first entry matching `sFile`; -1 when nothing matches, -2 on failure.
  std::int64_t GetFTPFileSize(const std::string& sFile);
  // The size of the file `sRemote` names, that name only (a listed "x?.csv" is never "x1.csv");
  // -1 when there is none, -2 on failure with the text recorded.
  std::int64_t GetRemoteFileSize(const std::string& sRemote);
  // When `sRemote` was last modified, in UTC as the server writes it (YYYYMMDDHHMMSS, perhaps
  // with a fraction); "" when the server will not tell, or on failure (text recorded).
  std::string GetRemoteFileTime(const std::string& sRemote);
  // The size and modification time the last download found its source with just before its
  // data started to move; the time is asked only where a download may be taken up again (binary
  // type, REST), else, or when the server will not tell, it is "".
  std::int64_t GetDownloadedSize() const { return downloadedSize_; }
  std::string GetDownloadedTime() const { return downloadedTime_; }
  // The bare names matching `sFile`, in the server's order, joined by ","; "" when none or on
  // failure (records nothing).
  std::string GetFTPdir(const std::string& sFile);
  // Like GetFTPdir, but each name exactly as listed, and only the files: folders, and links
  // whose size the server will not give (links to folders), are left out. False, with the text
  // recorded, when the listing failed (a folder that does not exist or may not be read
  // included); no match is true and no names.
  bool GetFTPFileNames(const std::string& sFile, std::vector<std::string>& names);
  void SetTransferASCII();
  void SetTransferBinary();
  void SetModeActive();
  void SetModePassive();
  // Whether a finished streamed transfer is checked against a digest the server computes of
  // its copy, where it offers one (HASH, XSHA256, XSHA1, XMD5, XCRC): on unless turned off.
  void SetDigestChecks(bool bOn);
  // What the last successful streamed transfer adds to its status line: the byte a download
  // took up again, the digest that confirmed the file; "" when neither.
  std::string GetTransferNote() const { return transferNote_; }
  // The source of the last upload that succeeded, as it was sent (its file, size and
  // modification time), so that only that very file is deleted after it; none after a failure.
  const std::optional<platform::LocalSource::Version>& GetUploadedSource() const {
    return uploadedSource_;
  }
  // What confirmed the last successful streamed transfer, for the run's record.
  struct TransferFacts {
    std::int64_t bytes = 0;                   // the size of the file
    std::optional<std::int64_t> resumedFrom;  // the byte it was taken up again at
    bool sizeConfirmed = false;  // the server's stored size (upload), or the data's end (download)
    std::string digest;          // the server's digest that matched ours; "" when none
  };
  const TransferFacts& GetTransferFacts() const { return facts_; }
  // For SFTP connections opened from now on: the OpenSSH private key to log in with ("" for the
  // password, which is otherwise the key's passphrase), and the known_hosts file the server's
  // host key must be in ("" for the user's ~/.ssh/known_hosts).
  void SetPrivateKey(const std::string& sFile);
  void SetKnownHosts(const std::string& sFile);
  // The certificates an FTPS server is checked against in the connections opened from now on:
  // a PEM file (a private CA, or a server's own certificate), or "" for the system's CAs.
  void SetTrustedCertificates(const std::string& sFile);

 private:
  // `detail` follows the code's message (figures only this failure knows).
  void RecordErrorMessage(const inet::Status& status, const std::string& sSource,
                          const std::string& detail = {});
  void RecordErrorMessage(platform::ErrorCode code, const std::string& sSource,
                          const std::string& detail = {}) {
    RecordErrorMessage(inet::Status(code), sSource, detail);
  }
  // True for a success; else false with the failure's text recorded.
  bool succeeded(const inet::Status& status, const std::string& sSource);
  // The one place where a failure becomes its text.
  std::string errorText(const inet::Status& status, const std::string& sSource,
                        const std::string& detail, const std::string& secret) const;
  bool namesFile(const std::string& sRemote);
  std::int64_t linkedFileSize(const std::string& sRemote, std::int64_t listed);
  // The failure of a local source or target, with the step it failed in.
  template <typename Local>
  void recordLocalError(const Local& local, const std::string& sSource) {
    RecordErrorMessage(local.error(), sSource);
  }
  inet::TransferType transferType() const;
  bool connected() const { return hConnection != nullptr; }
  // What an operation without a connection comes to: the library's answer for handle 0.
  static inet::Status notConnected() { return platform::ErrorCode::InvalidHandle; }
  void raiseProgress(std::int64_t current, std::int64_t total);
  // Inline: a transfer yields several times per 255-byte chunk.
  void yield() {
    if (events_ != nullptr) events_->yield();
  }
  void yield(int times);
  void setLabel11(const std::string& text);
  // The steps of the streamed transfers (cFTPTransfers.cpp).
  void beginTransfer();
  inet::Status openRemote(const std::string& sRemote, inet::FileAccess access, std::int64_t offset);
  bool openSource(platform::LocalSource& local, const std::string& sLocal);
  bool startSending(platform::LocalSource& local, std::int64_t offset);
  void letTheServerFinish(platform::LocalSource& local, std::int64_t total);
  void dropRefusedUpload(const platform::LocalSource& local, const std::string& sRemote);
  std::int64_t sizeOfSource(const std::string& sRemote);
  void noteSourceVersion(const std::string& sRemote, std::int64_t total);
  bool startReceiving(platform::LocalTarget& local, std::int64_t offset);
  bool openDownload(platform::LocalTarget& local, const std::string& sRemote, std::int64_t offset,
                    const std::string& origin);
  bool openTarget(platform::LocalTarget& local, const std::string& sLocal, std::int64_t offset,
                  const std::string& origin);
  bool receiveAll(platform::LocalTarget& local, std::int64_t offset, std::int64_t total);
  bool sendChunks(platform::LocalSource& local, const std::string& sRemote, std::int64_t from,
                  std::int64_t total);
  bool finishUpload();
  bool verifyUpload(const platform::LocalSource& local, const std::string& sLocal,
                    const std::string& sRemote, std::int64_t sent);
  bool receiveChunks(platform::LocalTarget& local, std::int64_t from, std::int64_t total);
  bool receiveTextChunks(platform::LocalTarget& local, std::int64_t total);
  bool sendBlock(platform::LocalSource& local, std::vector<char>& block, std::int64_t at,
                 std::size_t size, const std::string& sRemote, bool last);
  // The bytes of a chunk that a download's block cut short had begun.
  struct PartialChunk {
    std::array<char, kChunkSize> bytes{};
    std::size_t size = 0;
  };
  bool receiveBlock(platform::LocalTarget& local, std::size_t& size, const char* source,
                    PartialChunk& partial);
  bool finishDownload(platform::LocalTarget& local, const std::string& sRemote, std::int64_t total,
                      const std::string& origin);
  // Resume and digests (cFTPResume.cpp).
  bool resumable() const;
  std::string resumeOrigin(const std::string& sLocal, const std::string& sRemote,
                           std::int64_t total, const std::string& stamp);
  std::int64_t takeUpKeptPart(platform::LocalTarget& local, const std::string& sLocal,
                              const std::string& origin, std::int64_t total);
  void keepForLater(platform::LocalTarget& local, const std::string& origin);
  void discardOtherParts(const std::string& sLocal);
  void startDigest();
  bool digestWritten(platform::LocalTarget& local, std::int64_t upTo);
  bool verifyDigest(const std::string& sRemote, std::int64_t total);
  void noteResumedAt(std::int64_t offset, const char* proof);
  std::int64_t uploadResumePoint(platform::LocalSource& local, const std::string& sRemote);
  bool skipSent(platform::LocalSource& local, std::int64_t offset);
  bool keepUploadForLater(const platform::LocalSource& local, const std::string& sRemote);

  std::unique_ptr<inet::InternetSession> hInternet;
  std::unique_ptr<inet::RemoteSession> hConnection;
  std::unique_ptr<inet::RemoteStream> hFile;
  int lTransferType = kTransferTypeAscii;
  int lConnectFlags = kConnectFlagsActive;
  std::string sLastError;
  std::string server_;    // of the last OpenConnection: part of what a kept temporary records
  std::string password_;  // of the last OpenConnection: masked wherever a server quotes it
  bool digestChecks_ = true;
  std::optional<platform::BackgroundDigest> digest_;  // of the transfer under way, when checked
  std::string transferNote_;
  std::int64_t downloadedSize_ = -1;
  std::string downloadedTime_;
  TransferFacts facts_;
  // Temporaries of downloads that may be taken up again, by what they record; the folders
  // already looked through for those an earlier run kept.
  std::map<std::string, std::string> keptParts_;
  std::set<std::string> searchedFolders_;
  // The paths of the links to files the last listing gave: their size is asked for with SIZE,
  // proftpd's MLST of a link giving the link's own size as a file's.
  std::set<std::string> listedLinks_;
  // An upload into one of our temporaries that failed part-way, for the next attempt to finish:
  // where, and the version of the source it was sending.
  struct KeptUpload {
    std::string remote;
    platform::LocalSource::Version source;
  };
  std::optional<KeptUpload> keptUpload_;
  std::optional<platform::LocalSource::Version> uploadedSource_;

  platform::Clock& clock_;
  cFTPEvents* events_ = nullptr;
};

}  // namespace skyhaul::ftp
