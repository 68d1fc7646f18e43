// The "ОШИБКА" box, in which the window program shows a failure's description.
#pragma once

class QString;
class QWidget;

namespace vintrel {

// Shows `description` as it is (never read as markup) beside a stop sign and an OK button, and
// returns once the box is closed. `parent` is the window it belongs to, or none before the
// window exists.
void ShowErrorBox(const QString& description, QWidget* parent);

}  // namespace vintrel
