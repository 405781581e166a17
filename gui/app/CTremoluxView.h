#pragma once

#include <QWidget>

class CAnalogPlot;
class CChildFrame;
class CTremoluxDoc;
class CLaneChooser;
class CLaneView;
class QLabel;
class QPlainTextEdit;
class QTabWidget;

// The client area of one document window, in two pages: "Channels", every
// analog channel of the document's file as a lane on one time axis
// (CLaneView) beside the list that hides and shows lanes (CLaneChooser), and
// "Summary", what the file holds (DescribeFile's summary), read-only,
// selectable and scrollable, on the window colour. A file without analog
// channels shows its summary, and says so where the lanes would be. Its
// commands open the sound dialog on its document ("Sound Dialog...", or on a
// lane's channel and range) and export the shown lanes as CSV.
// Owned by its CChildFrame (Qt parent); owns its pages (Qt children);
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
  void ForgetDocument();

  // "Sound Dialog...": runs the sound dialog modally on the document's
  // CC3d, over the main window, and returns when it closes. The result is
  // not used. A file without analog channels gets a message box saying so
  // instead of an empty dialog. Does nothing once the document has closed.
  void OnViewSoundDialog();

  // Opens the sound dialog on `channel` with the lanes' visible range
  // shown, the lanes following its playhead while it runs. Does nothing
  // once the document has closed or for a channel it does not have.
  void OnOpenChannel(int channel);

  // File > Export > "Channels as CSV...": asks for a file name and writes
  // the shown lanes' channels over the visible range there, whole or not at
  // all (a box says why it failed). Does nothing once the document has
  // closed or without analog channels.
  void OnFileExportCsv();

  // Fills the text area with the summary of the document's loaded file; for
  // the document, once its file has loaded. Empty once it has closed.
  void OnUpdate();
  // The text area (for tests and the window's focus).
  QPlainTextEdit* TextArea() const { return m_pText; }
  // The pages, the lanes and their list, and the line that stands in the
  // lanes' place for a file without analog channels (hidden otherwise).
  QTabWidget* Pages() const { return m_pPages; }
  CLaneView* Lanes() const { return m_pLanes; }
  CLaneChooser* Chooser() const { return m_pChooser; }
  QLabel* NoLanesMessage() const { return m_pNoLanes; }

  QSize sizeHint() const override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void UseDesktopFixedFont();
  // Lets a sound dialog's plot draw from the document's channel summaries.
  void ShareSummaries(CAnalogPlot& plot);

  CTremoluxDoc* m_pDocument;
  QTabWidget* m_pPages;
  CLaneView* m_pLanes;
  CLaneChooser* m_pChooser;
  QLabel* m_pNoLanes;
  QPlainTextEdit* m_pText;
};
