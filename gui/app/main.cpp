// The tremolux executable: the Qt application and the Tremolux application
// object, then the event loop until the main window closes.
#include <QApplication>

#include "common/ProcessExit.h"
#include "gui/app/CTremoluxApp.h"

int main(int argc, char** argv) {
  int result = 0;
  {
    QApplication app(argc, argv);
    CTremoluxApp::SetApplicationInfo();
    CTremoluxApp theApp;
    if (!theApp.InitInstance(QApplication::arguments())) return 1;
    result = QApplication::exec();
    theApp.ExitInstance();
  }
  // The application object (settings, player, temporary file) is gone.
  ExitAfterSound(result);
}
