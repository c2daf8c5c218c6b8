#pragma once
// Joins the FTP client to the window: its progress events go to the progress display, its
// yields to the view, and the remaining-time label it writes at the end of an upload to the
// field. main() makes one and hands it to the client.

#include <cstdint>
#include <string>

#include "form/FrmUpdate.h"
#include "form/View.h"
#include "ftp/cFTPEvents.h"
#include "window/ProgressDisplay.h"

namespace skyhaul::window {

class ClientEvents final : public ftp::cFTPEvents {
 public:
  ClientEvents(form::FrmUpdate& form, form::View& view, ProgressDisplay& progress)
      : form_(form), view_(view), progress_(progress) {}

  void FileTransferProgress(const std::int64_t& lCurrentBytes,
                            const std::int64_t& lTotalBytes) override {
    progress_.mFTP_FileTransferProgress(lCurrentBytes, lTotalBytes);
  }
  void yield() override { view_.yield(); }
  void yieldBeforeWait() override { view_.yieldBeforeWait(); }
  void setLabel11(const std::string& text) override { form_.Label11.setText(text); }

 private:
  form::FrmUpdate& form_;
  form::View& view_;
  ProgressDisplay& progress_;
};

}  // namespace skyhaul::window
