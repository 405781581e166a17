#include "gui/sound/CAnalogSoundDlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QSaveFile>
#include <QSettings>
#include <QShowEvent>
#include <QStringList>
#include <QStyle>
#include <QTemporaryFile>
#include <QValidator>
#include <algorithm>
#include <filesystem>
#include <string>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/sound/PlayChecks.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/platform/DialogUnits.h"
#include "gui/platform/MessageBox.h"
#include "gui/player/SoundPlayer.h"
#include "gui/res/Version.h"

namespace {

// Dialog resource 130: caption and size in dialog units.
constexpr const char* kCaption = "C3D Analog Sound";
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
const QRect kLevelHintRect(158, 6, 142, 22);
const QRect kSaveRect(8, 124, 50, 14);

// The dialog's settings, in the program's settings beside the recent-file
// list: the level as tremolux-cli's --level names it, and the size in pixels.
const char* const kSettingsGroup = "Sound Dialog";
const char* const kLevelKey = "Level";
const char* const kSizeKey = "Size";
const char* const kLevelRecorded = "recorded";
const char* const kLevelFit = "fit";

class CDialogSettings : public QSettings {
 public:
  CDialogSettings()
      : QSettings(QString::fromLatin1(Res::kOrganizationName),
                  QString::fromLatin1(Res::kApplicationName)) {
    beginGroup(QString::fromLatin1(kSettingsGroup));
  }
};

// The WAVE build of Save: messages, wait cursor and status as for Play, but
// it neither stops what plays nor plays what it wrote.
class CSaveSoundHost : public CPlatformSoundHost {
 public:
  using CPlatformSoundHost::CPlatformSoundHost;
  void StopSound() override {}
  void PlayFile(const std::filesystem::path& /*file*/) override {}
};

// A file name for the saved sound: the recording's name and the channel's
// label, with every character a file name may not carry made '_'.
QString SuggestedSoundName(const CC3d& c3d, const QString& label) {
  const QFileInfo file(QFile::decodeName(c3d.m_strPathName.c_str()));
  QString name = file.completeBaseName() + QLatin1Char('_') + label.trimmed();
  for (QChar& c : name) {
    const bool keep = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                      (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                      (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
                      c == QLatin1Char('-') || c == QLatin1Char('_');
    if (!keep) c = QLatin1Char('_');
  }
  return QDir(file.absolutePath()).filePath(name + QStringLiteral(".wav"));
}

// The frequency list as the resource gives it; the combo shows it sorted.
const char* const kFreqItems[] = {"6000", "8000", "11025", "16000", "22050", "32000", "44100"};

QString Latin1(const std::string& bytes) {
  // Text from a C3D file is 8-bit as stored; Latin-1 keeps every byte.
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

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

CAnalogSoundDlg::CAnalogSoundDlg(QWidget* parent)
    : QDialog(parent),
      m_plot(this),
      m_comboChannel(this),
      m_host(this, [this](const std::string& text) { SetStatus(Latin1(text)); }) {
  setWindowTitle(QString::fromLatin1(kCaption));
  // Caption, system menu and close box, no minimise or maximise. The frame
  // can be dragged larger (not below the template size); the grip in the
  // corner says so.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);
  CreateControls();
  LayoutControls();
}

CAnalogSoundDlg::~CAnalogSoundDlg() {
  if (m_bInitialized) OnDestroy();
}

int CAnalogSoundDlg::DoModal() {
  // With no parent the dialog belongs to the application's active window.
  if (parentWidget() == nullptr) {
    if (QWidget* owner = QApplication::activeWindow()) setParent(owner, windowFlags());
  }
  return exec();
}

QWidget* CAnalogSoundDlg::GetDlgItem(int nID) {
  switch (nID) {
    case IDOK:
      return m_pOk;
    case IDC_CHANNEL:
      return &m_comboChannel;
    case IDC_PLOT:
      return &m_plot;
    case IDC_PLAY:
      return m_pPlay;
    case IDC_STOP:
      return m_pStop;
    case IDC_BITS:
      return m_pComboBits;
    case IDC_FREQ:
      return m_pComboFreq;
    case IDC_STATUS:
      return m_pStatus;
    case IDC_LEVEL:
      return m_pComboLevel;
    case IDC_LEVEL_HINT:
      return m_pLevelHint;
    case IDC_SAVE:
      return m_pSave;
    default:
      return nullptr;
  }
}

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
  // In the order of sound::SoundLevel.
  m_pComboLevel->addItems({QString::fromLatin1(Messages::kLevelAsRecorded),
                           QString::fromLatin1(Messages::kLevelFitToChannel)});
  m_pLevelHint = new QLabel(this);
  m_pLevelHint->setTextFormat(Qt::PlainText);
  m_pLevelHint->setWordWrap(true);
  m_pLevelHint->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  m_pSave = new QPushButton(QStringLiteral("Save..."), this);
  // Every list drops down below its box, as tall as the template says; some
  // styles would open a list without an edit field over the box instead,
  // as tall as the screen.
  for (QComboBox* combo : {&m_comboChannel, m_pComboBits, m_pComboFreq, m_pComboLevel}) {
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

  // m_comboChannel and m_plot exist before the body runs; the focus chain is
  // put in resource order explicitly. The plot and the statics take no focus.
  const QWidget* order[] = {m_pOk,        &m_comboChannel, m_pPlay,       m_pComboBits,
                            m_pComboFreq, m_pStop,         m_pComboLevel, m_pSave};
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
  connect(m_pOk, &QPushButton::clicked, this, &CAnalogSoundDlg::accept);
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
  m_pLevelHint->setGeometry(du.Map(kLevelHintRect));
  m_pSave->setGeometry(du.Map(kSaveRect));

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

QRect CAnalogSoundDlg::PlotRect() const {
  const QSize extra = (size() - TemplateSize()).expandedTo(QSize(0, 0));
  return CDialogUnits(font()).Map(kPlotRect).adjusted(0, 0, extra.width(), extra.height());
}

void CAnalogSoundDlg::PlaceControls() {
  const CDialogUnits du(font());
  const QRect plot = PlotRect();
  const QRect templatePlot = du.Map(kPlotRect);
  const int dx = plot.width() - templatePlot.width();
  const int dy = plot.height() - templatePlot.height();
  m_plot.setGeometry(plot);
  m_pOk->setGeometry(du.Map(kOkRect).translated(dx, 0));
  m_pStatus->setGeometry(du.Map(kStatusRect).translated(0, dy));
  // The plot's time ruler in the strip between the plot and the status line;
  // its readout in the free corner under the buttons of the left column.
  const QRect status = m_pStatus->geometry();
  const QRect save = du.Map(kSaveRect);
  m_plot.PlaceCompanionsAt(
      QRect(plot.left(), plot.bottom() + 1, plot.width(),
            std::max(0, status.top() - plot.bottom() - 1)),
      QRect(save.left(), save.bottom() + du.Y(4), plot.left() - save.left() - du.X(4),
            std::max(0, height() - save.bottom() - du.Y(8))));
}

void CAnalogSoundDlg::resizeEvent(QResizeEvent* event) {
  PlaceControls();
  QDialog::resizeEvent(event);
}

bool CAnalogSoundDlg::OnInitDialog() {
  m_tempFile.Create();  // a failure shows up at Play as "Could not create"
  m_strTempFile = m_tempFile.Path();
  m_plot.m_pC3d = m_pC3d;
  m_pSoundBuffer.assign(50, 0.0f);
  {
    const CDialogSettings settings;
    const QString level = settings.value(QString::fromLatin1(kLevelKey)).toString();
    m_level = level == QLatin1String(kLevelFit) ? sound::SoundLevel::FitToChannel
                                                : sound::SoundLevel::AsRecorded;
    const QSize size = settings.value(QString::fromLatin1(kSizeKey)).toSize();
    if (size.isValid()) resize(size.expandedTo(TemplateSize()));
  }
  m_pComboLevel->setCurrentIndex(m_level == sound::SoundLevel::FitToChannel ? 1 : 0);
  if (CSoundPlayer* player = CSoundPlayer::Instance()) {
    connect(player, &CSoundPlayer::Finished, this, &CAnalogSoundDlg::OnSoundFinished,
            Qt::UniqueConnection);
  }
  UpdateData(false);
  FillChannelCombo();
  UpdateLevelHint();
  SetStatus(QString::fromLatin1(Messages::kStatusIdle));
  m_bInitialized = true;
  return true;
}

void CAnalogSoundDlg::FillChannelCombo() {
  m_comboChannel.clear();  // clears the selection too, so the plot shows nothing
  if (m_pC3d == nullptr) return;
  // One Labels lookup for the whole list: a file may hold 65535 channels.
  QStringList names;
  for (const std::string& name : AnalogChannelNames(*m_pC3d)) names << Latin1(name);
  m_comboChannel.addItems(names);
  // Qt selects the first item added to an empty combo; nothing is selected
  // until the user picks a channel.
  m_comboChannel.setCurrentIndex(-1);

  // Each entry's tooltip: the whole label, its units, the rate and length.
  const std::vector<std::string> units = AnalogChannelUnits(*m_pC3d);
  const QString rateAndCount = QString::fromLatin1(Messages::kChannelRateAndCount)
                                   .arg(static_cast<double>(sound::AnalogRate(*m_pC3d)), 0, 'g', 6)
                                   .arg(m_pC3d->SamplesPerChannel());
  for (int i = 0; i < names.size(); ++i) {
    const QString unit = Latin1(units[static_cast<std::size_t>(i)]);
    QString label = names[i];  // labels are often padded with blanks to a common width
    while (label.endsWith(QLatin1Char(' '))) label.chop(1);
    m_comboChannel.setItemData(
        i,
        label + QLatin1Char('\n') + QString::fromLatin1(Messages::kChannelUnits) +
            (unit.isEmpty() ? QString::fromLatin1(Messages::kChannelNoUnits) : unit) +
            QLatin1Char('\n') + rateAndCount,
        Qt::ToolTipRole);
  }
  FitChannelListWidth(names);
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

bool CAnalogSoundDlg::UpdateData(bool saveAndValidate) {
  if (saveAndValidate) {
    m_nBitsIndex = m_pComboBits->currentIndex();
    m_strFreq = m_pComboFreq->currentText();
    m_strStatus = m_pStatus->text();
    return true;
  }
  m_pComboBits->setCurrentIndex(m_nBitsIndex);
  // The first entry that begins with the text (letters in any case) is
  // selected and shown whole; otherwise the field shows the text as it is.
  // Empty text selects nothing.
  int match = -1;
  for (int i = 0; i < m_pComboFreq->count() && !m_strFreq.isEmpty(); ++i) {
    if (m_pComboFreq->itemText(i).startsWith(m_strFreq, Qt::CaseInsensitive)) {
      match = i;
      break;
    }
  }
  if (match >= 0) {
    m_pComboFreq->setCurrentIndex(match);
    m_pComboFreq->setEditText(m_pComboFreq->itemText(match));
  } else {
    m_pComboFreq->setEditText(m_strFreq);
  }
  m_pStatus->setText(m_strStatus);
  return true;
}

void CAnalogSoundDlg::OnSelchangeChannel() {
  m_plot.m_nChannel = m_comboChannel.currentIndex();
  m_plot.update();  // repaints the whole control, background first
  UpdateLevelHint();
}

void CAnalogSoundDlg::OnSelchangeLevel() {
  const sound::SoundLevel level = m_pComboLevel->currentIndex() == 1
                                      ? sound::SoundLevel::FitToChannel
                                      : sound::SoundLevel::AsRecorded;
  if (level != m_level) {
    m_level = level;
    CDialogSettings settings;
    settings.setValue(
        QString::fromLatin1(kLevelKey),
        QString::fromLatin1(level == sound::SoundLevel::FitToChannel ? kLevelFit : kLevelRecorded));
  }
  UpdateLevelHint();
}

void CAnalogSoundDlg::UpdateLevelHint() {
  const int sel = m_comboChannel.currentIndex();
  sound::RecordedLevelHint hint = sound::RecordedLevelHint::None;
  if (sel >= 0 && m_pC3d != nullptr && m_level == sound::SoundLevel::AsRecorded) {
    hint = sound::CheckRecordedLevel(sound::ChannelRawRange(*m_pC3d, sel));
  }
  switch (hint) {
    case sound::RecordedLevelHint::None:
      m_pLevelHint->clear();
      break;
    case sound::RecordedLevelHint::WouldWrap:
      m_pLevelHint->setText(QString::fromLatin1(Messages::kHintWouldWrap));
      break;
    case sound::RecordedLevelHint::NearSilence:
      m_pLevelHint->setText(QString::fromLatin1(Messages::kHintNearSilence));
      break;
  }
}

bool CAnalogSoundDlg::ReadChoices(int& channel, int& bits, float& rate) {
  channel = m_comboChannel.currentIndex();
  if (channel < 0 || m_pC3d == nullptr) return false;
  UpdateData(true);
  bits = m_nBitsIndex != 0 ? 16 : 8;
  const sound::PlayRateCheck check = sound::CheckPlayRate(*m_pC3d, m_strFreq.toStdString());
  if (check.message != nullptr) {
    ShowMessageBox(this, check.message);
    return false;
  }
  rate = check.rate;
  return true;
}

void CAnalogSoundDlg::OnPlay() {
  int sel = -1, bits = 16;
  float rate = 0.0f;
  if (!ReadChoices(sel, bits, rate)) return;
  WriteWave(sel, bits, rate);
}

void CAnalogSoundDlg::OnSave() {
  int sel = -1, bits = 16;
  float rate = 0.0f;
  if (!ReadChoices(sel, bits, rate)) return;
  const QString path =
      QFileDialog::getSaveFileName(this, QString::fromLatin1(Messages::kSaveCaption),
                                   SuggestedSoundName(*m_pC3d, m_comboChannel.itemText(sel)),
                                   QString::fromLatin1(Messages::kSaveFilter));
  if (path.isEmpty()) return;
  SaveSound(path);
}

bool CAnalogSoundDlg::SaveSound(const QString& path) {
  int sel = -1, bits = 16;
  float rate = 0.0f;
  if (!ReadChoices(sel, bits, rate)) return false;
  const auto fail = [&](const QString& why) {
    ShowMessageBox(this, (QString::fromLatin1(Messages::kCouldNotSave) + QLatin1Char(' ') +
                          QDir::toNativeSeparators(path) + QStringLiteral(":\n") + why)
                             .toStdString());
    return false;
  };

  // The build writes by name and may fail half-way, so it goes to a file of
  // its own; only a whole sound is copied on.
  QTemporaryFile built;
  if (!built.open()) return fail(built.errorString());
  built.close();
  CSaveSoundHost host(this, [this](const std::string& text) { SetStatus(Latin1(text)); });
  std::vector<float> buffer;  // the dialog's own buffer keeps Play's last sound
#ifdef _WIN32
  const std::filesystem::path builtPath(built.fileName().toStdWString());
#else
  const std::filesystem::path builtPath(QFile::encodeName(built.fileName()).toStdString());
#endif
  const sound::WaveOutcome outcome =
      sound::WriteWave(*m_pC3d, sel, bits, rate, buffer, builtPath, host, m_level);
  if (outcome != sound::WaveOutcome::Played && outcome != sound::WaveOutcome::PlayedEmpty) {
    return false;  // the build has shown its message
  }

  if (!built.open()) return fail(built.errorString());
  QSaveFile out(path);
  if (!out.open(QIODevice::WriteOnly)) return fail(out.errorString());
  constexpr qint64 kChunk = 1 << 20;
  while (!built.atEnd()) {
    const QByteArray bytes = built.read(kChunk);
    if (bytes.isEmpty() && built.error() != QFileDevice::NoError) {
      out.cancelWriting();
      return fail(built.errorString());
    }
    if (out.write(bytes) != bytes.size()) {
      const QString why = out.errorString();
      out.cancelWriting();
      return fail(why);
    }
  }
  // Flushed first: QSaveFile::commit alone can take a last write the disk
  // cut short for a complete one.
  if (!out.flush() || !out.commit()) return fail(out.errorString());
  return true;
}

void CAnalogSoundDlg::OnStop() { m_host.StopSound(); }

void CAnalogSoundDlg::OnSoundFinished() {
  // A sound cut short by its output (the sound server gone) leaves a reason;
  // one that ended or was stopped leaves none. Only the status line changes:
  // the other controls may hold what the user is typing.
  const CSoundPlayer* player = CSoundPlayer::Instance();
  if (!m_bInitialized || player == nullptr || player->LastError().isEmpty()) return;
  m_strStatus =
      QString::fromLatin1(Messages::kStatusPrefix) + QString::fromLatin1(Messages::kStatusNoDevice);
  m_pStatus->setText(m_strStatus);
}

void CAnalogSoundDlg::SetStatus(const QString& text) {
  m_strStatus = QString::fromLatin1(Messages::kStatusPrefix) + text;
  UpdateData(false);
  // Shown at once: a long build keeps the event loop from painting it.
  if (m_pStatus->isVisible()) m_pStatus->repaint();
}

void CAnalogSoundDlg::WriteWave(int channel, int bits, float rate) {
  if (m_pC3d == nullptr) return;
  // Zoomed, Play builds the visible samples alone; the playhead follows either sound.
  const bool zoomed = channel == m_plot.m_nChannel && m_plot.IsZoomed();
  const PlotRange shown = zoomed ? m_plot.VisibleRange() : PlotRange{0, 0};
  // A range of a loaded channel: within GetAnalogSampleCount(), an int.
  const auto first = static_cast<int>(shown.first);
  const auto count = static_cast<int>(shown.last - shown.first);
  const sound::WaveOutcome outcome =
      zoomed ? sound::WriteWaveRange(*m_pC3d, channel, first, count, bits, rate, m_pSoundBuffer,
                                     m_tempFile.FsPath(), m_host, m_level)
             : sound::WriteWave(*m_pC3d, channel, bits, rate, m_pSoundBuffer, m_tempFile.FsPath(),
                                m_host, m_level);
  if (outcome == sound::WaveOutcome::Played && channel == m_plot.m_nChannel)
    m_plot.StartPlayhead(first);
}

void CAnalogSoundDlg::OnDestroy() {
  m_pSoundBuffer.clear();
  m_pSoundBuffer.shrink_to_fit();
  m_tempFile.Remove();  // the player holds its own copy of a playing sound
  m_bInitialized = false;
}

void CAnalogSoundDlg::OnCancel() {}

void CAnalogSoundDlg::showEvent(QShowEvent* event) {
  if (!m_bInitialized && !event->spontaneous()) OnInitDialog();
  QDialog::showEvent(event);
}

void CAnalogSoundDlg::changeEvent(QEvent* event) {
  // Dialog units follow the font: a new font lays the dialog out anew.
  if (event->type() == QEvent::FontChange) LayoutControls();
  QDialog::changeEvent(event);
}

void CAnalogSoundDlg::closeEvent(QCloseEvent* event) {
  OnCancel();
  event->ignore();
}

void CAnalogSoundDlg::accept() {
  UpdateData(true);
  QDialog::accept();
}

void CAnalogSoundDlg::reject() { OnCancel(); }

void CAnalogSoundDlg::done(int result) {
  if (m_bInitialized) {
    CDialogSettings settings;
    settings.setValue(QString::fromLatin1(kSizeKey), size());
  }
  QDialog::done(result);
  if (m_bInitialized) OnDestroy();
}
