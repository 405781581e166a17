#include "gui/platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "gui/res/ResourceIds.h"
#include "gui/res/StringTable.h"

void ShowMessageBox(QWidget* parent, const std::string& text) {
  QString title = QGuiApplication::applicationDisplayName();
  if (title.isEmpty()) title = Res::LoadString(Res::AFX_IDS_APP_TITLE);
  // The texts are the program's own fixed English strings.
  QMessageBox box(QMessageBox::NoIcon, title, QString::fromStdString(text), QMessageBox::Ok,
                  parent != nullptr ? parent : QApplication::activeWindow());
  box.exec();
}
