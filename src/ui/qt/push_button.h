// A push button that the keyboard activates as on Windows while it has the focus: with Space,
// as every Qt button is, and with Enter, which Windows gives the focused button of a dialog
// frame although it is not the window's default button.
#pragma once

#include <QPushButton>

class QKeyEvent;

namespace vintrel {

class PushButton final : public QPushButton {
 public:
  PushButton(const QString& caption, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace vintrel
