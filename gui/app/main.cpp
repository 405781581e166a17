// The tremolux executable: the Qt application and the Tremolux application
// object, then the event loop until the main window closes.
#include <QApplication>

#include "app/CTremoluxApp.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  CTremoluxApp::SetApplicationInfo();
  CTremoluxApp theApp;
  if (!theApp.InitInstance(QApplication::arguments())) return 1;
  const int result = QApplication::exec();
  theApp.ExitInstance();
  return result;
}
