#pragma once
// The main window's fields: at once the display and the store of the job's working values.
// The job reads and writes these only; a View shows them.

#include <string>

#include "platform/ProgramEnd.h"
#include "window/Fields.h"

namespace skyhaul::window {

inline constexpr const char* kInitialCaption = "FTP prenos";

class FrmUpdate {
 public:
  explicit FrmUpdate(platform::ProgramEnd& programEnd);
  FrmUpdate(const FrmUpdate&) = delete;
  FrmUpdate& operator=(const FrmUpdate&) = delete;

  // Sends every later change of a field to `listener` (the view), or to nobody.
  void attach(FieldListener* listener);

  TextField textURL{FieldId::textURL};
  TextField textDIR{FieldId::textDIR};
  TextField textLDIR{FieldId::textLDIR};
  TextField Text1{FieldId::Text1};
  TextField Tdir{FieldId::Tdir};
  TextField Textimedat{FieldId::Textimedat};
  CheckBox Chkbrisi{FieldId::Chkbrisi};
  TextField Label3{FieldId::Label3, "Status:"};
  TextField Label11{FieldId::Label11, "Do konca še: 00:00:00"};
  TextField Label7{FieldId::Label7};
  TextField Label9{FieldId::Label9};
  TextField Label10{FieldId::Label10};
  ProgressBar PB{FieldId::PB};
  TextField Caption{FieldId::Caption, kInitialCaption};
  TextField Label1{FieldId::Label1, "Strežnik:"};
  TextField Label2{FieldId::Label2, "Začetni imenik  na FTP strežniku:"};
  TextField Label5{FieldId::Label5, "Lokalni imenik:"};
  TextField Label4{FieldId::Label4, "Datoteka ki se prenaša:"};
  TextField Command3{FieldId::Command3, "Zapri"};
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

}  // namespace skyhaul::window
