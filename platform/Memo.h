#pragma once
// The framework's memo: a multi-line text control in a sunken frame. Every memo of both
// programs is one, so that its frame shows its four lines on a screen of any scale.

#include <QPlainTextEdit>

class TMemo : public QPlainTextEdit {
public:
  using QPlainTextEdit::QPlainTextEdit;

protected:
  bool event(QEvent* E) override;
};
