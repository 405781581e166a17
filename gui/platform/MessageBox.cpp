#include "gui/platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

void ShowMessageBox(QWidget* parent, const std::string& text) {
  QString title = QGuiApplication::applicationDisplayName();
  if (title.isEmpty()) title = QStringLiteral("Tremolux");
  // The texts are the program's own fixed English strings.
  QMessageBox box(QMessageBox::NoIcon, title, QString::fromStdString(text), QMessageBox::Ok,
                  parent != nullptr ? parent : QApplication::activeWindow());
  box.exec();
}
