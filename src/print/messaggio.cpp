#include "print/messaggio.h"

#include <QApplication>
#include <QMessageBox>

namespace print {

namespace {

void defaultMessage(const MessageRequest &r, QWidget *parent) {
  QMessageBox box(parent);
  box.setWindowTitle(r.title.isEmpty() ? QApplication::applicationName() : r.title);
  box.setText(r.text);
  switch (r.icon) {
  case MessageIcon::Information:
    box.setIcon(QMessageBox::Information);
    break;
  case MessageIcon::Warning:
    box.setIcon(QMessageBox::Warning);
    break;
  case MessageIcon::Critical:
    box.setIcon(QMessageBox::Critical);
    break;
  case MessageIcon::None:
    break;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

} // namespace

MessageFunction &messageFunction() {
  static MessageFunction f = defaultMessage;
  return f;
}

void showMessage(const MessageRequest &request, QWidget *parent) {
  if (messageFunction())
    messageFunction()(request, parent);
}

void showFailure(const jet::Status &status, QWidget *parent) {
  MessageRequest r;
  r.text = QStringLiteral("Errore %1\n%2")
               .arg(status.number())
               .arg(QString::fromStdString(status.message()));
  r.icon = MessageIcon::Critical;
  showMessage(r, parent);
}

} // namespace print
