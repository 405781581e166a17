#pragma once

#include <string>

class QWidget;

// Shows `text` in a modal message box with one OK button over `parent` (the
// active window when null), titled with the application's name, and returns
// when the user has closed it. The stand-in for the platform message box
// every fixed text of the program is shown in.
void ShowMessageBox(QWidget* parent, const std::string& text);
