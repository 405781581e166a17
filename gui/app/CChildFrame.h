#pragma once

#include <QMdiSubWindow>

class CTremoluxView;

// One document window inside the main window's MDI area: a frame around one
// CTremoluxView, which it owns (Qt child). Owned by the MDI area; deletes
// itself when closed. Closing the last window of a document closes the
// document. Its icon is the document template's, set by the template.
class CChildFrame : public QMdiSubWindow {
  Q_OBJECT

 public:
  explicit CChildFrame(QWidget* parent = nullptr);

  // Puts pView in the frame (the frame takes ownership).
  void SetView(CTremoluxView* pView);
  CTremoluxView* GetActiveView() const { return m_pView; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  CTremoluxView* m_pView = nullptr;
};
