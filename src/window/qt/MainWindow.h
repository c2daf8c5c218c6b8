#pragma once
// The widgets of the main window, one per field, placed and styled as the form was drawn.
// Shows field values on request; turns what the user types into field values, and "Zapri" or a
// close through the window frame into a request the view acts on outside Qt's event handling.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <cstddef>

#include "form/FrmUpdate.h"

namespace skyhaul::window {

inline constexpr std::size_t kFieldCount = static_cast<std::size_t>(form::FieldId::Command3) + 1;

class MainWindow final : public QWidget {
 public:
  // Builds every widget and shows the fields' current values in them.
  explicit MainWindow(form::FrmUpdate& form);

  // Shows one field's current value in its widget.
  void refresh(form::FieldId field);
  // True once after "Zapri" was clicked or the window was asked to close.
  bool takeCloseRequest();

 protected:
  // The window stays open: the program ends instead, once the running code yields.
  void closeEvent(QCloseEvent* event) override;

 private:
  void indexFields();
  void placeWidgets();
  void configureWidgets();
  void styleStatusLabels();
  void orderFocus();
  void connectEdits();
  void showText(form::FieldId field);
  void showQueue();
  void showBar();

  form::FrmUpdate& form_;
  bool closeRequested_ = false;
  bool refreshing_ = false;  // changes made while refreshing are the program's, not the user's

  QPushButton command3_{this};
  QLabel label1_{this};
  QLineEdit textURL_{this};
  QPlainTextEdit tdir_{this};
  QLabel label2_{this};
  QLineEdit textDIR_{this};
  QLabel label5_{this};
  QLineEdit textLDIR_{this};
  QCheckBox chkbrisi_{this};
  QLineEdit text1_{this};
  QLabel label3_{this};
  QLabel label4_{this};
  QLineEdit textimedat_{this};
  QLabel label11_{this};
  QLabel label7_{this};
  QLabel label10_{this};
  QProgressBar pb_{this};
  QLabel label9_{this};

  std::array<QWidget*, kFieldCount> widgets_{};        // by field; none for the caption
  std::array<form::TextField*, kFieldCount> texts_{};  // the text-holding fields
};

}  // namespace skyhaul::window
