#include "gui/app/CTremoluxDoc.h"

#include <QDir>
#include <QFileInfo>

#include "core/Messages.h"
#include "gui/app/CChildFrame.h"
#include "gui/app/CDocTemplate.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTremoluxView.h"
#include "gui/platform/MessageBox.h"
#include "gui/platform/WaitCursor.h"
#include "gui/res/ResourceIds.h"
#include "gui/res/StringTable.h"

CTremoluxDoc::CTremoluxDoc(CDocTemplate* pDocTemplate) : m_pDocTemplate(pDocTemplate) {}

CTremoluxDoc::~CTremoluxDoc() {
  // Views normally leave through RemoveView or OnCloseDocument; one that is
  // still here (its frame outlived the template) must not call back.
  for (CTremoluxView* pView : m_views) pView->ForgetDocument();
}

bool CTremoluxDoc::OnNewDocument() { return false; }

bool CTremoluxDoc::OnOpenDocument(const QString& pathName) {
  // The reader takes the path as 8-bit bytes, the form the file system uses.
  m_c3d.m_strPathName = QFile::encodeName(pathName).toStdString();
  bool loaded = false;
  {
    CWaitCursor wait;  // a large file takes a moment
    loaded = m_c3d.Load();
  }
  if (!loaded) {
    ReportLoadError();
    return false;
  }
  m_strPathName = pathName;
  m_strCanonicalPath = QFileInfo(pathName).canonicalFilePath();
  m_strTitle = QFileInfo(pathName).fileName();
  m_summaries.Start(m_c3d);
  UpdateFrameCounts();
  return true;
}

void CTremoluxDoc::ReportLoadError() const {
  QWidget* pParent = m_pDocTemplate->GetMainFrame();
  switch (m_c3d.m_loadError) {
    case C3dLoadError::NotEnoughMemory:
      ShowMessageBox(pParent, Messages::kNotEnoughMemory);
      break;
    case C3dLoadError::ReadError:
    case C3dLoadError::Shrank: {
      // A file that exists and looked like C3D but could not be read to the
      // end: say which file and why, as a file-error box does.
      const QString path = QDir::toNativeSeparators(QFile::decodeName(m_c3d.m_strPathName.c_str()));
      ShowMessageBox(pParent, Res::LoadString(Res::IDS_CANNOT_READ_FILE)
                                  .arg(path, QString::fromLatin1(LoadErrorText(m_c3d.m_loadError)))
                                  .toStdString());
      break;
    }
    default:
      // Missing files and files that are not C3D are passed over in silence.
      break;
  }
}

void CTremoluxDoc::OnCloseDocument() {
  if (m_bClosing) return;
  m_bClosing = true;
  m_summaries.Clear();  // no thread reads the samples any more
  m_c3d.Clear();
  const std::vector<CTremoluxView*> views = std::move(m_views);
  m_views.clear();
  for (CTremoluxView* pView : views) {
    pView->ForgetDocument();
    if (CChildFrame* pFrame = pView->GetParentFrame()) pFrame->close();
  }
  m_pDocTemplate->RemoveDocument(this);  // deletes this document
}

void CTremoluxDoc::AddView(CTremoluxView* pView) {
  m_views.push_back(pView);
  UpdateFrameCounts();
}

void CTremoluxDoc::RemoveView(CTremoluxView* pView) {
  std::erase(m_views, pView);
  if (m_bClosing) return;
  if (m_views.empty()) {
    OnCloseDocument();  // deletes this document
    return;
  }
  UpdateFrameCounts();
}

void CTremoluxDoc::UpdateFrameCounts() {
  const bool numbered = m_views.size() > 1;
  int n = 0;
  for (CTremoluxView* pView : m_views) {
    ++n;
    if (CChildFrame* pFrame = pView->GetParentFrame())
      pFrame->setWindowTitle(numbered ? QStringLiteral("%1:%2").arg(m_strTitle).arg(n)
                                      : m_strTitle);
  }
}
