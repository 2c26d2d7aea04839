#pragma once
// Message boxes of the printing commands, through one replaceable function so that the main
// window can send them to its own message routine and tests can answer them.
#include "jet/status.h"

#include <QString>
#include <functional>

class QWidget;

namespace print {

enum class MessageIcon { None, Information, Warning, Critical };

// An OK-only box. An empty title means the program's own title.
struct MessageRequest {
  QString text;
  QString title;
  MessageIcon icon = MessageIcon::None;
};

using MessageFunction = std::function<void(const MessageRequest &, QWidget *parent)>;

// The function every printing message goes through. By default a QMessageBox; assign another
// function to redirect it (the main window's message routine, or a test that records the text).
MessageFunction &messageFunction();

void showMessage(const MessageRequest &request, QWidget *parent);

// An untrapped failure, shown with its number and description as everywhere in the program.
void showFailure(const jet::Status &status, QWidget *parent);

} // namespace print
