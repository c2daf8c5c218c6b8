#pragma once
// How cFTP reaches the window without knowing it: the progress event, yielding to pending
// window events, and the remaining-time label that an upload writes at its end.

#include <cstdint>
#include <string>

namespace skyhaul::ftp {

class cFTPEvents {
 public:
  virtual ~cFTPEvents() = default;
  // Raised after every chunk and once at the end of a transfer; runs to its end before the
  // transfer goes on. The counts are the transfer's own; handlers only read them.
  virtual void FileTransferProgress(const std::int64_t& lCurrentBytes,
                                    const std::int64_t& lTotalBytes) = 0;
  // Lets the window process its pending events.
  virtual void yield() = 0;
  // The yield right before a blocking wait: the window shows what the fields hold now.
  virtual void yieldBeforeWait() { yield(); }
  // Sets the text of the remaining-time label ("Konec.", "INTERNET CLOSE").
  virtual void setLabel11(const std::string& text) = 0;
};

}  // namespace skyhaul::ftp
