#pragma once

#include <QObject>
#include <QString>
#include <vector>

#include "core/c3d/C3d.h"
#include "gui/app/CChannelSummaries.h"

class CDocTemplate;
class CTremoluxView;

// One opened C3D file. Owns its CC3d (by value) for its whole life and the
// summaries of its channels, and keeps the list of views that show it (not
// owned: each view belongs to its child frame). Created, owned and deleted by its CDocTemplate.
// Never modified by the program and never written back: closing never asks to save.
class CTremoluxDoc : public QObject {
  Q_OBJECT

 public:
  explicit CTremoluxDoc(CDocTemplate* pDocTemplate);
  ~CTremoluxDoc() override;

  // A new, empty document is refused: always false.
  bool OnNewDocument();

  // Loads the file at pathName into m_c3d. True when it was read; the path
  // and title are then recorded. False leaves the document to be closed by
  // the caller; a file that does not exist or is not a C3D file fails
  // silently, a read error or a lack of memory is shown in a modal box.
  bool OnOpenDocument(const QString& pathName);

  // Releases what m_c3d loaded, closes every window on the document and has
  // the template delete it. The document is gone when this returns: the
  // caller must not touch it afterwards. A second call does nothing.
  void OnCloseDocument();

  // The document is never changed by the program.
  bool IsModified() const { return false; }

  // The full path given to OnOpenDocument, and its file name (the title).
  const QString& GetPathName() const { return m_strPathName; }
  // The file's path with links, "." and ".." resolved, as it was when the
  // document opened; empty until then. What FindDocument compares.
  const QString& GetCanonicalPath() const { return m_strCanonicalPath; }
  const QString& GetTitle() const { return m_strTitle; }
  CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

  // Views showing this document, in the order they were added.
  const std::vector<CTremoluxView*>& GetViews() const { return m_views; }
  void AddView(CTremoluxView* pView);
  // Forgets pView; when it was the last view the document closes itself
  // (OnCloseDocument), so the caller must not touch the document afterwards.
  void RemoveView(CTremoluxView* pView);

  // The loaded file. Read by the view and the sound dialog while the
  // document lives; never changed after a successful open.
  CC3d m_c3d;
  // The min/max summary of each of m_c3d's channels, built off the GUI
  // thread once the file has loaded; stopped before m_c3d is released (and,
  // declared after it, destroyed before it).
  CChannelSummaries m_summaries;

 private:
  // Child-window captions: the title, with ":n" when several windows show
  // the document.
  void UpdateFrameCounts();
  // The modal box for a failed Load, when the reason deserves one.
  void ReportLoadError() const;

  CDocTemplate* m_pDocTemplate;
  QString m_strPathName;
  QString m_strCanonicalPath;  // resolved once at open: a lookup then costs no file-system call
  QString m_strTitle;
  std::vector<CTremoluxView*> m_views;
  bool m_bClosing = false;
};
