// The controls the wizard's steps are built from: captions and buttons
// that take their texts from the resource file (by the resource id in
// their "tag"), read-only and multi-line text boxes, and the note that
// shows a problem beside the field it belongs to.
#pragma once

#include <QLabel>
#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vl {

// `control` with the resource id of its caption in its tag.
QWidget* Tag(QWidget* control, long id);
template <typename W>
W* Tagged(W* control, long id) {
  Tag(control, id);
  return control;
}

// A caption whose mnemonic moves to `buddy`.
QLabel* Caption(long id, QWidget* buddy);
// A button that does not take Enter from the window's default button.
QPushButton* Button(long id);
// A one-line box whose text changes only through the program.
QLineEdit* ShownText(const char* name);
// A multi-line box about `lines` lines high, shrinking to two lines when
// the window is small.
QPlainTextEdit* MultiLineText(const char* name, bool readOnly, int lines);

// A warning sign and a text, shown under a field while its value cannot be
// used and hidden otherwise.
class ProblemNote : public QWidget {
 public:
  explicit ProblemNote(QWidget* parent = nullptr);
  // Shows `text`; hides the note when `text` is empty.
  void Show(const QString& text);
  QString text() const { return text_->text(); }

 private:
  QLabel* text_;
};

}  // namespace vl
