#pragma once
// The state of one logged-in FTP connection, shared by the connection handle and the file
// handles opened on it, so that a file handle never outlives what it talks to.

#include <optional>
#include <string>
#include <vector>

#include "platform/FtpControl.h"
#include "platform/FtpDataStream.h"
#include "platform/FtpReplyParsers.h"
#include "platform/InternetLibrary.h"

namespace skyhaul::platform {

class FtpConnection::Impl {
 public:
  Impl(FtpControl control, bool passive);

  FtpControl& control() { return control_; }
  void setBusy(bool busy) { busy_ = busy; }

  // False with 12110 while a remote file is open, with 12030 once the connection is dead.
  bool checkReady();
  // Reads the greeting, logs in (USER, PASS) and learns the features (FEAT, OPTS UTF8 ON).
  // A refusal fails with 12003, the server's reply being the last response text.
  bool login(const std::string& user, const std::string& password);
  // Sends `line` and expects a reply of the class `expected` (2 or 3); another reply fails
  // with 12003. `reply` (optional) receives the reply.
  bool simpleCommand(const std::string& line, int expected, FtpReply* reply = nullptr);
  // Sends TYPE A or TYPE I, unless the same was the last one sent on this connection.
  bool setType(TransferType type);
  // Opens a data connection (EPSV/PASV, or EPRT/PORT in active mode) and sends `command`;
  // true with the open stream once the server has accepted the transfer.
  bool startTransfer(const std::string& command, std::optional<FtpDataStream>& stream);
  // Reads the final reply of the transfer started last: true only for 2xx; 4xx/5xx fail with
  // 12003. The data connection must be closed first.
  bool finishTransfer();
  // Lists `directory` ("" for the current one) with MLSD when the server has it, else LIST.
  // Entries read before the data connection failed are kept; a missing directory fails with 18.
  bool fetchListing(const std::string& directory, std::vector<FindData>& entries);
  // What a look-up of one plain name on the control connection came to.
  enum class SingleLookup { Found, Unanswered, Failed };
  // Looks up `path`, whose last component is the plain name `name`, with MLST or SIZE where the
  // server has them. Unanswered (nothing sent, or an answer that is not exactly that entry) leaves
  // the look-up to a listing; Failed means the control connection failed, the error being set.
  SingleLookup lookUpSingleName(const std::string& path, const std::string& name, FindData& entry);
  FtpConnection::SizeReport reportStoredSize(const std::string& path, std::int64_t& size);
  // Says goodbye (QUIT, briefly waiting for the answer) unless a file is open, and closes.
  void quit();

 private:
  bool openPassive(Socket& data);
  bool openActive(Socket& listening);
  bool readListing(FtpDataStream& stream, bool mlsd, std::vector<FindData>& entries);
  SingleLookup lookUpWithMlst(const std::string& path, const std::string& name, FindData& entry);
  SingleLookup lookUpWithSize(const std::string& path, const std::string& name, FindData& entry);

  FtpControl control_;
  bool passive_;
  bool busy_ = false;
  char typeSent_ = 0;
  bool finalReplyPending_ = false;
  FtpFeatures features_;
};

}  // namespace skyhaul::platform
