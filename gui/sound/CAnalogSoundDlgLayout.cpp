#include <QAbstractItemView>
#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QValidator>
#include <algorithm>

#include "core/Messages.h"
#include "gui/platform/DialogUnits.h"
#include "gui/sound/CAnalogSoundDlg.h"
#include "gui/sound/CPlotView.h"

// The sound dialog's controls and their places: created in resource order
// and placed in dialog units of the dialog's font, as resource 130 gives
// them, for the template size and for any larger size.

namespace {

// Dialog resource 130: size in dialog units.
constexpr int kDialogWidth = 362;
constexpr int kDialogHeight = 175;

// Each control's rectangle in dialog units (x, y, width, height). For a combo
// box the height is that of its dropped list; the closed box keeps the
// style's own height.
const QRect kOkRect(305, 8, 50, 14);
const QRect kChannelLabelRect(8, 8, 27, 8);
const QRect kChannelRect(8, 16, 48, 108);
const QRect kPlotRect(66, 30, 288, 122);
const QRect kPlayRect(8, 88, 50, 14);
const QRect kBitsRect(8, 42, 48, 46);
const QRect kBitsLabelRect(8, 32, 12, 8);
const QRect kFreqLabelRect(8, 60, 15, 8);
const QRect kFreqRect(8, 68, 48, 100);
const QRect kStatusRect(66, 158, 228, 12);
const QRect kStopRect(8, 106, 50, 14);
// Controls beyond the template, in the room it leaves: the level row in the
// strip above the plot, left of OK; Save... under Stop in the left column.
const QRect kLevelLabelRect(66, 10, 20, 8);
const QRect kLevelRect(88, 8, 64, 40);
// The hint line: one line above the level row, as wide as the strip up to
// OK (the Right ear row takes the strip's right end).
const QRect kLevelHintRect(66, 0, 237, 8);
const QRect kSaveRect(8, 124, 50, 14);
// The sound choices: Sound beside Level; Pitch or Filter (one place, one
// shown) under Save; Speed right of the status line, at the bottom.
const QRect kSoundLabelRect(155, 10, 20, 8);
const QRect kSoundRect(176, 8, 50, 40);
const QRect kFilterLabelRect(8, 142, 22, 8);
const QRect kFilterRect(8, 151, 48, 100);
const QRect kSpeedLabelRect(298, 160, 22, 8);
const QRect kSpeedRect(320, 158, 34, 100);
// "Tick at events" under the Filter box, at the bottom of the left column.
const QRect kTicksRect(8, 164, 56, 10);

// The frequency list as the resource gives it; the combo shows it sorted.
const char* const kFreqItems[] = {"6000", "8000", "11025", "16000", "22050", "32000", "44100"};

// The frequency field takes only text that fits it, as an edit field that
// does not scroll horizontally does; longer input is refused as typed.
class CFitsFieldValidator : public QValidator {
 public:
  explicit CFitsFieldValidator(QLineEdit* edit) : QValidator(edit), m_edit(edit) {}

  State validate(QString& input, int& /*pos*/) const override {
    // QLineEdit keeps a 2-pixel margin on each side and one for the cursor.
    constexpr int kLineEditChrome = 2 * 2 + 1;
    const int room = m_edit->contentsRect().width() - kLineEditChrome;
    return m_edit->fontMetrics().horizontalAdvance(input) <= room ? Acceptable : Invalid;
  }

 private:
  QLineEdit* m_edit;
};
}  // namespace

void CAnalogSoundDlg::CreateControls() {
  // Resource order, which is also the tab order.
  m_pOk = new QPushButton(QStringLiteral("OK"), this);
  m_pOk->setDefault(true);
  m_pLabelChannel = new QLabel(QStringLiteral("Channel"), this);
  m_comboChannel.setObjectName(QStringLiteral("IDC_CHANNEL"));
  m_plot.setObjectName(QStringLiteral("IDC_PLOT"));
  m_pPlay = new QPushButton(QStringLiteral("Play"), this);
  m_pComboBits = new QComboBox(this);
  m_pComboBits->addItems({QStringLiteral("8 Bit"), QStringLiteral("16 Bit")});  // not sorted
  m_pLabelBits = new QLabel(QStringLiteral("Bits"), this);
  m_pLabelFreq = new QLabel(QStringLiteral("Freq"), this);
  m_pComboFreq = new QComboBox(this);
  m_pComboFreq->setEditable(true);
  // Typed text is neither completed nor added to the list: the field holds
  // exactly what was typed until the status is pushed back (UpdateData).
  m_pComboFreq->setCompleter(nullptr);
  m_pComboFreq->setInsertPolicy(QComboBox::NoInsert);
  m_pComboFreq->lineEdit()->setValidator(new CFitsFieldValidator(m_pComboFreq->lineEdit()));
  QStringList freqs;
  for (const char* item : kFreqItems) freqs << QString::fromLatin1(item);
  // A sorted list box orders its entries as text: "11025" ... "8000".
  std::sort(freqs.begin(), freqs.end(), [](const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) < 0;
  });
  m_pComboFreq->addItems(freqs);
  m_pStatus = new QLabel(this);
  m_pStatus->setTextFormat(Qt::PlainText);
  m_pStatus->setFrameStyle(QFrame::Box | QFrame::Plain);
  m_pStatus->setLineWidth(1);
  m_pStop = new QPushButton(QStringLiteral("Stop"), this);
  m_pLabelLevel = new QLabel(QString::fromLatin1(Messages::kLevelLabel), this);
  m_pComboLevel = new QComboBox(this);
  m_pLabelLevel->setBuddy(m_pComboLevel);  // Alt+L
  m_pComboLevel->setToolTip(QString::fromLatin1(Messages::kLevelTip));
  // In the order of sound::SoundLevel.
  m_pComboLevel->addItems({QString::fromLatin1(Messages::kLevelAsRecorded),
                           QString::fromLatin1(Messages::kLevelFitToChannel)});
  m_pLevelHint = new QLabel(this);
  m_pLevelHint->setTextFormat(Qt::PlainText);
  m_pLevelHint->setWordWrap(false);
  m_pLevelHint->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_pSave = new QPushButton(QString::fromLatin1(Messages::kSaveButton), this);  // Alt+S
  m_pSave->setToolTip(QString::fromLatin1(Messages::kSaveTip));
  const auto choiceBox = [this](const char* label, const char* tip, const QStringList& items,
                                QLabel*& pLabel, QComboBox*& pCombo) {
    pLabel = new QLabel(QString::fromLatin1(label), this);
    pCombo = new QComboBox(this);
    pLabel->setBuddy(pCombo);  // the label's mnemonic
    pCombo->setToolTip(QString::fromLatin1(tip));
    pCombo->addItems(items);
  };
  choiceBox(Messages::kSoundLabel, Messages::kSoundTip, sounddlg::SoundModeItems(), m_pLabelSound,
            m_pComboSound);
  choiceBox(Messages::kPitchLabel, Messages::kPitchTip, sounddlg::PitchRangeItems(), m_pLabelPitch,
            m_pComboPitch);
  choiceBox(Messages::kFilterLabel, Messages::kFilterTip, sounddlg::FilterItems(), m_pLabelFilter,
            m_pComboFilter);
  choiceBox(Messages::kSpeedLabel, Messages::kSpeedTip, sounddlg::SpeedItems(), m_pLabelSpeed,
            m_pComboSpeed);
  m_pLevelHint->setToolTip(QString::fromLatin1(Messages::kSoundHintTip));
  m_pCheckTicks = new QCheckBox(QString::fromLatin1(Messages::kTicksLabel), this);  // Alt+T
  m_pCheckTicks->setToolTip(QString::fromLatin1(Messages::kTicksTip));
  // One line of a note above the level row.
  QFont hintFont = m_pLevelHint->font();
  hintFont.setPointSizeF(hintFont.pointSizeF() * 0.85);
  m_pLevelHint->setFont(hintFont);
  // The plot with its ruler and readout, placed as one control; under the
  // other controls, so that a neighbour it may touch (OK) stays whole.
  m_pPlotView = new CPlotView(&m_plot, this);
  m_pPlotView->lower();
  // The channel box's width follows its longest name (PlaceControls).
  m_comboChannel.setSizeAdjustPolicy(QComboBox::AdjustToContents);
  // Every list drops down below its box, as tall as the template says; some
  // styles would open a list without an edit field over the box instead,
  // as tall as the screen.
  for (QComboBox* combo : {&m_comboChannel, m_pComboBits, m_pComboFreq, m_pComboLevel,
                           m_pComboSound, m_pComboPitch, m_pComboFilter, m_pComboSpeed}) {
    combo->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
  }

  m_pOk->setObjectName(QStringLiteral("IDOK"));
  m_pPlay->setObjectName(QStringLiteral("IDC_PLAY"));
  m_pStop->setObjectName(QStringLiteral("IDC_STOP"));
  m_pComboBits->setObjectName(QStringLiteral("IDC_BITS"));
  m_pComboFreq->setObjectName(QStringLiteral("IDC_FREQ"));
  m_pStatus->setObjectName(QStringLiteral("IDC_STATUS"));
  m_pComboLevel->setObjectName(QStringLiteral("IDC_LEVEL"));
  m_pLevelHint->setObjectName(QStringLiteral("IDC_LEVEL_HINT"));
  m_pSave->setObjectName(QStringLiteral("IDC_SAVE"));
  m_pComboSound->setObjectName(QStringLiteral("IDC_SOUND"));
  m_pComboPitch->setObjectName(QStringLiteral("IDC_PITCH"));
  m_pComboFilter->setObjectName(QStringLiteral("IDC_FILTER"));
  m_pComboSpeed->setObjectName(QStringLiteral("IDC_SPEED"));
  m_pCheckTicks->setObjectName(QStringLiteral("IDC_TICKS"));

  // m_comboChannel and m_plot exist before the body runs; the focus chain is
  // put in resource order explicitly. The plot and the statics take no focus.
  const QWidget* order[] = {m_pOk,         &m_comboChannel, m_pPlay,        m_pComboBits,
                            m_pComboFreq,  m_pStop,         m_pComboLevel,  m_pSave,
                            m_pComboSound, m_pComboPitch,   m_pComboFilter, m_pComboSpeed,
                            m_pCheckTicks};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
  }
  m_plot.setFocusPolicy(Qt::NoFocus);

  connect(&m_comboChannel, &QComboBox::currentIndexChanged, this,
          &CAnalogSoundDlg::OnSelchangeChannel);
  connect(m_pPlay, &QPushButton::clicked, this, &CAnalogSoundDlg::OnPlay);
  connect(m_pStop, &QPushButton::clicked, this, &CAnalogSoundDlg::OnStop);
  connect(m_pComboLevel, &QComboBox::currentIndexChanged, this, &CAnalogSoundDlg::OnSelchangeLevel);
  connect(m_pSave, &QPushButton::clicked, this, &CAnalogSoundDlg::OnSave);
  for (QComboBox* combo : {m_pComboSound, m_pComboPitch, m_pComboFilter, m_pComboSpeed}) {
    connect(combo, &QComboBox::currentIndexChanged, this, &CAnalogSoundDlg::OnSelchangeSoundChoice);
  }
  connect(m_pCheckTicks, &QCheckBox::toggled, this, &CAnalogSoundDlg::OnSelchangeSoundChoice);
  connect(m_pOk, &QPushButton::clicked, this, &CAnalogSoundDlg::accept);
  CreateLoopBox();
  CreateRightEar();
}

void CAnalogSoundDlg::LayoutControls() {
  const CDialogUnits du(font());
  // A label is never cut: fonts whose letters are wide for their average
  // need a few more pixels than the template gives.
  const auto placeLabel = [&du](QLabel* label, const QRect& units) {
    QRect r = du.Map(units);
    r.setWidth(std::max(r.width(), label->sizeHint().width()));
    r.setHeight(std::max(r.height(), label->fontMetrics().height()));
    label->setGeometry(r);
  };
  placeLabel(m_pLabelChannel, kChannelLabelRect);
  m_pPlay->setGeometry(du.Map(kPlayRect));
  placeLabel(m_pLabelBits, kBitsLabelRect);
  placeLabel(m_pLabelFreq, kFreqLabelRect);
  m_pStop->setGeometry(du.Map(kStopRect));
  placeLabel(m_pLabelLevel, kLevelLabelRect);
  m_pSave->setGeometry(du.Map(kSaveRect));
  placeLabel(m_pLabelSound, kSoundLabelRect);
  placeLabel(m_pLabelPitch, kFilterLabelRect);
  placeLabel(m_pLabelFilter, kFilterLabelRect);
  placeLabel(m_pLabelSpeed, kSpeedLabelRect);
  // "Tick at events", as wide and tall as its text needs, is wider than the
  // left column in most fonts: it keeps 2 pixels clear of the status line,
  // starting left of the column's edge where it must.
  const QRect ticks = du.Map(kTicksRect);
  const QSize ticksSize = ticks.size().expandedTo(m_pCheckTicks->sizeHint());
  const int ticksLeft = du.Map(kStatusRect).left() - 2 - ticksSize.width();
  m_pCheckTicks->setGeometry(
      QRect(QPoint(std::clamp(ticksLeft, 0, ticks.left()), ticks.top()), ticksSize));

  const auto placeCombo = [&du](QComboBox* combo, const QRect& units) {
    const QRect r = du.Map(units);
    const int closed = combo->sizeHint().height();
    combo->setGeometry(r.x(), r.y(), r.width(), closed);
    // The rest of the template height is the dropped list, in rows of text.
    const int rowHeight = std::max(1, combo->fontMetrics().height());
    combo->setMaxVisibleItems(std::max(1, (r.height() - closed) / rowHeight));
  };
  placeCombo(&m_comboChannel, kChannelRect);
  placeCombo(m_pComboBits, kBitsRect);
  placeCombo(m_pComboFreq, kFreqRect);
  placeCombo(m_pComboLevel, kLevelRect);
  placeCombo(m_pComboSound, kSoundRect);
  placeCombo(m_pComboPitch, kFilterRect);
  placeCombo(m_pComboFilter, kFilterRect);
  placeCombo(m_pComboSpeed, kSpeedRect);
  // The filter names are longer than their box: the list opens wide enough.
  for (QComboBox* combo : {m_pComboPitch, m_pComboFilter}) {
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) +
                                   2 * combo->view()->frameWidth() +
                                   combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  }

  // The template size is the smallest; the dialog opens at it.
  const QSize size = TemplateSize();
  setMinimumSize(size);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  resize(size);
  PlaceControls();
}

QSize CAnalogSoundDlg::TemplateSize() const {
  const CDialogUnits du(font());
  return {du.X(kDialogWidth), du.Y(kDialogHeight)};
}

int CAnalogSoundDlg::ChannelBoxGrowth() const {
  // The room the dialog has beyond its template width, shared: the channel
  // box takes what its longest name needs, at most half, the plot the rest.
  const CDialogUnits du(font());
  const int extra = std::max(0, width() - TemplateSize().width());
  const int wanted = m_comboChannel.sizeHint().width() - du.X(kChannelRect.width());
  return std::clamp(wanted, 0, extra / 2);
}

QRect CAnalogSoundDlg::PlotRect() const {
  const QSize extra = (size() - TemplateSize()).expandedTo(QSize(0, 0));
  const int grow = ChannelBoxGrowth();
  return CDialogUnits(font()).Map(kPlotRect).adjusted(grow, 0, extra.width(), extra.height());
}

void CAnalogSoundDlg::PlaceControls() {
  const CDialogUnits du(font());
  const QRect plot = PlotRect();
  const QRect templatePlot = du.Map(kPlotRect);
  const int grow = ChannelBoxGrowth();  // what lies right of the left column moves by it
  const int dx = plot.right() - templatePlot.right();
  const int dy = plot.height() - templatePlot.height();
  m_pPlotView->SetPlotRect(plot);
  m_pOk->setGeometry(du.Map(kOkRect).translated(dx, 0));
  m_pStatus->setGeometry(du.Map(kStatusRect).translated(grow, dy));
  QRect channel = m_comboChannel.geometry();
  channel.setWidth(du.X(kChannelRect.width()) + grow);
  m_comboChannel.setGeometry(channel);
  m_pLabelLevel->move(du.Map(kLevelLabelRect).topLeft() + QPoint(grow, 0));
  m_pComboLevel->move(du.Map(kLevelRect).topLeft() + QPoint(grow, 0));
  m_pLabelSound->move(du.Map(kSoundLabelRect).topLeft() + QPoint(grow, 0));
  m_pComboSound->move(du.Map(kSoundRect).topLeft() + QPoint(grow, 0));
  // Speed keeps its place from the bottom right corner, beside the status.
  m_pLabelSpeed->move(du.Map(kSpeedLabelRect).topLeft() + QPoint(dx, dy));
  m_pComboSpeed->move(du.Map(kSpeedRect).topLeft() + QPoint(dx, dy));
  PlaceLoopBox();
  QRect hint = du.Map(kLevelHintRect).translated(grow, 0);
  hint.setBottom(std::min(hint.bottom(), m_pPlotView->geometry().top() - 1));
  m_pLevelHint->setGeometry(hint);
  PlaceRightEar(grow);
  // The template's room for a label beside its box fits the narrow fonts it
  // was drawn for; in wider ones the text would run up to the box. Such a
  // label ends kLabelGap pixels before its box, moving left into the gap
  // after the control on its left, but no nearer to that one than kLabelGap.
  constexpr int kLabelGap = 2;
  const auto keepClear = [](QLabel* label, const QWidget* before) {
    QRect r = label->geometry();
    const int right = label->buddy()->geometry().left() - kLabelGap - 1;
    if (r.right() <= right) return;
    r.moveRight(right);
    r.moveLeft(std::max(r.left(), before->geometry().right() + kLabelGap + 1));
    label->setGeometry(r);
  };
  keepClear(m_pLabelSound, m_pComboLevel);
  keepClear(m_pLabelRightEar, m_pComboSound);
  keepClear(m_pLabelSpeed, m_pStatus);
}

void CAnalogSoundDlg::FitChannelListWidth(const QStringList& names) {
  // The closed box keeps its template width; its list opens as wide as the
  // longest entry, scroll bar and frame included, so no label is cut.
  QAbstractItemView* view = m_comboChannel.view();
  const QFontMetrics fm(view->font());
  int widest = -1;
  int widestText = 0;
  for (int i = 0; i < names.size(); ++i) {
    const int w = fm.horizontalAdvance(names[i]);
    if (w > widestText) {
      widestText = w;
      widest = i;
    }
  }
  int width = 0;
  if (widest >= 0) {
    width = view->sizeHintForIndex(m_comboChannel.model()->index(widest, 0)).width();
    if (names.size() > m_comboChannel.maxVisibleItems()) {
      width += view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
    }
    width += 2 * view->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, view);
  }
  view->setMinimumWidth(width);
}
