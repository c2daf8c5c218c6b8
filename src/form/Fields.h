#pragma once
// The kinds of field the main window has. Each field stores its value, or has it written by a
// source when it is read, and tells the window's listener when the program changes it, so a
// view can redraw just what changed.

#include <string>
#include <utility>

namespace skyhaul::form {

// clang-format off
enum class FieldId {
  textURL, textDIR, textLDIR, Text1, Tdir, Textimedat, Chkbrisi,
  Label3, Label11, Label7, Label9, Label10, PB, Caption,
  Label1, Label2, Label5, Label4, Command3,
};
// clang-format on

class FieldListener {
 public:
  virtual ~FieldListener() = default;
  // `field` changed. A text that follows a source tells this once until somebody reads it,
  // however often it changes meanwhile.
  virtual void fieldChanged(FieldId field) = 0;
};

class Field {
 public:
  explicit Field(FieldId id) : id_(id) {}
  FieldId id() const { return id_; }
  void attach(FieldListener* listener) { listener_ = listener; }

 protected:
  void changed() {
    if (listener_ != nullptr) listener_->fieldChanged(id_);
  }

 private:
  FieldId id_;
  FieldListener* listener_ = nullptr;
};

// Writes the texts of the fields that follow it, when they are read: the progress display
// changes its texts far more often than anybody looks at them.
class TextSource {
 public:
  // Appends the text `field` shows now to `text`, which is empty.
  virtual void writeText(FieldId field, std::string& text) const = 0;

 protected:
  ~TextSource() = default;
};

// A field's text: as last stored, or written by the source the field follows on the first read
// after the source changed it.
class SourcedText {
 public:
  explicit SourcedText(std::string text) : text_(std::move(text)) {}
  // The text, written now by the source when a change waits for this read.
  const std::string& get(FieldId field) const {
    if (stale_) write(field);
    return text_;
  }
  // Stores `text`; the source writes no more until it is followed again.
  void set(std::string text) {
    stale_ = false;
    text_ = std::move(text);
  }
  // Lets `source` write the text on the next read. False when a change was already waiting
  // for a read, so that nobody needs to be told again.
  bool follow(const TextSource& source) {
    source_ = &source;
    return !std::exchange(stale_, true);
  }

 private:
  void write(FieldId field) const;

  mutable std::string text_;
  const TextSource* source_ = nullptr;
  mutable bool stale_ = false;
};

// A text box or a label: one string, returned exactly as last stored or as its source writes
// it now.
class TextField : public Field {
 public:
  TextField(FieldId id, std::string initial = {}) : Field(id), text_(std::move(initial)) {}
  const std::string& text() const { return text_.get(id()); }
  void setText(std::string text) {
    text_.set(std::move(text));
    changed();
  }
  // The text is what `source` writes when it is read, until the text is set again. The
  // listener is told unless it was told of a change that nobody has read yet.
  void follow(const TextSource& source) {
    if (text_.follow(source)) changed();
  }
  // Stores text typed by the user; the view already shows it, so nobody is told.
  void setTypedText(std::string text) { text_.set(std::move(text)); }

 private:
  SourcedText text_;
};

// The check box: the program sets it with 0 or 1; any non-zero value counts as ticked.
class CheckBox : public Field {
 public:
  explicit CheckBox(FieldId id) : Field(id) {}
  int value() const { return value_; }
  bool ticked() const { return value_ != 0; }
  void setValue(int value) {
    value_ = value;
    changed();
  }
  void setTypedValue(int value) { value_ = value; }

 private:
  int value_ = 0;
};

// The progress bar: minimum, maximum and position as single-precision numbers, plus the hover
// text. The widget only displays these.
class ProgressBar : public Field {
 public:
  explicit ProgressBar(FieldId id) : Field(id) {}
  float min() const { return min_; }
  float max() const { return max_; }
  float value() const { return value_; }
  const std::string& toolTipText() const { return toolTip_.get(id()); }
  void setMin(float min);
  void setMax(float max);
  // Throws std::out_of_range for a position outside min..max, which the bar refuses.
  void setValue(float value);
  // Whether setValue would take `value`.
  bool accepts(float value) const { return !(value < min_ || value > max_); }
  void setToolTipText(std::string text) {
    toolTip_.set(std::move(text));
    changed();
  }
  // The hover text is what `source` writes when it is read, as TextField::follow.
  void followToolTip(const TextSource& source) {
    if (toolTip_.follow(source)) changed();
  }

 private:
  float min_ = 0.0F;
  float max_ = 100.0F;
  float value_ = 0.0F;
  SourcedText toolTip_{""};
};

}  // namespace skyhaul::form
