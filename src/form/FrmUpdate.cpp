#include "form/FrmUpdate.h"

namespace skyhaul::form {

FrmUpdate::FrmUpdate(platform::ProgramEnd& programEnd) : programEnd_(programEnd) {}

void FrmUpdate::Command3_Click() { programEnd_.endProgram(platform::ExitStatus::ClosedByUser); }

void FrmUpdate::attach(FieldListener* listener) {
  for (Field* field :
       std::initializer_list<Field*>{&textURL, &textDIR, &textLDIR, &Text1, &Tdir, &Textimedat,
                                     &Chkbrisi, &Label3, &Label11, &Label7, &Label9, &Label10, &PB,
                                     &Caption, &Label1, &Label2, &Label5, &Label4, &Command3}) {
    field->attach(listener);
  }
}

}  // namespace skyhaul::form
