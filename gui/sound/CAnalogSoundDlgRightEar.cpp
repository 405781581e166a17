#include <QAbstractItemView>
#include <QLabel>
#include <QSignalBlocker>
#include <algorithm>

#include "core/Messages.h"
#include "gui/platform/DialogUnits.h"
#include "gui/sound/CAnalogSoundDlg.h"

// The sound dialog's Right ear choice: a second channel heard in the right
// ear and overlaid on the plot. Its row sits in the strip above the plot,
// right of Sound, where the hint line's first columns were; the hint line
// runs above the row.

namespace {

// In dialog units (x, y, width, height), as the layout's other rectangles;
// the combo's height is that of its dropped list.
const QRect kRightEarLabelRect(229, 10, 30, 8);
const QRect kRightEarRect(262, 8, 41, 100);

}  // namespace

void CAnalogSoundDlg::CreateRightEar() {
  m_pLabelRightEar = new QLabel(QString::fromLatin1(Messages::kRightEarLabel), this);
  m_pComboRightEar = new QComboBox(this);
  m_pLabelRightEar->setBuddy(m_pComboRightEar);  // Alt+R
  m_pComboRightEar->setToolTip(QString::fromLatin1(Messages::kRightEarTip));
  m_pComboRightEar->setObjectName(QStringLiteral("IDC_RIGHT_EAR"));
  m_pComboRightEar->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
  m_pComboRightEar->addItem(QString::fromLatin1(Messages::kRightEarNone));
  QWidget::setTabOrder(m_pComboSound, m_pComboRightEar);  // its neighbour in the strip
  connect(m_pComboRightEar, &QComboBox::currentIndexChanged, this,
          &CAnalogSoundDlg::OnSelchangeRightEar);
}

void CAnalogSoundDlg::FillRightEarCombo(const QStringList& names) {
  const QSignalBlocker quiet(m_pComboRightEar);
  m_pComboRightEar->clear();
  m_pComboRightEar->addItem(QString::fromLatin1(Messages::kRightEarNone));
  m_pComboRightEar->addItems(names);
  m_pComboRightEar->setCurrentIndex(0);
  // Channel labels are longer than the closed box: the list opens as wide
  // as the channel list does.
  m_pComboRightEar->view()->setMinimumWidth(m_comboChannel.view()->minimumWidth());
  OnSelchangeRightEar();
}

void CAnalogSoundDlg::PlaceRightEar(int grow) {
  const CDialogUnits du(font());
  QRect label = du.Map(kRightEarLabelRect).translated(grow, 0);
  label.setWidth(std::max(label.width(), m_pLabelRightEar->sizeHint().width()));
  label.setHeight(std::max(label.height(), m_pLabelRightEar->fontMetrics().height()));
  m_pLabelRightEar->setGeometry(label);
  const QRect combo = du.Map(kRightEarRect).translated(grow, 0);
  const int closed = m_pComboRightEar->sizeHint().height();
  m_pComboRightEar->setGeometry(combo.x(), combo.y(), combo.width(), closed);
  const int rowHeight = std::max(1, m_pComboRightEar->fontMetrics().height());
  m_pComboRightEar->setMaxVisibleItems(std::max(1, (combo.height() - closed) / rowHeight));
}

std::optional<int> CAnalogSoundDlg::RightEarChannel() const {
  const int index = m_pComboRightEar->currentIndex();  // 0: None
  if (index < 1) return std::nullopt;
  return index - 1;
}

void CAnalogSoundDlg::OnSelchangeRightEar() {
  m_plot.m_nRightChannel = RightEarChannel().value_or(-1);
  m_plot.update();
}
