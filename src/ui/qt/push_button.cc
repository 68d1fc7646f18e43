// Both default flags are cleared, so Qt's dialog handling never sends Enter to another button.
// The key is taken in the button's own keyPressEvent instead, which only the focused button
// receives.
#include "ui/qt/push_button.h"

#include <QKeyEvent>

namespace vintrel {

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
  setAutoDefault(false);
  setDefault(false);
}

void PushButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    click();
    return;
  }
  QPushButton::keyPressEvent(event);
}

}  // namespace vintrel
