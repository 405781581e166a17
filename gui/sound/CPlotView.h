#pragma once

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include "gui/sound/CAnalogPlot.h"

class CPlotRuler;

// The sound dialog's plot as one control: a time ruler in a row of text
// just above the plot area (CAnalogPlot), and a readout of the time and
// value under the mouse at the right end of that row while the mouse is
// over the plot, followed by the selection's start, end and length while
// there is one (then shown alone when the mouse is away). The owner places the view like any
// control (SetPlotRect); the view places its parts. The ruler repaints whenever the plot draws
// another range, so it always reads the range drawn.
//
// Owns the ruler and the readout (Qt children). The plot is either its own
// (created when none is given) or adopted: a plot the owner keeps (the
// dialog's m_plot, by value) becomes a Qt child of the view but is never
// deleted by it.
class CPlotView : public QWidget {
  Q_OBJECT

 public:
  explicit CPlotView(CAnalogPlot* plot = nullptr, QWidget* parent = nullptr);
  ~CPlotView() override;
  CPlotView(const CPlotView&) = delete;
  CPlotView& operator=(const CPlotView&) = delete;

  CAnalogPlot& Plot() const { return *m_plot; }
  CPlotRuler* Ruler() const { return m_pRuler; }
  QLabel* Readout() const { return m_pReadout; }

  // Height in pixels of the ruler row above the plot: a line of the view's
  // font (the dialog's) and a pixel each side.
  int RulerHeight() const;
  // Places the view in its parent so that the plot area covers `plotRect`
  // exactly (the parent's coordinates); the ruler row lies above it.
  void SetPlotRect(const QRect& plotRect);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void PlaceParts();
  void ShowReadout(double x);
  // Writes the readout for what it shows now: the mouse's place (when
  // m_bHovering) and the selection; hidden when both are absent.
  void UpdateReadout();

  QPointer<CAnalogPlot> m_plot;
  bool m_bAdopted = false;  // m_plot is the owner's, not the view's
  CPlotRuler* m_pRuler = nullptr;
  QLabel* m_pReadout = nullptr;
  bool m_bHovering = false;  // the mouse is over the plot, at column m_hoverX
  double m_hoverX = 0.0;
};

// The time ruler of a CPlotView: ticks and labels in seconds for the range
// the plot shows, aligned with its columns (the ruler and the plot share
// their left edge). Each label stands beside its tick, right of it (left of
// it where the row ends), in the view's font. Labels under a shown readout
// are left out. Created and owned by the view; reads the plot when painting.
class CPlotRuler : public QWidget {
  Q_OBJECT

 public:
  CPlotRuler(const CAnalogPlot* plot, const QLabel* readout, QWidget* parent);
  QSize sizeHint() const override;
  // The seconds between two labelled ticks for a span of `seconds` over
  // `pixels`: 1, 2 or 5 times a power of ten, at least `minPixels` apart.
  static double TickStep(double seconds, int pixels, int minPixels);
  // The seconds of the first and the last sample the plot shows, as the
  // ruler labels them; false when it shows no channel.
  bool ShownSeconds(double& start, double& end) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const CAnalogPlot* m_plot;
  const QLabel* m_readout;
};
