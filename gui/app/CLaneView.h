#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <vector>

#include "core/c3d/TrialEvents.h"
#include "core/plot/PlotGeometry.h"

class CC3d;
class CChannelSummaries;
class CAnalogPlot;

// Every analog channel of one loaded file drawn as a lane, one above the
// other on one time axis: the channel's label and units (and "constant" for
// a channel whose samples never change) in a column at the left, its trace
// beside them, and a time ruler in seconds along the top. Each lane is the
// sound dialog's plot of the visible range at the lane's size
// (RenderAnalogPlot over the channel's summary), the file's events drawn
// over it as the plot's lines without their labels; lanes wait for their
// summary when the channel is long. Lanes keep file order; when they do not
// fit at a readable height (MinLaneHeight) the area scrolls.
//
// One range is shown for all lanes: the wheel over the traces zooms around
// the mouse, a drag pans, a double-click shows the whole recording. The
// ruler row shows the time and the value of the lane under the mouse, in
// its units. A double-click on a label, or Enter on the lane with the focus
// (Up and Down move it), asks for that channel's sound dialog
// (OpenChannel). While a followed sound-dialog plot shows its playhead, the
// lanes show it too.
//
// Owned by its parent widget (the document's view); points at, but does not
// own, the CC3d and the document's summaries, which must outlive it or be
// taken away with SetFile(nullptr, nullptr).
class CLaneView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit CLaneView(QWidget* parent = nullptr);
  ~CLaneView() override;

  // Shows every channel of c3d (null: nothing), the whole recording, lanes
  // drawn from `summaries` as they arrive (may be null: lanes then read the
  // samples themselves).
  void SetFile(const CC3d* c3d, CChannelSummaries* summaries);
  const CC3d* File() const { return m_pC3d; }
  // Channel `channel`'s label as listed (the sound dialog's name, without
  // trailing blanks), and its units; empty for no such channel.
  QString Label(int channel) const { return m_labels.value(channel); }
  QString Units(int channel) const { return m_units.value(channel); }

  // The channels drawn, in file order (all of them after SetFile).
  const std::vector<int>& ShownChannels() const { return m_shown; }
  // Draws exactly `channels` (indices of analog channels; sorted into file
  // order, unknown ones and repeats dropped).
  void SetShownChannels(std::vector<int> channels);

  // The samples [first, last) every lane shows: the whole recording ({0, n})
  // unless zoomed.
  PlotRange VisibleRange() const { return PlotRange{m_first, m_last}; }
  // Shows the samples [first, last) in every lane (clamped; at least two
  // samples, as the sound dialog's plot).
  void SetVisibleRange(std::int64_t first, std::int64_t last);
  // Shows the whole recording again.
  void ResetZoom();

  // The smallest lane height in pixels: two lines of the view's font.
  int MinLaneHeight() const;
  // Height of the ruler row along the top.
  int RulerHeight() const;
  // Width of the label column.
  int LabelWidth() const;
  // Where channel `channel`'s trace and label lie in the viewport (scrolled
  // as shown; they may lie outside it); empty when the channel is not shown.
  QRect TraceRect(int channel) const;
  QRect LabelRect(int channel) const;
  // The shown channel whose lane holds viewport row y (-1 for none).
  int ChannelAtY(int y) const;
  // Sample position (fractional) under viewport column x, and the column of
  // a sample position; -1 without a range.
  double SampleAt(double x) const;
  double ColumnOf(double sample) const;
  // The readout for viewport point p: time, the value of the lane there and
  // its units; empty away from the traces.
  QString ReadoutAt(const QPoint& p) const;
  // The channel of the lane with the keyboard focus, -1 when none is shown.
  int FocusChannel() const;
  void SetFocusChannel(int channel);

  // Follows the playhead of `plot` (a sound dialog's) while it lives; null
  // stops following.
  void FollowPlayhead(const CAnalogPlot* plot);
  // The playhead's sample, or -1 when none is drawn.
  double PlayheadSample() const { return m_playSample; }

  QSize sizeHint() const override;

 signals:
  // The user asked to hear `channel` (double-click on its label, Enter).
  void OpenChannel(int channel);
  // The visible range changed.
  void ViewChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  std::int64_t SampleCount() const;
  double SecondsPerSample() const;
  int LaneHeight() const;
  int LaneTop(int lane) const;  // viewport row of shown lane `lane`'s top
  int TraceLeft() const { return LabelWidth(); }
  int TraceWidth() const;
  void UpdateScrollBar();
  // The ruler row: its ticks and labels in seconds, and the readout over
  // its right end (`covered`, where no label goes).
  void PaintRuler(QPainter& painter);
  void PaintTicks(QPainter& painter, const QRect& covered);
  void PaintLane(QPainter& painter, int lane, const QRect& clip);
  void OnSummaryReady(int channel);
  void OnPlayheadTick();

  // A lane's trace as last drawn, and what it was drawn for: a repaint of
  // the same range at the same size (scrolling, the readout, the playhead,
  // another lane's summary arriving) copies it instead of drawing again.
  struct LaneImage {
    QImage image;
    PlotRange range;
    qint64 paletteKey = 0;
  };
  // True when channel `channel`'s image shows the visible range at `size`.
  bool ImageCurrent(int channel, const QSize& size) const;
  // Draws the images of `channels` for the visible range at `size`, on
  // several threads; returns when all are drawn.
  void DrawImages(const std::vector<int>& channels, const QSize& size);
  // Copies channel `channel`'s image into `trace` (the viewport's pixels);
  // the background alone while it has none (its summary is on its way).
  void PaintTrace(QPainter& painter, int channel, const QRect& trace);

  const CC3d* m_pC3d = nullptr;
  std::vector<LaneImage> m_images;  // per channel of the file
  QPointer<CChannelSummaries> m_pSummaries;
  std::vector<int> m_shown;
  QStringList m_labels;  // per channel of the file
  QStringList m_units;
  std::vector<char> m_constant;            // per channel: its samples never change
  std::vector<c3d::SampleEvent> m_events;  // the file's events, drawn as lines on every lane
  mutable int m_labelWidth = 0;  // measured on first use after the labels or the font change
  std::int64_t m_first = 0;
  std::int64_t m_last = 0;
  int m_focusLane = 0;  // index into m_shown
  // A drag in progress: where it started and the range's first sample then.
  bool m_dragging = false;
  double m_dragX = 0.0;
  std::int64_t m_dragFirst = 0;
  QPoint m_mouse{-1, -1};  // last mouse position over the viewport; x < 0: away
  QPointer<const CAnalogPlot> m_followed;
  QTimer m_playheadTimer;
  double m_playSample = -1.0;
};
