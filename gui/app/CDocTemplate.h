#pragma once

#include <QIcon>
#include <QStringList>
#include <memory>
#include <vector>

#include "core/c3d/C3d.h"

class CChildFrame;
class CMainFrame;
class CTremoluxDoc;

// The program's single kind of document: C3D files, each shown in child
// frames (CChildFrame) holding a CTremoluxView. Owns every open document
// and the one icon all its frames show; the frames it creates belong to the
// main frame's MDI area. Owned by the application object; the main frame
// must outlive it.
class CDocTemplate {
 public:
  explicit CDocTemplate(CMainFrame* pMainFrame);
  ~CDocTemplate();
  CDocTemplate(const CDocTemplate&) = delete;
  CDocTemplate& operator=(const CDocTemplate&) = delete;

  // The file dialog's filters, in order: this template's, then all files.
  static QStringList GetFilters();

  // Opens pathName as a new document in a new, active child window. A file
  // that is already open (FindDocument) is not read again: its first window
  // is activated (restored when minimized) and its document returned. Null
  // when the file could not be loaded; nothing is left open then, and
  // *pError (when given) holds the reason; C3dLoadError::None otherwise.
  CTremoluxDoc* OpenDocumentFile(const QString& pathName, C3dLoadError* pError = nullptr);

  // The open document of the file pathName: the same file however named
  // (relative, through links, "." and ".." resolved), compared without
  // regard to case where the file system ignores it; each document's path
  // as it resolved when the document opened. Null when none, or when
  // pathName names no existing file.
  CTremoluxDoc* FindDocument(const QString& pathName) const;

  // A request for a new, empty document: refused, leaves nothing. Null.
  CTremoluxDoc* OpenNewDocument();

  // Opens one more window on pDocument and activates it.
  CChildFrame* CreateNewFrame(CTremoluxDoc* pDocument);

  // Closes every document (each closes its windows).
  void CloseAllDocuments();

  // Deletes pDocument, which must be one of this template's; for the
  // document's own OnCloseDocument.
  void RemoveDocument(CTremoluxDoc* pDocument);

  int GetDocumentCount() const { return static_cast<int>(m_docs.size()); }
  CTremoluxDoc* GetDocument(int index) const { return m_docs.at(static_cast<size_t>(index)).get(); }
  CMainFrame* GetMainFrame() const { return m_pMainFrame; }

 private:
  CMainFrame* m_pMainFrame;
  // Shared by every frame: Qt caches an icon's rendered pixmaps under the
  // icon's own key, so an icon made per window would leave one more cached
  // picture behind each time a window opens.
  QIcon m_icon;
  std::vector<std::unique_ptr<CTremoluxDoc>> m_docs;
};
