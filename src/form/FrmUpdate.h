#pragma once
// The main window's fields: at once the display and the store of the job's working values.
// The job reads and writes these only; a View shows them.

#include <string>

#include "form/Fields.h"
#include "platform/ProgramEnd.h"

namespace skyhaul::form {

inline constexpr const char* kInitialCaption = "FTP prenos";

class FrmUpdate {
 public:
  explicit FrmUpdate(platform::ProgramEnd& programEnd);
  FrmUpdate(const FrmUpdate&) = delete;
  FrmUpdate& operator=(const FrmUpdate&) = delete;

  // Sends every later change of a field to `listener` (the view), or to nobody.
  void attach(FieldListener* listener);

  TextField textURL{FieldId::textURL};           // the server, as FTPURL gives it
  TextField textDIR{FieldId::textDIR};           // the remote directory prefix (ftpdir)
  TextField textLDIR{FieldId::textLDIR};         // the local directory prefix (localdir)
  TextField Text1{FieldId::Text1};               // the mask of the command under way
  TextField Tdir{FieldId::Tdir};                 // the queue: names still to come, comma-separated
  TextField Textimedat{FieldId::Textimedat};     // the file under way
  CheckBox Chkbrisi{FieldId::Chkbrisi};          // ticked: each source is deleted after it (DEL)
  TextField Label3{FieldId::Label3, "Status:"};  // the status line
  TextField Label11{FieldId::Label11, "Do konca še: 00:00:00"};  // time left
  TextField Label7{FieldId::Label7};    // kilobytes transferred of the file's size
  TextField Label9{FieldId::Label9};    // percentage done
  TextField Label10{FieldId::Label10};  // transfer rate
  ProgressBar PB{FieldId::PB};          // the progress bar; its hover text counts the bytes
  TextField Caption{FieldId::Caption, kInitialCaption};  // window title; percentage while minimised
  TextField Label1{FieldId::Label1, "Strežnik:"};        // caption of textURL
  TextField Label2{FieldId::Label2, "Začetni imenik  na FTP strežniku:"};  // caption of textDIR
  TextField Label5{FieldId::Label5, "Lokalni imenik:"};                    // caption of textLDIR
  TextField Label4{FieldId::Label4, "Datoteka ki se prenaša:"};            // caption of Textimedat
  TextField Command3{FieldId::Command3, "Zapri"};  // the close button's caption
  static constexpr const char* kChkbrisiCaption = "Pobriši izvor po prenosu";

  // The button "Zapri": ends the program at once, in the middle of whatever runs.
  [[noreturn]] void Command3_Click();

  // Window-level values.
  std::string IniPath;
  std::string SelectedSection;
  std::string FtpUser;
  std::string FtpPassword;
  bool FirstActivation = false;
  float TransferStart = 0.0F;  // seconds since midnight when the current file began
  float TransferRate = 0.0F;   // thousands of bytes per second, two decimals

 private:
  platform::ProgramEnd& programEnd_;
};

}  // namespace skyhaul::form
