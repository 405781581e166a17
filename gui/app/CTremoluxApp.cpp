#include "gui/app/CTremoluxApp.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include "gui/app/CAboutDlg.h"
#include "gui/app/CDocTemplate.h"
#include "gui/app/CLaneChooser.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/res/ResourceIds.h"
#include "gui/res/StringTable.h"
#include "gui/res/Version.h"

// Resources compiled into the static GUI library register only when named.
static void InitResources() { Q_INIT_RESOURCE(tremolux); }

CTremoluxApp::CTremoluxApp() : m_recentFileList(Res::kRecentFileCount) {}

CTremoluxApp::~CTremoluxApp() { ExitInstance(); }

void CTremoluxApp::SetApplicationInfo() {
  QCoreApplication::setOrganizationName(QString::fromLatin1(Res::kOrganizationName));
  QCoreApplication::setApplicationName(QString::fromLatin1(Res::kApplicationName));
  QCoreApplication::setApplicationVersion(QString::fromLatin1(Res::kVersion));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(Res::kDesktopFileName));
}

bool CTremoluxApp::InitInstance(const QStringList& arguments) {
  InitResources();
  SetApplicationInfo();
  CLaneChooser::ForgetChoices();  // a session's lane choices start afresh

  {
    QSettings settings;
    m_recentFileList.ReadList(settings);
  }

  m_pMainWnd = std::make_unique<CMainFrame>();
  if (!m_pMainWnd->LoadFrame()) {
    m_pMainWnd.reset();
    return false;
  }
  m_pDocTemplate = std::make_unique<CDocTemplate>(m_pMainWnd.get());

  CMainFrame* pFrame = m_pMainWnd.get();
  connect(pFrame->GetAction(Res::ID_FILE_OPEN), &QAction::triggered, this,
          &CTremoluxApp::OnFileOpen);
  connect(pFrame->GetAction(Res::ID_APP_ABOUT), &QAction::triggered, this,
          &CTremoluxApp::OnAppAbout);
  for (int i = 0; i < Res::kRecentFileCount; ++i) {
    connect(pFrame->GetAction(Res::ID_FILE_MRU_FILE1 + i), &QAction::triggered, this,
            [this, i] { OnOpenRecentFile(i); });
  }
  connect(pFrame, &CMainFrame::filesDropped, this, [this](const QStringList& paths) {
    for (const QString& path : paths) OpenDocumentFile(path);
  });
  connect(pFrame, &CMainFrame::closing, this, [this] { m_pDocTemplate->CloseAllDocuments(); });
  UpdateRecentFileMenu();

  // Parsed, and not acted upon: the program always starts empty.
  QCommandLineParser parser;
  parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Files (not opened)."));
  parser.parse(arguments);
  m_commandLineFiles = parser.positionalArguments();

  if (const QScreen* pScreen = QGuiApplication::primaryScreen()) {
    const QRect avail = pScreen->availableGeometry();
    pFrame->resize(avail.width() * 3 / 4, avail.height() * 3 / 4);
  }
  pFrame->show();
  m_bRunning = true;
  return true;
}

int CTremoluxApp::ExitInstance() {
  if (!m_bRunning) return 0;
  m_bRunning = false;
  m_pDocTemplate->CloseAllDocuments();
  QSettings settings;
  m_recentFileList.WriteList(settings);
  settings.sync();
  return 0;
}

CTremoluxDoc* CTremoluxApp::OpenDocumentFile(const QString& pathName) {
  C3dLoadError error = C3dLoadError::None;
  CTremoluxDoc* pDocument = m_pDocTemplate->OpenDocumentFile(pathName, &error);
  if (pDocument) {
    m_recentFileList.Add(pathName);
    UpdateRecentFileMenu();
    m_pMainWnd->ShowStatusMessage(QString());  // an earlier failure no longer stands: "Ready"
  } else {
    m_pMainWnd->ShowStatusMessage(OpenFailureText(pathName, error));
  }
  return pDocument;
}

QString CTremoluxApp::OpenFailureText(const QString& pathName, C3dLoadError error) {
  // The reader cannot tell a missing file from one it may not read; the
  // file system can.
  const QString reason = error == C3dLoadError::CannotOpen && !QFileInfo::exists(pathName)
                             ? Res::LoadString(Res::IDS_FILE_NOT_FOUND)
                             : QString::fromLatin1(LoadErrorText(error));
  return Res::LoadString(Res::IDS_OPEN_FAILED).arg(QDir::toNativeSeparators(pathName), reason);
}

void CTremoluxApp::OnFileOpen() {
  QFileDialog dialog(m_pMainWnd.get(), QStringLiteral("Open"), m_strLastDir);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(CDocTemplate::GetFilters());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString path = dialog.selectedFiles().constFirst();
  m_strLastDir = QFileInfo(path).absolutePath();
  OpenDocumentFile(path);
}

void CTremoluxApp::OnAppAbout() {
  CAboutDlg aboutDlg(m_pMainWnd.get());
  aboutDlg.DoModal();
}

void CTremoluxApp::OnOpenRecentFile(int index) {
  if (index < 0 || index >= m_recentFileList.GetCount()) return;
  const QString path = m_recentFileList[index];
  if (!OpenDocumentFile(path)) {
    m_recentFileList.Remove(index);
    UpdateRecentFileMenu();
  }
}

void CTremoluxApp::UpdateRecentFileMenu() {
  QStringList names;
  const QString currentDir = QDir::currentPath();
  for (int i = 0; i < m_recentFileList.GetCount(); ++i)
    names.append(m_recentFileList.GetDisplayName(i, currentDir, Res::kRecentFileDisplayChars));
  m_pMainWnd->SetRecentFiles(names);
}
