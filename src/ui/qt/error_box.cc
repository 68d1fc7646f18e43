#include "ui/qt/error_box.h"

#include <QMessageBox>

#include "ui/frm_main_form.h"

namespace vintrel {

void ShowErrorBox(const QString& description, QWidget* parent) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf16(form::kErrorTitle), description, QMessageBox::Ok,
                  parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace vintrel
