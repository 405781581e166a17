#pragma once

#include <QFrame>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/plot/PlotGeometry.h"
#include "core/sound/Filters.h"
#include "gui/sound/PlotEvents.h"
#include "gui/sound/PlotSelection.h"

class CC3d;
class CFilteredPlot;
class CPlotSummary;
class QPainter;

// The plot area of the sound dialog: a sunken frame that paints one analog
// channel of a loaded file as a line graph over a dotted grid. The dialog
// sets m_pC3d and m_nChannel and calls update().
//
// The user can zoom and pan in time: the wheel zooms around the mouse, a
// drag pans, a double-click shows the whole channel again. Shift+drag
// selects a time range, shaded over the trace; a click outside it clears it. The visible
// samples are drawn as a channel holding only them (RenderAnalogPlot's range
// rules), so the unzoomed plot is the drawing of the whole channel. A
// summary of the channel, built on its first paint, keeps every paint short.
// A playhead, a vertical line at the position the application's sound
// player is heard at, follows a sound started with StartPlayhead until it
// ends or stops. Its time ruler and readout are not its own: CPlotView puts
// them beside it and follows its signals. With the sound's filters set
// (SetFilters) it draws the filtered values once they are made, off the GUI
// thread. The file's events stand on it as thin lines with short labels
// (their full text in a tooltip); "[" and "]" move the view to the
// previous and next event.
//
// Owns its summary, timer, filtered values and event list; its owner (the dialog, by value) owns
// the widget, the document the CC3d.
class CAnalogPlot : public QFrame {
  Q_OBJECT

 public:
  explicit CAnalogPlot(QWidget* parent = nullptr);
  ~CAnalogPlot() override;

  CC3d* m_pC3d = nullptr;  // the file whose channel is drawn; not owned
  int m_nChannel = -1;     // 0-based index into m_pC3d->m_analogs; -1 draws nothing
  // A second channel drawn over the first in its own colour, fitted to its
  // own extremes over the same samples (through the sound's filters, as the
  // first, once their values exist); -1 draws none.
  int m_nRightChannel = -1;

  // The samples [first, last) shown for the current channel: the whole
  // channel ({0, n}) unless the user zoomed this channel of this file.
  PlotRange VisibleRange() const;
  bool IsZoomed() const;
  // Shows the range [first, last) of the current channel (clamped, at least
  // two samples); a range covering the channel is the unzoomed plot.
  void SetVisibleRange(std::int64_t first, std::int64_t last);
  // Shows the whole channel again.
  void ResetZoom();

  // Where summaries of m_pC3d's channels may exist already (the document's,
  // made for its lanes): source(channel) is asked on each paint before the
  // plot builds a summary of its own, and what it gives is used for that
  // paint when it describes that channel of m_pC3d. An empty source (the
  // default) leaves the plot to build its own.
  void SetSummarySource(std::function<const CPlotSummary*(int channel)> source);

  // The selected samples [first, last) of the current channel (at least
  // one), or none.
  std::optional<PlotRange> Selection() const;
  // Selects [first, last) of the current channel, clamped to it; a range of
  // no sample clears the selection.
  void SetSelection(std::int64_t first, std::int64_t last);
  void ClearSelection();

  // Shows the playhead for a sound, now playing on the application's player,
  // made of the channel's samples from `firstSample` on at the file's analog
  // rate: it moves 50 times a second with the player's position and
  // disappears when the player stops or the sound ends.
  void StartPlayhead(std::int64_t firstSample);
  void StopPlayhead();
  // The playhead's column in widget pixels, or -1 when none is drawn.
  int PlayheadX() const;
  // The (fractional) sample the playhead stands at, or -1 when none is drawn.
  double PlayheadSample() const { return m_playSample; }

  // Sample position (fractional) under widget column x of the visible range,
  // and the widget column of a sample position; both -1 without a channel.
  double SampleAt(double x) const;
  double ColumnOf(double sample) const;
  // The filters the sound applies (empty: none). With filters, once their
  // values are made (CFilteredPlot, off the GUI thread), the trace and the
  // readout show the channel through them, as the sound is heard; until
  // then, and without filters, the stored values.
  void SetFilters(const std::vector<sound::FilterSpec>& filters);
  // True when the trace drawn is the filtered one.
  bool ShowsFiltered() const;
  // Centres the view on the next event after the view's centre (direction
  // > 0) or the last one before it, keeping the view's length; from the
  // whole channel, on the first (last) event, the view a fifth of the
  // channel long. Nothing without such an event.
  void GoToEvent(int direction);

  // Seconds per sample of the current file (0 when its analog rate is not positive).
  double SecondsPerSample() const;
  // The readout for widget column x: the time of the sample there, its
  // scaled value and the channel's units; empty without a channel.
  QString ReadoutAt(double x) const;

 signals:
  // The visible range changed (zoom, pan, reset).
  void ViewChanged();
  // The selection was made, changed or cleared.
  void SelectionChanged();
  // A paint drew another channel, file, range or width than the paint
  // before: whatever describes the drawing must be redrawn.
  void RangeDrawn();
  // The mouse is over widget column x (moved, wheeled, double-clicked).
  void Hovered(double x);
  // The mouse left the widget.
  void Left();

 protected:
  // Draws the visible range into the area inside the frame (one call to
  // RenderAnalogPlot), m_nRightChannel's trace over it (RenderOverlayTrace),
  // the events, the selection, the playhead, then the frame itself. The
  // wait cursor shows while a channel's summary is built (one pass over its
  // samples); the paints after it are short.
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  // A tooltip over an event's line gives the event; elsewhere the zoom hint.
  bool event(QEvent* event) override;

 private:
  std::int64_t SampleCount() const;
  void OnPlayheadTick();
  // Draws m_nRightChannel's trace over `range` into `inside`: through the
  // filters when their values are ready (m_pRightFiltered), else plain (its
  // summary built on first use).
  void PaintRightChannel(QPainter& painter, const QRect& inside, PlotRange range);
  // The filtered values of the channel and their summary when they are
  // drawn (ShowsFiltered); null otherwise.
  const CC3d* FilteredValues() const;
  // The events' marks for the visible range at the current width.
  std::vector<PlotEventMark> EventMarks() const;
  // A click at column x (no drag): clears a selection it lies outside of.
  void OnClick(double x);

  // The summary of `channel` for a paint: the source's when it has one,
  // else `own`, built on first use (one pass over the channel).
  const CPlotSummary* SummaryOf(int channel, std::unique_ptr<CPlotSummary>& own);

  std::function<const CPlotSummary*(int)> m_summarySource;
  std::unique_ptr<CPlotSummary> m_summary;       // of the channel last painted
  std::unique_ptr<CPlotSummary> m_rightSummary;  // of the overlaid channel last painted
  std::vector<sound::FilterSpec> m_filters;      // the sound's; empty: none
  CFilteredPlot* m_pFiltered = nullptr;          // Qt child
  CFilteredPlot* m_pRightFiltered = nullptr;     // Qt child: the overlaid channel's
  mutable CPlotEvents m_events;                  // a cache of the file's events, read once per file
  // The event "[" or "]" last centred and the view it gave: from that view
  // the next press goes on from the event, not from the clamped centre.
  std::int64_t m_eventTarget = -1;
  PlotRange m_eventView;
  // The zoomed range and the channel it belongs to; another channel or file
  // shows its whole length.
  bool m_zoomed = false;
  const CC3d* m_zoomC3d = nullptr;
  int m_zoomChannel = -1;
  std::int64_t m_zoomCount = 0;  // the channel's n when zoomed
  std::int64_t m_first = 0;
  std::int64_t m_last = 0;
  // A drag in progress: where it started and the range's first sample then.
  bool m_dragging = false;
  double m_dragX = 0.0;
  std::int64_t m_dragFirst = 0;
  bool m_dragMoved = false;  // beyond the drag distance: a pan, not a click
  // The selection, and a Shift+drag making it: the sample it started at
  // and the selection before it (back when the drag selects nothing).
  CPlotSelection m_selection;
  bool m_selecting = false;
  double m_selectFrom = 0.0;
  std::optional<PlotRange> m_selectionBefore;
  // The playhead: the sound's first sample, the sample heard now (-1: none).
  QTimer m_playheadTimer;
  std::int64_t m_playFirst = 0;
  double m_playSample = -1.0;
  // What the last paint drew, to tell RangeDrawn from a repaint.
  const CC3d* m_drawnC3d = nullptr;
  int m_drawnChannel = -1;
  PlotRange m_drawnRange;
  int m_drawnWidth = -1;
};
