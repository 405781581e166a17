#include "gui/sound/CPlotView.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "core/Messages.h"

namespace {

// Pixels between a tick and its label, and at least between two labels.
constexpr int kLabelGap = 3;
constexpr int kLabelSpacing = 12;

}  // namespace

CPlotView::CPlotView(CAnalogPlot* plot, QWidget* parent)
    : QWidget(parent), m_plot(plot), m_bAdopted(plot != nullptr) {
  setObjectName(QStringLiteral("PlotView"));
  if (!m_plot) m_plot = new CAnalogPlot(this);
  m_plot->setParent(this);
  m_pReadout = new QLabel(this);
  m_pReadout->setObjectName(QStringLiteral("PlotReadout"));
  m_pReadout->setTextFormat(Qt::PlainText);
  m_pReadout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  m_pReadout->setAutoFillBackground(true);  // covers the ruler's row where it stands
  m_pReadout->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_pReadout->hide();
  m_pRuler = new CPlotRuler(m_plot, m_pReadout, this);
  m_pReadout->raise();
  m_plot->show();
  m_pRuler->show();
  connect(m_plot, &CAnalogPlot::RangeDrawn, m_pRuler, qOverload<>(&QWidget::update));
  connect(m_plot, &CAnalogPlot::ViewChanged, m_pRuler, qOverload<>(&QWidget::update));
  connect(m_plot, &CAnalogPlot::Hovered, this, &CPlotView::ShowReadout);
  connect(m_plot, &CAnalogPlot::Left, this, [this] {
    m_bHovering = false;
    UpdateReadout();
  });
  connect(m_plot, &CAnalogPlot::SelectionChanged, this, &CPlotView::UpdateReadout);
  // Another channel or file shows its own selection (or none); read after
  // the paint that drew it.
  connect(m_plot, &CAnalogPlot::RangeDrawn, this, &CPlotView::UpdateReadout, Qt::QueuedConnection);
  PlaceParts();
}

CPlotView::~CPlotView() {
  // An adopted plot is its owner's: taken out before Qt deletes the children.
  if (m_bAdopted && m_plot) m_plot->setParent(nullptr);
}

int CPlotView::RulerHeight() const { return m_pRuler->sizeHint().height(); }

void CPlotView::SetPlotRect(const QRect& plotRect) {
  setGeometry(plotRect.adjusted(0, -RulerHeight(), 0, 0));
  PlaceParts();  // a hidden widget gets its resize event only when shown
}

void CPlotView::resizeEvent(QResizeEvent* event) {
  PlaceParts();
  QWidget::resizeEvent(event);
}

void CPlotView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) PlaceParts();
  QWidget::changeEvent(event);
}

void CPlotView::PlaceParts() {
  const int ruler = RulerHeight();
  m_pRuler->setGeometry(0, 0, width(), ruler);
  m_plot->setGeometry(0, ruler, width(), std::max(0, height() - ruler));
  if (m_pReadout->isVisible()) {
    const int w = std::min(width(), m_pReadout->sizeHint().width() + 2 * kLabelGap);
    m_pReadout->setGeometry(width() - w, 0, w, std::max(0, ruler - 1));
  }
}

void CPlotView::ShowReadout(double x) {
  m_bHovering = true;
  m_hoverX = x;
  UpdateReadout();
}

void CPlotView::UpdateReadout() {
  QString text = m_bHovering ? m_plot->ReadoutAt(m_hoverX) : QString();
  if (const std::optional<PlotRange> selected = m_plot->Selection()) {
    if (!text.isEmpty()) text += QStringLiteral("   ");
    text += plotselection::Describe(*selected, m_plot->SecondsPerSample());
  }
  m_pReadout->setText(text);
  m_pReadout->setVisible(!text.isEmpty());
  PlaceParts();
  m_pRuler->update();
}

CPlotRuler::CPlotRuler(const CAnalogPlot* plot, const QLabel* readout, QWidget* parent)
    : QWidget(parent), m_plot(plot), m_readout(readout) {
  setObjectName(QStringLiteral("PlotRuler"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

QSize CPlotRuler::sizeHint() const {
  // A line of text, and a pixel above and below it.
  return QSize(100, fontMetrics().height() + 2);
}

double CPlotRuler::TickStep(double seconds, int pixels, int minPixels) {
  if (!(seconds > 0.0) || pixels <= 0) return 1.0;
  const double least = seconds * std::max(1, minPixels) / pixels;
  const double power = std::pow(10.0, std::floor(std::log10(least)));
  for (const double m : {1.0, 2.0, 5.0})
    if (m * power >= least) return m * power;
  return 10.0 * power;
}

bool CPlotRuler::ShownSeconds(double& start, double& end) const {
  const double perSample = m_plot->SecondsPerSample();
  const PlotRange range = m_plot->VisibleRange();
  if (m_plot->m_nChannel < 0 || perSample <= 0.0 || range.last - range.first < 2) return false;
  start = static_cast<double>(range.first) * perSample;
  end = static_cast<double>(range.last - 1) * perSample;
  return true;
}

void CPlotRuler::paintEvent(QPaintEvent*) {
  double start = 0.0;
  double end = 0.0;
  if (!ShownSeconds(start, end)) return;
  const double perSample = m_plot->SecondsPerSample();
  const PlotRange range = m_plot->VisibleRange();
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics metrics = fontMetrics();
  // The widest label the span can have decides how far apart labels go.
  const QString widest =
      QString::fromLatin1(Messages::kPlotRulerLabel).arg(QString::number(end, 'f', 6).left(9));
  const int inside = m_plot->contentsRect().width();
  const double step =
      TickStep(end - start, inside, metrics.horizontalAdvance(widest) + kLabelGap + kLabelSpacing);
  const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step))), 0, 9);
  // The bottom edge lies on the plot's top edge; ticks rise from it through
  // the whole row, each label beside its tick.
  const int bottom = height() - 1;
  painter.drawLine(QLineF(m_plot->ColumnOf(static_cast<double>(range.first)), bottom,
                          m_plot->ColumnOf(static_cast<double>(range.last - 1)), bottom));
  const QRect covered =
      m_readout != nullptr && m_readout->isVisible() ? m_readout->geometry() : QRect();
  for (double k = std::ceil(start / step); k * step <= end; k += 1.0) {
    const double seconds = k * step;
    // The plot's columns are the ruler's: both share the same left edge.
    const int x = static_cast<int>(std::lround(m_plot->ColumnOf(seconds / perSample)));
    painter.drawLine(x, 1, x, bottom);
    const QString label =
        QString::fromLatin1(Messages::kPlotRulerLabel).arg(QString::number(seconds, 'f', decimals));
    const int w = metrics.horizontalAdvance(label);
    // Right of the tick; left of it where the row ends first.
    const int left = x + kLabelGap + w <= width() ? x + kLabelGap : x - kLabelGap - w;
    const QRect box(left, 0, w, height() - 1);
    if (left < 0 || box.intersects(covered)) continue;
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, label);
  }
}
