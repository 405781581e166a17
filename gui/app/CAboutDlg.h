#pragma once

#include <QDialog>

// The About box (dialog 100): the application icon, the version line, the
// legal notice and OK. Laid out in dialog units converted with the dialog's
// font (CDialogUnits, as every dialog of the program), so it keeps its
// proportions at any font size. Lives on the stack of the About command
// while it runs.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  // Runs the box modally; returns when OK or Escape closes it.
  int DoModal() { return exec(); }
};
