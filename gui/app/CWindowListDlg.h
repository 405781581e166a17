#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>

class QListWidget;
class QMdiSubWindow;

// "Select Window": every document window by caption, in the Window menu's
// order, the active one selected. OK, Enter or a double-click chooses the
// selected window. Shown by the Window menu's "More Windows..." when there
// are more windows than the menu lists; lives on the stack of that command.
// Points at the windows without owning them; one closed meanwhile is skipped.
class CWindowListDlg : public QDialog {
  Q_OBJECT

 public:
  CWindowListDlg(const QList<QMdiSubWindow*>& windows, QMdiSubWindow* pActive,
                 QWidget* parent = nullptr);

  // The window chosen (valid after exec() returned Accepted); null when
  // none is selected or it has closed.
  QMdiSubWindow* GetSelectedWindow() const;
  QListWidget* List() const { return m_pList; }

 private:
  QListWidget* m_pList;
  QList<QPointer<QMdiSubWindow>> m_windows;  // row i shows m_windows[i]
};
