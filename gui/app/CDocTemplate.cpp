#include "gui/app/CDocTemplate.h"

#include <QFileInfo>
#include <QMdiArea>

#include "gui/app/CChildFrame.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/app/CTremoluxView.h"
#include "gui/res/ResourceIds.h"

CDocTemplate::CDocTemplate(CMainFrame* pMainFrame)
    : m_pMainFrame(pMainFrame), m_icon(QString::fromLatin1(Res::kImageC3dType)) {}

CDocTemplate::~CDocTemplate() { CloseAllDocuments(); }

QStringList CDocTemplate::GetFilters() {
  return {QStringLiteral("C3d Files (*.c3d)"), QStringLiteral("All Files (*)")};
}

CTremoluxDoc* CDocTemplate::OpenDocumentFile(const QString& pathName, C3dLoadError* pError) {
  if (pError) *pError = C3dLoadError::None;
  if (CTremoluxDoc* pOpen = FindDocument(pathName)) {
    if (!pOpen->GetViews().empty())
      m_pMainFrame->MDIActivate(pOpen->GetViews().front()->GetParentFrame());
    return pOpen;
  }
  m_docs.push_back(std::make_unique<CTremoluxDoc>(this));
  CTremoluxDoc* pDocument = m_docs.back().get();
  if (!pDocument->OnOpenDocument(pathName)) {
    if (pError) *pError = pDocument->m_c3d.m_loadError;
    // Closing releases whatever the failed load built, then deletes it.
    pDocument->OnCloseDocument();
    return nullptr;
  }
  CreateNewFrame(pDocument);
  return pDocument;
}

CTremoluxDoc* CDocTemplate::FindDocument(const QString& pathName) const {
  const QString wanted = QFileInfo(pathName).canonicalFilePath();
  if (wanted.isEmpty()) return nullptr;
#ifdef Q_OS_WIN
  constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseInsensitive;
#else
  constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;
#endif
  // Each open document's path was resolved when it opened: resolving them
  // all again here would make a drop of N files cost N * N / 2 resolutions.
  for (const auto& pDocument : m_docs) {
    if (pDocument->GetCanonicalPath().isEmpty()) continue;  // still loading
    if (pDocument->GetCanonicalPath().compare(wanted, kFileNameCase) == 0) return pDocument.get();
  }
  return nullptr;
}

CTremoluxDoc* CDocTemplate::OpenNewDocument() {
  m_docs.push_back(std::make_unique<CTremoluxDoc>(this));
  CTremoluxDoc* pDocument = m_docs.back().get();
  if (!pDocument->OnNewDocument()) {
    pDocument->OnCloseDocument();
    return nullptr;
  }
  CreateNewFrame(pDocument);
  return pDocument;
}

CChildFrame* CDocTemplate::CreateNewFrame(CTremoluxDoc* pDocument) {
  auto* pFrame = new CChildFrame;
  pFrame->setWindowIcon(m_icon);
  pFrame->SetView(new CTremoluxView(pDocument, pFrame));
  m_pMainFrame->MdiArea()->addSubWindow(pFrame);
  pFrame->show();
  m_pMainFrame->MdiArea()->setActiveSubWindow(pFrame);
  return pFrame;
}

void CDocTemplate::CloseAllDocuments() {
  while (!m_docs.empty()) m_docs.back()->OnCloseDocument();
}

void CDocTemplate::RemoveDocument(CTremoluxDoc* pDocument) {
  std::erase_if(m_docs, [pDocument](const auto& p) { return p.get() == pDocument; });
}
