#include "window/ConsoleView.h"

#include <utility>

#include "form/StatusLine.h"
#include "window/TerminalText.h"

namespace skyhaul::window {

namespace {

constexpr std::chrono::milliseconds kMeterInterval{100};
constexpr const char* kClearToEndOfLine = "\x1b[K";

void appendPart(std::string& line, const std::string& part) {
  if (part.empty()) return;
  if (!line.empty()) line += "  ";
  line += part;
}

}  // namespace

ConsoleView::ConsoleView(form::FrmUpdate& form, std::istream& input, std::ostream& errors,
                         bool inputIsTerminal, bool errorsIsTerminal, SteadyNow now, bool quiet,
                         Columns columns)
    : form_(form),
      input_(input),
      errors_(errors),
      inputIsTerminal_(inputIsTerminal),
      meterEnabled_(errorsIsTerminal),
      now_(std::move(now)),
      quiet_(quiet),
      columns_(std::move(columns)) {
  form_.attach(this);
}

ConsoleView::~ConsoleView() {
  form_.attach(nullptr);
  endMeterLine();
}

void ConsoleView::fieldChanged(form::FieldId field) {
  switch (field) {
    case form::FieldId::Label3:
      printStatus();
      break;
    case form::FieldId::Textimedat:
      endMeterLine();
      break;
    case form::FieldId::Label7:
    case form::FieldId::Label9:
    case form::FieldId::Label10:
    case form::FieldId::Label11:
      meterChanged_ = meterEnabled_;
      break;
    default:
      break;
  }
}

void ConsoleView::yield() {
  if (!meterChanged_) return;
  const auto now = now_();
  if (meterOnScreen_ && now - lastDrawn_ < kMeterInterval) return;
  lastDrawn_ = now;
  drawMeter();
}

void ConsoleView::yieldBeforeWait() {
  if (!meterChanged_) return;
  lastDrawn_ = now_();
  drawMeter();
}

std::string ConsoleView::inputBox(const std::string& prompt, const std::string& /*title*/) {
  if (!inputIsTerminal_) return {};
  endMeterLine();
  errors_ << prompt << ' ' << std::flush;
  std::string line;
  if (!std::getline(input_, line)) return {};
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

void ConsoleView::reportUnhandledError(const std::string& message) {
  endMeterLine();
  errors_ << "Napaka: " << message << '\n' << std::flush;
}

void ConsoleView::detail(const std::string& line) {
  if (!quiet_) notice(line);
}

void ConsoleView::notice(const std::string& line) {
  endMeterLine();
  errors_ << line + "\n" << std::flush;
}

// One write per line: the error stream is unbuffered, and a job of many small files prints two
// status lines per file.
void ConsoleView::printStatus() {
  if (quiet_ && form::isRoutineStatus(form_.Label3.text())) return;
  endMeterLine();
  const std::string& file = form_.Textimedat.text();
  std::string line;
  line.reserve(file.size() + form_.Label3.text().size() + 3);
  if (!file.empty()) line.append(file).append(": ");
  line.append(form::oneLine(form_.Label3.text()));  // a server's reply has line ends of its own
  line.append("\n");
  errors_ << line << std::flush;
}

// The line never wraps: a wrapped line could not be redrawn in place and would leave stale
// lines behind. The file name gives way first.
void ConsoleView::drawMeter() {
  std::string figures;
  appendPart(figures, form_.Label7.text());
  appendPart(figures, form_.Label9.text());
  appendPart(figures, form_.Label10.text());
  appendPart(figures, form_.Label11.text());
  const int columns = columns_ ? columns_() : 0;
  const std::string line = fitMeterLine(form_.Textimedat.text(), figures, columns);
  errors_ << '\r' + line + kClearToEndOfLine << std::flush;
  meterChanged_ = false;
  meterOnScreen_ = true;
}

// Leaves the meter's last state on screen, so each file keeps one finished line.
void ConsoleView::endMeterLine() {
  if (meterChanged_ && meterEnabled_) drawMeter();
  if (!meterOnScreen_) return;
  errors_ << '\n' << std::flush;
  meterOnScreen_ = false;
}

}  // namespace skyhaul::window
