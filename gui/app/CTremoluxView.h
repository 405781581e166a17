#pragma once

#include <QWidget>

class CChildFrame;
class CTremoluxDoc;
class QPlainTextEdit;

// The client area of one document window: what the document's file holds
// (DescribeFile's summary), read-only, selectable and scrollable, on the
// window colour. Its one command opens the sound dialog on its document.
// Owned by its CChildFrame (Qt parent); owns its text area (Qt child);
// points at, but does not own, its document.
class CTremoluxView : public QWidget {
  Q_OBJECT

 public:
  // Attaches the view to pDocument (which must outlive the attachment).
  explicit CTremoluxView(CTremoluxDoc* pDocument, QWidget* parent = nullptr);
  ~CTremoluxView() override;

  // The document shown; null once it has closed.
  CTremoluxDoc* GetDocument() const { return m_pDocument; }
  // The child frame the view sits in; null before it is placed in one.
  CChildFrame* GetParentFrame() const;

  // Detaches the view from its document, which closes the document when
  // this was its last view. Safe to call more than once.
  void Detach();
  // Drops the pointer to the document without telling it: for the document
  // itself, when it closes.
  void ForgetDocument() { m_pDocument = nullptr; }

  // "Sound Dialog...": runs the sound dialog modally on the document's
  // CC3d, over the main window, and returns when it closes. The result is
  // not used. A file without analog channels gets a message box saying so
  // instead of an empty dialog. Does nothing once the document has closed.
  void OnViewSoundDialog();

  // Fills the text area with the summary of the document's loaded file; for
  // the document, once its file has loaded. Empty once it has closed.
  void OnUpdate();
  // The text area (for tests and the window's focus).
  QPlainTextEdit* TextArea() const { return m_pText; }

  QSize sizeHint() const override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void UseDesktopFixedFont();

  CTremoluxDoc* m_pDocument;
  QPlainTextEdit* m_pText;
};
