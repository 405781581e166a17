#include <QCheckBox>
#include <QPushButton>

#include "core/Messages.h"
#include "gui/platform/DialogUnits.h"
#include "gui/sound/CAnalogSoundDlg.h"

// The sound dialog's part of a selection that loops: which part of the
// channel Play and Save take (the plot's selection before a zoom), and the
// Loop check box, in the left column right of the Filter label.

namespace {

// The Loop check box's rectangle in dialog units: in the left column, right
// of the Filter (or Pitch) label, the one free place near Play and Stop
// ("Tick at events" holds the bottom corner). The column does not move when
// the dialog grows, and neither does the box.
const QRect kLoopRect(33, 141, 28, 10);

}  // namespace

std::optional<PlotRange> CAnalogSoundDlg::PlayedPart(int channel) const {
  if (channel != m_plot.m_nChannel) return std::nullopt;
  if (const std::optional<PlotRange> selected = m_plot.Selection()) return selected;
  // Zoomed, a sound is made of the visible samples alone.
  if (m_plot.IsZoomed()) return m_plot.VisibleRange();
  return std::nullopt;
}

bool CAnalogSoundDlg::IsLooping() const { return m_pLoop != nullptr && m_pLoop->isChecked(); }

void CAnalogSoundDlg::CreateLoopBox() {
  m_pLoop = new QCheckBox(QString::fromLatin1(Messages::kLoopLabel), this);  // Alt+P
  m_pLoop->setObjectName(QStringLiteral("IDC_LOOP"));
  m_pLoop->setToolTip(QString::fromLatin1(Messages::kLoopTip));
  QWidget::setTabOrder(m_pStop, m_pLoop);
}

void CAnalogSoundDlg::PlaceLoopBox() {
  if (m_pLoop == nullptr) return;
  const QRect r = CDialogUnits(font()).Map(kLoopRect);
  // As tall as the style's box and a line of text need, its bottom kept,
  // and clear of the Filter (or Pitch) box under it where pixels round.
  const int height = std::max(r.height(), m_pLoop->sizeHint().height());
  const int bottom = std::min(r.bottom(), m_pComboFilter->geometry().top() - 1);
  m_pLoop->setGeometry(r.x(), bottom + 1 - height, std::max(r.width(), m_pLoop->sizeHint().width()),
                       height);
}
