#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

#include "core/c3d/C3d.h"
#include "gui/app/CRecentFileList.h"
#include "gui/player/SoundPlayer.h"

class CDocTemplate;
class CMainFrame;
class CTremoluxDoc;

// The application: the main frame, the single document template, the
// recent-file list, the one sound player and the application commands
// (Open, About, the recent files). Owns all of them; the player outlives
// every sound dialog, so a sound plays on after its dialog has closed. One instance, created by
// main() after the QApplication and destroyed before it; tests may create one after another.
class CTremoluxApp : public QObject {
  Q_OBJECT

 public:
  CTremoluxApp();
  // Runs ExitInstance if it has not run.
  ~CTremoluxApp() override;

  // Sets the application's name, organisation and version for Qt and the
  // settings store. Called by InitInstance; main() may call it earlier.
  static void SetApplicationInfo();

  // Starts the program: reads the recent-file list, creates the template
  // and the main frame and shows it, empty. `arguments` (program name
  // first) are parsed and deliberately not acted upon: no file named there
  // is opened. False when the main frame could not be built; the program
  // must then end.
  bool InitInstance(const QStringList& arguments);

  // Closes every document and writes the recent-file list back. Safe to
  // call more than once; returns the exit code (0).
  int ExitInstance();

  // Opens pathName as a new document (file dialog, recent list, drop all
  // come here); a file already open brings its window forward instead. On
  // success the file joins the recent-file list. Null when it did not open;
  // the status bar then says which file and why (OpenFailureText).
  CTremoluxDoc* OpenDocumentFile(const QString& pathName);

  // The status message for a file that did not open: its path and the
  // reason `error` gives ("the file does not exist" for a missing file).
  static QString OpenFailureText(const QString& pathName, C3dLoadError error);

  // File Open: the file dialog, then OpenDocumentFile on the chosen file.
  void OnFileOpen();
  // Help About: runs the About box.
  void OnAppAbout();
  // A recent-file entry: opens it; an entry that no longer opens is removed,
  // after the status bar has said why.
  void OnOpenRecentFile(int index);

  CMainFrame* GetMainWnd() const { return m_pMainWnd.get(); }
  CDocTemplate* GetDocTemplate() const { return m_pDocTemplate.get(); }
  const CRecentFileList& GetRecentFileList() const { return m_recentFileList; }
  // File names found on the command line at start-up (never opened).
  const QStringList& GetCommandLineFiles() const { return m_commandLineFiles; }

 private:
  void UpdateRecentFileMenu();

  std::unique_ptr<CMainFrame> m_pMainWnd;
  std::unique_ptr<CDocTemplate> m_pDocTemplate;
  CRecentFileList m_recentFileList;
  QStringList m_commandLineFiles;
  QString m_strLastDir;   // where the file dialog opens next
  CSoundPlayer m_player;  // CSoundPlayer::Instance() while the application lives
  bool m_bRunning = false;
};
