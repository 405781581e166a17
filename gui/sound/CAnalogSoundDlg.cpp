#include "gui/sound/CAnalogSoundDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStringList>
#include <string>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/sound/PlayChecks.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/platform/MessageBox.h"
#include "gui/player/SoundPlayer.h"
#include "gui/sound/CPlotView.h"
#include "gui/sound/SoundDlgSettings.h"
#include "gui/sound/SoundSave.h"

namespace {

// Dialog resource 130's caption.
constexpr const char* kCaption = "C3D Analog Sound";

QString Latin1(const std::string& bytes) {
  // Text from a C3D file is 8-bit as stored; Latin-1 keeps every byte.
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

CAnalogSoundDlg::CAnalogSoundDlg(QWidget* parent)
    : QDialog(parent),
      m_plot(this),
      m_comboChannel(this),
      m_host(
          this, [this](const std::string& text) { SetStatus(Latin1(text)); },
          [this](const std::string& text) { OnSoundHint(text); }) {
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
    case IDC_SOUND:
      return m_pComboSound;
    case IDC_PITCH:
      return m_pComboPitch;
    case IDC_FILTER:
      return m_pComboFilter;
    case IDC_SPEED:
      return m_pComboSpeed;
    case IDC_TICKS:
      return m_pCheckTicks;
    case IDC_LOOP:
      return m_pLoop;
    case IDC_RIGHT_EAR:
      return m_pComboRightEar;
    default:
      return nullptr;
  }
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
  m_level = sounddlg::StoredLevel();
  const QSize stored = sounddlg::StoredSize();
  if (stored.isValid()) resize(stored.expandedTo(TemplateSize()));
  m_pComboLevel->setCurrentIndex(m_level == sound::SoundLevel::FitToChannel ? 1 : 0);
  m_soundChoice = sounddlg::StoredSoundChoice();
  m_strSoundHint.clear();
  m_nSoundHintChannel = -1;
  ShowSoundChoice();
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
  FillRightEarCombo(names);
  PlaceControls();  // the box may take some of a grown dialog's room
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
    sounddlg::StoreLevel(level);
  }
  UpdateLevelHint();
}

void CAnalogSoundDlg::OnSelchangeSoundChoice() {
  const sounddlg::SoundChoice choice{.mode = m_pComboSound->currentIndex(),
                                     .pitch = m_pComboPitch->currentIndex(),
                                     .filter = m_pComboFilter->currentIndex(),
                                     .speed = m_pComboSpeed->currentIndex(),
                                     .ticks = m_pCheckTicks->isChecked()};
  if (choice != m_soundChoice) {
    m_soundChoice = choice;
    sounddlg::StoreSoundChoice(choice);
  }
  ShowSoundChoice();
  UpdateLevelHint();
}

void CAnalogSoundDlg::ShowSoundChoice() {
  const QSignalBlocker blockSound(m_pComboSound), blockPitch(m_pComboPitch),
      blockFilter(m_pComboFilter), blockSpeed(m_pComboSpeed), blockTicks(m_pCheckTicks);
  m_pCheckTicks->setChecked(m_soundChoice.ticks);
  m_plot.SetFilters(sounddlg::ChosenFilters(m_soundChoice));
  m_pComboSound->setCurrentIndex(m_soundChoice.mode);
  m_pComboPitch->setCurrentIndex(m_soundChoice.pitch);
  m_pComboFilter->setCurrentIndex(m_soundChoice.filter);
  m_pComboSpeed->setCurrentIndex(m_soundChoice.speed);
  const bool pitch = m_soundChoice.mode == static_cast<int>(sound::SoundMode::Pitch);
  const bool waveform = m_soundChoice.mode == static_cast<int>(sound::SoundMode::Waveform);
  // Pitch and Filter share one place: a sound has a pitch range or a filter.
  m_pLabelPitch->setVisible(pitch);
  m_pComboPitch->setVisible(pitch);
  m_pLabelFilter->setVisible(!pitch);
  m_pComboFilter->setVisible(!pitch);
  for (QWidget* w : {static_cast<QWidget*>(m_pLabelFilter), static_cast<QWidget*>(m_pComboFilter),
                     static_cast<QWidget*>(m_pLabelSpeed), static_cast<QWidget*>(m_pComboSpeed)}) {
    w->setEnabled(waveform);
  }
}

void CAnalogSoundDlg::OnSoundHint(const std::string& text) {
  m_strSoundHint = Latin1(text);
  m_nSoundHintChannel = m_comboChannel.currentIndex();
  UpdateLevelHint();
  // Shown at once: the build goes on before the event loop paints.
  if (m_pLevelHint->isVisible()) m_pLevelHint->repaint();
}

void CAnalogSoundDlg::UpdateLevelHint() {
  const int sel = m_comboChannel.currentIndex();
  if (m_soundChoice.mode != static_cast<int>(sound::SoundMode::Waveform)) {
    // Auto's note, for the channel it was made for; Pitch has none.
    const bool autoNote = m_soundChoice.mode == static_cast<int>(sound::SoundMode::Auto) &&
                          sel >= 0 && sel == m_nSoundHintChannel;
    m_pLevelHint->setText(autoNote ? m_strSoundHint : QString());
    return;
  }
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
  const sound::PlayRateCheck check =
      sound::CheckPlayRate(*m_pC3d, m_strFreq.toStdString(), sounddlg::SpeedFactor(m_soundChoice));
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

PlotRange CAnalogSoundDlg::SoundRange(int channel) const {
  if (const std::optional<PlotRange> part = PlayedPart(channel)) return *part;
  return PlotRange{0, m_pC3d != nullptr ? m_pC3d->SamplesPerChannel() : 0};
}

bool CAnalogSoundDlg::ReadSaveChoice(sounddlg::SoundSaveChoice& choice) {
  if (!ReadChoices(choice.channel, choice.bits, choice.rate)) return false;
  choice.level = m_level;
  choice.sound = m_soundChoice;
  choice.range = SoundRange(choice.channel);
  choice.whole = !PlayedPart(choice.channel);
  choice.selection = choice.channel == m_plot.m_nChannel && m_plot.Selection();
  choice.right = RightEarChannel();
  return true;
}

void CAnalogSoundDlg::OnSave() {
  sounddlg::SoundSaveChoice choice;
  if (!ReadSaveChoice(choice)) return;
  const QString path =
      sounddlg::AskSoundFileName(this, *m_pC3d, choice, m_comboChannel.itemText(choice.channel));
  if (path.isEmpty()) return;
  SaveSound(path);
}

bool CAnalogSoundDlg::SaveSound(const QString& path) {
  sounddlg::SoundSaveChoice choice;
  if (!ReadSaveChoice(choice)) return false;
  const bool saved = sounddlg::SaveSoundFile(
      this, *m_pC3d, choice, path, [this](const std::string& text) { SetStatus(Latin1(text)); });
  if (saved) {
    SetStatus(QString::fromLatin1(Messages::kStatusSaved)
                  .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
  }
  return saved;
}

void CAnalogSoundDlg::OnStop() { m_host.StopSound(); }

void CAnalogSoundDlg::OnSoundFinished() {
  // A sound that found no output, or was cut short by it (the sound server
  // gone), leaves a reason; one that ended or was stopped leaves none. Only
  // the status line changes: the other controls may hold what the user is
  // typing.
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
  // Zoomed, Play builds the visible samples alone (selected, the selection);
  // the playhead follows either sound.
  const sound::SoundRecipe spec = BuildSpec(channel, bits, rate);
  m_host.SetLoop(IsLooping());
  const sound::WaveOutcome outcome =
      sound::WriteWave(*m_pC3d, spec, m_pSoundBuffer, m_tempFile.FsPath(), m_host);
  if (outcome == sound::WaveOutcome::Played && channel == m_plot.m_nChannel)
    m_plot.StartPlayhead(spec.range ? spec.range->first : 0);
}

sound::SoundRecipe CAnalogSoundDlg::BuildSpec(int channel, int bits, float rate) const {
  sound::SoundRecipe spec{.channel = channel, .bits = bits, .rate = rate, .level = m_level};
  if (const std::optional<PlotRange> shown = PlayedPart(channel)) {
    // A range of a loaded channel: within GetAnalogSampleCount(), an int.
    spec.range = sound::SampleSpan{static_cast<int>(shown->first),
                                   static_cast<int>(shown->last - shown->first)};
  }
  sounddlg::ApplySoundChoice(m_soundChoice, spec);
  sounddlg::ApplyTicks(m_soundChoice, *m_pC3d, spec);
  spec.right = RightEarChannel();
  return spec;
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
  if (m_bInitialized) sounddlg::StoreSize(size());
  QDialog::done(result);
  if (m_bInitialized) OnDestroy();
}
