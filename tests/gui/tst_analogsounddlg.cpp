// The sound dialog, driven as a user drives it: what it shows when it opens,
// how it names channels, which rates Play accepts and which message box it
// shows for the others, how Stop, Escape, the close box and OK behave, that
// the temporary file lives exactly as long as the dialog, and that a sound
// outlives the dialog; the level choice, its hint and Save...; a Play with
// no sound output. A last test takes a picture of it under Xvfb.
#include <QAbstractItemView>
#include <QAudioDevice>
#include <QAudioSource>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMediaDevices>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSizeGrip>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <numbers>
#include <thread>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/sound/SoundLevel.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/platform/DialogUnits.h"
#include "gui/player/SoundPlayer.h"
#include "gui/render/PlotRender.h"
#include "gui/sound/CAnalogSoundDlg.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/SoundServerSupport.h"
#include "tests/gui/SoundTestMain.h"
#include "tests/support/C3dWriter.h"
#include "tests/support/RecordingSoundHost.h"

namespace {

using Dlg = CAnalogSoundDlg;

// Channels of sines around the silence level 2048 (channel c at 50 x (c + 1)
// Hz), `frames` frames of S samples at `frameRate`; labels as given (none:
// no ANALOG:LABELS at all).
c3dtest::Recording SineRecording(int channels, std::uint16_t S, float frameRate, int frames,
                                 const std::vector<std::string>& labels) {
  c3dtest::Recording rec;
  rec.samplesPerFrame = S;
  rec.frameRate = frameRate;
  const double rate = S * static_cast<double>(frameRate);
  for (int c = 0; c < channels; ++c) {
    std::vector<double> samples;
    for (int i = 0; i < frames * S; ++i) {
      samples.push_back(
          std::round(2048 + 1500 * std::sin(2 * std::numbers::pi * 50 * (c + 1) * i / rate)));
    }
    rec.analog.push_back(samples);
  }
  c3dtest::AddStandardParameters(rec, labels, {}, {}, std::nullopt);
  return rec;
}

// Two labelled channels at 1000 Hz, 3 s long.
c3dtest::Recording At1000Hz() { return SineRecording(2, 10, 100.0f, 300, {"EMG1", "EMG2"}); }

std::unique_ptr<CC3d> Load(const c3dtest::Recording& rec) {
  const std::vector<std::uint8_t> bytes = c3dtest::WriteC3d(rec);
  auto c3d = std::make_unique<CC3d>();
  if (!c3d->LoadFromMemory(bytes.data(), bytes.size())) return nullptr;
  return c3d;
}

// What a WAVE file's header says, and the file's length.
struct WaveHeader {
  quint32 riffSize = 0, rate = 0, dataBytes = 0;
  int bits = 0;
  qint64 length = -1;
};

quint32 Le32(const QByteArray& b, int at) {
  quint32 v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<quint8>(b[at + i]);
  return v;
}

WaveHeader ReadWave(const QString& path) {
  QFile file(path);
  WaveHeader h;
  if (!file.open(QIODevice::ReadOnly)) return h;
  const QByteArray b = file.readAll();
  h.length = b.size();
  if (b.size() < 44) return h;
  h.riffSize = Le32(b, 4);
  h.rate = Le32(b, 24);
  h.bits = static_cast<quint8>(b[34]);
  h.dataBytes = Le32(b, 40);
  return h;
}

// One message box as the test saw it, before clicking its OK button.
struct SeenBox {
  QString text;
  int buttons = 0;  // how many buttons it has
  bool okButton = false;
  bool modal = false;
  bool dialogVisible = false;  // the sound dialog was still open under it
};

// Runs `action` while watching for message boxes: each one is recorded and
// closed through its OK button, so an action that shows boxes cannot block.
std::vector<SeenBox> CatchBoxes(Dlg& dlg, const std::function<void()>& action) {
  std::vector<SeenBox> seen;
  QPointer<QMessageBox> last;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box == last || !box->isVisible()) return;
    last = box;
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    seen.push_back({box->text(), static_cast<int>(box->buttons().size()), ok != nullptr,
                    box->isModal(), dlg.isVisible()});
    if (ok != nullptr) {
      ok->click();
    } else {
      box->done(0);
    }
  });
  timer.start(10);
  action();
  return seen;
}

// A control's rectangle in the dialog's coordinates: the plot area lies in
// the control that holds it with its ruler and readout.
QRect Geometry(Dlg& dlg, int id) {
  QWidget* control = dlg.GetDlgItem(id);
  return QRect(control->mapTo(&dlg, QPoint(0, 0)), control->size());
}

QComboBox* Combo(Dlg& dlg, int id) { return qobject_cast<QComboBox*>(dlg.GetDlgItem(id)); }
QPushButton* Button(Dlg& dlg, int id) { return qobject_cast<QPushButton*>(dlg.GetDlgItem(id)); }
QString StatusText(Dlg& dlg) {
  return qobject_cast<QLabel*>(dlg.GetDlgItem(Dlg::IDC_STATUS))->text();
}

// Replaces the frequency field's text by typing.
void TypeFreq(Dlg& dlg, const QString& text) {
  QLineEdit* edit = Combo(dlg, Dlg::IDC_FREQ)->lineEdit();
  edit->clear();
  QTest::keyClicks(edit, text);
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One channel at 1000 Hz holding `samples` as stored (int16), 1 s long when
// the pattern repeats: for the level and hint checks.
c3dtest::Recording OneChannel(const std::function<double(int)>& sample) {
  c3dtest::Recording rec;
  rec.samplesPerFrame = 10;
  rec.frameRate = 100.0f;
  std::vector<double> values;
  for (int i = 0; i < 1000; ++i) values.push_back(sample(i));
  rec.analog = {values};
  c3dtest::AddStandardParameters(rec, {"EMG"}, {}, {}, std::nullopt);
  return rec;
}

// The bytes the sound core writes for this channel, bits, rate and level:
// what the dialog must produce.
QByteArray CoreWave(const CC3d& c3d, int channel, int bits, float rate, sound::SoundLevel level,
                    const QString& path) {
  std::vector<float> buffer;
  c3dtest::RecordingSoundHost host;
  sound::WriteWave(c3d, {.channel = channel, .bits = bits, .rate = rate, .level = level}, buffer,
                   QFile::encodeName(path).toStdString(), host);
  return ReadAll(path);
}

QString Status(const char* state) {
  return QString::fromLatin1(Messages::kStatusPrefix) + QString::fromLatin1(state);
}

}  // namespace

class TestAnalogSoundDlg : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void opensWithNothingChosen();
  void layoutFollowsTheFont();
  void listsDropBelowTheirBox();
  void grownDialogGivesThePlotTheRoom();
  void channelListShowsWholeLabels();
  void listsChannelsByLabel_data();
  void listsChannelsByLabel();
  void fileWithoutAnalogChannels();
  void playChecksTheRate_data();
  void playChecksTheRate();
  void buildFailuresShowTheirMessage();
  void freqFieldTakesOnlyWhatFits();
  void playWithoutChannelDoesNothing();
  void stopWhenNothingPlaysDoesNothing();
  void escapeAndCloseBoxKeepItOpen();
  void okOrEnterClosesAndDeletesTheFile_data();
  void okOrEnterClosesAndDeletesTheFile();
  void soundPlaysOnAfterClose();
  void channelChangeWhilePlayingMovesThePlotOnly();
  void levelChoiceIsKeptAndFitBuildsTheCoresSound_data();
  void levelChoiceIsKeptAndFitBuildsTheCoresSound();
  void hintSuggestsFitOnlyWhenAsRecordedSuitsBadly_data();
  void hintSuggestsFitOnlyWhenAsRecordedSuitsBadly();
  void saveWritesWhatPlayPlays_data();
  void saveWritesWhatPlayPlays();
  void rightEarPlaysTwoChannelsAndOverlaysThePlot();
  void failedSaveLeavesNoFile_data();
  void failedSaveLeavesNoFile();
  void refusedBuildLeavesTheFileAsItWas();
  void saveReachesPipesAndLinks_data();
  void saveReachesPipesAndLinks();
  void playWithoutSoundOutputSaysSo();
  void soundServerGoneWhilePlayingSaysSo();
  void opensRealFiles_data();
  void opensRealFiles();
  void screenshotUnderXvfb();

 private:
  // Shows dlg on c3d and waits until it is on screen.
  void Open(Dlg& dlg, CC3d* c3d) {
    dlg.m_pC3d = c3d;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  }
  bool CanPlay() const { return !QMediaDevices::defaultAudioOutput().isNull(); }

 public:
  // The dialog keeps its level and size in the settings: a private folder.
  static void initMain() { guitest::UseScratchEnvironment(); }

 private:
  std::unique_ptr<CSoundPlayer> m_player;  // the application's one player
  std::unique_ptr<QTemporaryDir> m_tmp;    // this test's TMPDIR
};

void TestAnalogSoundDlg::initTestCase() { m_player = std::make_unique<CSoundPlayer>(); }

void TestAnalogSoundDlg::init() {
  // Each test gets its own temporary directory, where the dialog puts its file.
  guitest::ClearSettings();
  m_tmp = std::make_unique<QTemporaryDir>();
  QVERIFY(m_tmp->isValid());
  qputenv("TMPDIR", QFile::encodeName(m_tmp->path()));
}

void TestAnalogSoundDlg::cleanup() {
  m_player->Purge();
  // Every dialog is gone by now, and so must be every file it made.
  if (m_tmp) QCOMPARE(QDir(m_tmp->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), {});
  m_tmp.reset();
}

void TestAnalogSoundDlg::opensWithNothingChosen() {
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  Dlg dlg;
  QCOMPARE(dlg.m_nBitsIndex, 1);
  QCOMPARE(dlg.m_strFreq, QStringLiteral("8000"));
  QVERIFY(dlg.m_strStatus.isEmpty() && dlg.m_strTempFile.isEmpty());
  Open(dlg, c3d.get());

  QCOMPARE(dlg.windowTitle(), QStringLiteral("C3D Analog Sound"));
  QCOMPARE(dlg.m_comboChannel.currentIndex(), -1);
  QCOMPARE(dlg.m_plot.m_nChannel, -1);
  QCOMPARE(dlg.m_plot.m_pC3d, c3d.get());
  QCOMPARE(Combo(dlg, Dlg::IDC_BITS)->currentText(), QStringLiteral("16 Bit"));
  QCOMPARE(Combo(dlg, Dlg::IDC_FREQ)->currentText(), QStringLiteral("8000"));
  QCOMPARE(StatusText(dlg), QStringLiteral("Status :  Idle"));
  QCOMPARE(dlg.m_pSoundBuffer, std::vector<float>(50, 0.0f));

  // The temporary file: empty, owner-only, named "wav..." in the temp folder.
  const QFileInfo file(dlg.m_strTempFile);
  QVERIFY(file.exists());
  QCOMPARE(file.size(), 0);
  QVERIFY(file.fileName().startsWith(QLatin1String("wav")));
  QCOMPARE(file.absolutePath(), QDir(m_tmp->path()).absolutePath());
  QCOMPARE(file.permissions() &
               (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
           QFile::Permissions());

  // The lists: bits in resource order, frequencies sorted as text.
  const auto items = [](QComboBox* combo) {
    QStringList list;
    for (int i = 0; i < combo->count(); ++i) list << combo->itemText(i);
    return list;
  };
  QCOMPARE(items(Combo(dlg, Dlg::IDC_BITS)), QStringList({"8 Bit", "16 Bit"}));
  QCOMPARE(items(Combo(dlg, Dlg::IDC_FREQ)),
           QStringList({"11025", "16000", "22050", "32000", "44100", "6000", "8000"}));
  QVERIFY(Combo(dlg, Dlg::IDC_FREQ)->isEditable() && !Combo(dlg, Dlg::IDC_BITS)->isEditable() &&
          !dlg.m_comboChannel.isEditable());

  // OK is the default button; the tab order is the resource order.
  QVERIFY(Button(dlg, Dlg::IDOK)->isDefault());
  QList<QWidget*> expected, chain;
  for (int id :
       {Dlg::IDOK, Dlg::IDC_CHANNEL, Dlg::IDC_PLAY, Dlg::IDC_BITS, Dlg::IDC_FREQ, Dlg::IDC_STOP}) {
    expected << dlg.GetDlgItem(id);
  }
  QWidget* w = expected.front();
  do {
    if (expected.contains(w)) chain << w;
    w = w->nextInFocusChain();
  } while (w != expected.front() && chain.size() <= expected.size());
  QCOMPARE(chain, expected);
  QCOMPARE(dlg.GetDlgItem(Dlg::IDC_PLOT)->focusPolicy(), Qt::NoFocus);
}

void TestAnalogSoundDlg::layoutFollowsTheFont() {
  // Positions and sizes are dialog units of the dialog's font, at any size.
  for (const qreal points : {8.0, 16.0}) {
    Dlg dlg;
    QFont font = dlg.font();
    font.setPointSizeF(points);
    dlg.setFont(font);
    const CDialogUnits du(font);
    QCOMPARE(dlg.size(), QSize(du.X(362), du.Y(175)));
    QCOMPARE(Geometry(dlg, Dlg::IDC_PLOT), du.Map(QRect(66, 30, 288, 122)));
    QCOMPARE(dlg.GetDlgItem(Dlg::IDOK)->geometry(), du.Map(QRect(305, 8, 50, 14)));
    QCOMPARE(dlg.GetDlgItem(Dlg::IDC_STOP)->geometry(), du.Map(QRect(8, 106, 50, 14)));
    QCOMPARE(dlg.GetDlgItem(Dlg::IDC_STATUS)->geometry(), du.Map(QRect(66, 158, 228, 12)));
    QCOMPARE(dlg.GetDlgItem(Dlg::IDC_FREQ)->pos(), du.Map(QRect(8, 68, 48, 100)).topLeft());
    QCOMPARE(dlg.GetDlgItem(Dlg::IDC_FREQ)->width(), du.X(48));
  }
  // A horizontal unit is a quarter of the letters' mean width (not the font
  // table's average character width).
  const QFontMetrics fm(QApplication::font());
  QVERIFY(std::abs(CDialogUnits(QApplication::font()).BaseX() -
                   fm.horizontalAdvance(
                       QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                       52.0) <= 0.5);
}

void TestAnalogSoundDlg::grownDialogGivesThePlotTheRoom() {
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  const QSize grow(150, 90);
  // Loop, "Tick at events" and the Right ear row were placed by separate
  // features in the strips and corners around the plot: none of them may
  // cover another shown control (the plot, its ruler and readout included).
  const auto addedOverlaps = [](Dlg& dlg) {
    const QWidget* view = dlg.GetDlgItem(Dlg::IDC_PLOT)->parentWidget();
    QList<std::pair<QString, QRect>> shown;
    for (const QWidget* w : dlg.findChildren<const QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (!w->isVisible() || w->isWindow() || qobject_cast<const QSizeGrip*>(w)) continue;
      const auto* label = qobject_cast<const QLabel*>(w);
      if (w != view) shown.append({label ? label->text() : w->objectName(), w->geometry()});
      for (const QWidget* part : w->findChildren<const QWidget*>(Qt::FindDirectChildrenOnly))
        if (w == view && part->isVisible())
          shown.append({part->objectName(), part->geometry().translated(w->pos())});
    }
    const QStringList added = {QStringLiteral("IDC_LOOP"), QStringLiteral("IDC_TICKS"),
                               QStringLiteral("IDC_RIGHT_EAR"),
                               QString::fromLatin1(Messages::kRightEarLabel)};
    QStringList overlaps;
    for (const auto& [name, rect] : shown) {
      if (!added.contains(name)) continue;
      for (const auto& [other, otherRect] : shown)
        if (other != name && rect.intersects(otherRect)) overlaps << name + " and " + other;
    }
    return overlaps.join(QStringLiteral(", "));
  };
  // A label beside its box (Level, Sound, Right ear, Speed) ends at least
  // 2 pixels before it, in fonts wider than the template's too.
  const auto crowdedLabels = [](Dlg& dlg) {
    QStringList crowded;
    for (const QLabel* label : dlg.findChildren<const QLabel*>(Qt::FindDirectChildrenOnly)) {
      const QWidget* box = label->buddy();
      if (!label->isVisible() || box == nullptr || !box->isVisible()) continue;
      const QRect l = label->geometry();
      const QRect b = box->geometry();
      const bool sameRow = l.top() <= b.bottom() && b.top() <= l.bottom();
      if (sameRow && l.right() + 2 >= b.left()) crowded << label->text();
    }
    return crowded.join(QStringLiteral(", "));
  };
  const int ids[] = {Dlg::IDOK,      Dlg::IDC_CHANNEL,    Dlg::IDC_PLOT, Dlg::IDC_PLAY,
                     Dlg::IDC_STOP,  Dlg::IDC_BITS,       Dlg::IDC_FREQ, Dlg::IDC_STATUS,
                     Dlg::IDC_LEVEL, Dlg::IDC_LEVEL_HINT, Dlg::IDC_SAVE};
  QHash<int, QRect> opened;
  QSize templateSize;
  {
    Dlg dlg;
    Open(dlg, c3d.get());
    const CDialogUnits du(dlg.font());
    templateSize = QSize(du.X(362), du.Y(175));
    QCOMPARE(dlg.size(), templateSize);  // a first run opens at the template size
    for (const int id : ids) opened[id] = Geometry(dlg, id);
    QCOMPARE(opened[Dlg::IDC_PLOT], du.Map(QRect(66, 30, 288, 122)));
    QCOMPARE(dlg.PlotRect(), opened[Dlg::IDC_PLOT]);
    QCOMPARE(addedOverlaps(dlg), QString());
    QCOMPARE(crowdedLabels(dlg), QString());

    dlg.resize(templateSize + grow);
    QCOMPARE(dlg.size(), templateSize + grow);
    QCOMPARE(addedOverlaps(dlg), QString());
    QCOMPARE(crowdedLabels(dlg), QString());
    for (const int id : ids) {
      const QRect now = Geometry(dlg, id);
      QRect expected = opened[id];
      if (id == Dlg::IDC_PLOT) expected.setSize(expected.size() + grow);  // takes the room
      if (id == Dlg::IDOK) expected.translate(grow.width(), 0);           // keeps to the right edge
      if (id == Dlg::IDC_STATUS) expected.translate(0, grow.height());  // keeps to the bottom edge
      QVERIFY2(now == expected, qPrintable(QStringLiteral("control %1").arg(id)));
    }
    QCOMPARE(dlg.PlotRect(), Geometry(dlg, Dlg::IDC_PLOT));
    // The plot draws into its new room: the trace reaches its new right part.
    dlg.m_comboChannel.setCurrentIndex(0);
    const QImage plot = dlg.m_plot.grab().toImage();
    QCOMPARE(plot.size(), opened[Dlg::IDC_PLOT].size() + grow);
    const QRgb background = plot.pixel(plot.width() - 3, 2);
    bool traceAtRight = false;
    for (int y = 2; y < plot.height() - 2; ++y)
      traceAtRight |= plot.pixel(plot.width() - 3, y) != background;
    QVERIFY(traceAtRight);

    // Not smaller than the template.
    dlg.resize(templateSize - QSize(100, 50));
    QCOMPARE(dlg.size(), templateSize);
    dlg.resize(templateSize + grow);
    Button(dlg, Dlg::IDOK)->click();
  }
  // Reopened at the size it was left at.
  Dlg dlg;
  Open(dlg, c3d.get());
  QCOMPARE(dlg.size(), templateSize + grow);
  QCOMPARE(dlg.GetDlgItem(Dlg::IDC_PLOT)->size(), opened[Dlg::IDC_PLOT].size() + grow);
  QCOMPARE(dlg.GetDlgItem(Dlg::IDC_STOP)->geometry(), opened[Dlg::IDC_STOP]);
  Button(dlg, Dlg::IDOK)->click();
}

void TestAnalogSoundDlg::listsDropBelowTheirBox() {
  // 40 channels: the dropped list must stop at the template's list height
  // (108 units from the box's top) and scroll, not cover the screen.
  auto c3d = Load(SineRecording(40, 1, 100.0f, 2, {}));
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  QComboBox& combo = dlg.m_comboChannel;
  combo.showPopup();
  QWidget* popup = combo.view()->window();
  QTRY_VERIFY(popup->isVisible());
  const QRect box(combo.mapToGlobal(QPoint(0, 0)), combo.size());
  const QRect list = popup->frameGeometry();
  combo.hidePopup();
  QVERIFY2(list.top() >= box.bottom(), "below the box");
  QVERIFY2(list.bottom() <= box.top() + CDialogUnits(dlg.font()).Y(108), "within the list height");
  QVERIFY(list.height() > 4 * combo.fontMetrics().height());
}

void TestAnalogSoundDlg::channelListShowsWholeLabels() {
  // Long labels (as real files have them), units for the first two channels.
  const std::vector<std::string> labels{"R.ADDUCTOR LONGUS (EMG, right leg)", "Acc_X",
                                        "Force plate 2 moment about the vertical axis"};
  c3dtest::Recording rec = SineRecording(3, 10, 100.0f, 300, labels);
  rec.records.push_back(c3dtest::ParamRec{
      2, "UNITS", false, -1, {2, 2}, {}, {"uV", "g"}, ' ', {}, "Channel units", {}, {}});
  auto c3d = Load(rec);
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  QComboBox& combo = dlg.m_comboChannel;
  const CDialogUnits du(dlg.font());
  QCOMPARE(combo.width(), du.X(48));  // the closed box keeps its size

  // Each entry's tooltip: whole label, units ("(none)" without a row), rate, length.
  for (int i = 0; i < 3; ++i) {
    const QString units = i == 0   ? QStringLiteral("uV")
                          : i == 1 ? QStringLiteral("g")
                                   : QStringLiteral("(none)");
    QCOMPARE(combo.itemData(i, Qt::ToolTipRole).toString(),
             QString::fromStdString(labels[static_cast<std::size_t>(i)]) +
                 QStringLiteral("\nUnits: ") + units + QStringLiteral("\n1000 Hz, 3000 samples"));
  }

  // The opened list is as wide as its longest entry: no label is cut.
  combo.showPopup();
  QAbstractItemView* view = combo.view();
  QTRY_VERIFY(view->window()->isVisible());
  const QFontMetrics fm(view->font());
  for (int i = 0; i < combo.count(); ++i) {
    const QModelIndex index = combo.model()->index(i, 0);
    QVERIFY2(view->viewport()->width() >= view->sizeHintForIndex(index).width(),
             qPrintable(combo.itemText(i)));
    QVERIFY(view->visualRect(index).width() >= fm.horizontalAdvance(combo.itemText(i)));
  }
  QVERIFY(view->window()->width() > combo.width());
  combo.hidePopup();

  // The closed box cut long labels however wide the dialog was: it widens
  // with the dialog, as far as its longest label needs, and the plot moves.
  dlg.resize(du.X(362) + 1000, dlg.height());
  combo.setCurrentIndex(2);
  QVERIFY(combo.width() >= fm.horizontalAdvance(combo.itemText(2)));
  QVERIFY(Geometry(dlg, Dlg::IDC_PLOT).left() > combo.geometry().right());
  QCOMPARE(Geometry(dlg, Dlg::IDC_PLOT).right(), du.Map(QRect(66, 30, 288, 122)).right() + 1000);
}

void TestAnalogSoundDlg::listsChannelsByLabel_data() {
  QTest::addColumn<std::vector<std::string>>("labels");
  QTest::addColumn<QStringList>("listed");
  QTest::newRow("labels") << std::vector<std::string>{"EMG1", "Force Z", "A"}
                          << QStringList{"EMG1", "Force Z", "A"};
  QTest::newRow("empty and missing rows")
      << std::vector<std::string>{"EMG1", ""} << QStringList{"EMG1", "Chan 2", "Chan 3"};
  QTest::newRow("no Labels") << std::vector<std::string>{}
                             << QStringList{"Chan 1", "Chan 2", "Chan 3"};
}

void TestAnalogSoundDlg::listsChannelsByLabel() {
  QFETCH(std::vector<std::string>, labels);
  QFETCH(QStringList, listed);
  c3dtest::Recording rec = SineRecording(3, 1, 1000.0f, 20, labels);
  // Pad label rows with NUL bytes, so an empty row reads back empty.
  for (auto& r : rec.records) {
    if (auto* p = std::get_if<c3dtest::ParamRec>(&r); p && p->name == "LABELS") p->pad = '\0';
  }
  auto c3d = Load(rec);
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  QStringList shown;
  for (int i = 0; i < dlg.m_comboChannel.count(); ++i) {
    shown << dlg.m_comboChannel.itemText(i);
    QCOMPARE(shown.back().toStdString(), AnalogChannelName(*c3d, i));
  }
  QCOMPARE(shown, listed);
  QCOMPARE(dlg.m_comboChannel.currentIndex(), -1);
}

void TestAnalogSoundDlg::fileWithoutAnalogChannels() {
  auto c3d = Load(SineRecording(0, 1, 100.0f, 10, {}));
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  QCOMPARE(dlg.m_comboChannel.count(), 0);
  const auto boxes = CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_PLAY)->click(); });
  QCOMPARE(boxes.size(), 0u);
  QCOMPARE(dlg.m_plot.m_nChannel, -1);
  QCOMPARE(QFileInfo(dlg.m_strTempFile).size(), 0);
  QCOMPARE(StatusText(dlg), Status(Messages::kStatusIdle));
}

void TestAnalogSoundDlg::playChecksTheRate_data() {
  QTest::addColumn<int>("samplesPerFrame");  // x 100 frames per second
  QTest::addColumn<QString>("freq");         // "list:X" picks entry X, else typed
  QTest::addColumn<int>("bitsIndex");
  QTest::addColumn<QString>("message");     // empty: accepted
  QTest::addColumn<int>("rate");            // the WAVE header's rate when accepted
  QTest::addColumn<QString>("fieldAfter");  // the field's text afterwards
  const QString low = QString::fromLatin1(Messages::kFreqTooLow);
  const QString high = QString::fromLatin1(Messages::kFreqTooHigh);
  QTest::newRow("1000 Hz, 8000 from the list") << 10 << "list:8000" << 1 << "" << 8000 << "8000";
  QTest::newRow("1000 Hz, 8000 at 8 bits") << 10 << "list:8000" << 0 << "" << 8000 << "8000";
  QTest::newRow("1000 Hz, typed 500") << 10 << "500" << 1 << low << 0 << "500";
  QTest::newRow("1000 Hz, typed 44100") << 10 << "44100" << 1 << "" << 44100 << "44100";
  QTest::newRow("1000 Hz, typed 44101") << 10 << "44101" << 1 << high << 0 << "44101";
  QTest::newRow("1000 Hz, not a number") << 10 << "abc" << 1 << low << 0 << "abc";
  QTest::newRow("1000 Hz, typed 2205 shows 22050") << 10 << "2205" << 1 << "" << 2205 << "22050";
  QTest::newRow("1000 Hz, typed 8000.9") << 10 << "8000.9" << 1 << "" << 8000 << "8000.9";
  QTest::newRow("50000 Hz, 8000") << 500 << "list:8000" << 1 << low << 0 << "8000";
  QTest::newRow("50000 Hz, 44100") << 500 << "list:44100" << 1 << low << 0 << "44100";
  QTest::newRow("50000 Hz, 60000") << 500 << "60000" << 1 << high << 0 << "60000";
}

void TestAnalogSoundDlg::playChecksTheRate() {
  QFETCH(int, samplesPerFrame);
  QFETCH(QString, freq);
  QFETCH(int, bitsIndex);
  QFETCH(QString, message);
  QFETCH(int, rate);
  QFETCH(QString, fieldAfter);
  auto c3d =
      Load(SineRecording(2, static_cast<std::uint16_t>(samplesPerFrame), 100.0f, 20, {"A", "B"}));
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(1);
  Combo(dlg, Dlg::IDC_BITS)->setCurrentIndex(bitsIndex);
  QComboBox* freqCombo = Combo(dlg, Dlg::IDC_FREQ);
  if (freq.startsWith(QLatin1String("list:"))) {
    freqCombo->setCurrentIndex(freqCombo->findText(freq.mid(5)));
    QVERIFY(freqCombo->currentIndex() >= 0);
  } else {
    TypeFreq(dlg, freq);
  }

  const auto boxes = CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_PLAY)->click(); });
  const WaveHeader wave = ReadWave(dlg.m_strTempFile);
  if (message.isEmpty()) {
    QCOMPARE(boxes.size(), 0u);
    QCOMPARE(wave.rate, static_cast<quint32>(rate));
    QCOMPARE(wave.bits, bitsIndex == 0 ? 8 : 16);
    QVERIFY(wave.dataBytes > 0);
    QCOMPARE(wave.riffSize, static_cast<quint32>(wave.length - 8));
    QCOMPARE(StatusText(dlg), Status(Messages::kStatusDone));
  } else {
    // One modal box with one OK button over the open dialog; nothing written.
    QCOMPARE(boxes.size(), 1u);
    QCOMPARE(boxes[0].text, message);
    QCOMPARE(boxes[0].buttons, 1);
    QVERIFY(boxes[0].okButton && boxes[0].modal && boxes[0].dialogVisible);
    QVERIFY(dlg.isVisible());
    QCOMPARE(wave.length, 0);
    QCOMPARE(StatusText(dlg), Status(Messages::kStatusIdle));
  }
  // Pushing the status back rewrote the field; the member keeps what was read.
  QCOMPARE(freqCombo->currentText(), fieldAfter);
  QCOMPARE(dlg.m_strFreq, freq.startsWith(QLatin1String("list:")) ? freq.mid(5) : freq);
}

void TestAnalogSoundDlg::buildFailuresShowTheirMessage() {
  // A channel of one sample cannot be resampled: "Error", then an empty sound.
  auto one = Load(SineRecording(1, 1, 100.0f, 1, {"A"}));
  QVERIFY(one);
  {
    Dlg dlg;
    Open(dlg, one.get());
    dlg.m_comboChannel.setCurrentIndex(0);
    const auto boxes = CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_PLAY)->click(); });
    QCOMPARE(boxes.size(), 1u);
    QCOMPARE(boxes[0].text, QString::fromLatin1(Messages::kError));
    QVERIFY(boxes[0].buttons == 1 && boxes[0].modal && boxes[0].dialogVisible);
    QCOMPARE(ReadWave(dlg.m_strTempFile).length, 44);
    QCOMPARE(StatusText(dlg), Status(Messages::kStatusDone));
  }
  // A temporary file that cannot be opened: "Could not create", status kept.
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  const QString path = dlg.m_strTempFile;
  QVERIFY(QFile::remove(path) && QDir().mkdir(path));  // a folder cannot be opened as a file
  const auto boxes = CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_PLAY)->click(); });
  QCOMPARE(boxes.size(), 1u);
  QCOMPARE(boxes[0].text, QString::fromLatin1(Messages::kCouldNotCreate));
  QCOMPARE(StatusText(dlg), Status(Messages::kStatusIdle));
  QVERIFY(QDir().rmdir(path));
}

void TestAnalogSoundDlg::freqFieldTakesOnlyWhatFits() {
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  const QString longText(60, QLatin1Char('9'));
  TypeFreq(dlg, longText);
  const QString kept = Combo(dlg, Dlg::IDC_FREQ)->currentText();
  QVERIFY(!kept.isEmpty() && kept.size() < longText.size());
  QVERIFY(longText.startsWith(kept));
}

void TestAnalogSoundDlg::playWithoutChannelDoesNothing() {
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  TypeFreq(dlg, QStringLiteral("500"));  // a rate that would draw a message
  const auto boxes = CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_PLAY)->click(); });
  QCOMPARE(boxes.size(), 0u);
  QCOMPARE(QFileInfo(dlg.m_strTempFile).size(), 0);
  QCOMPARE(StatusText(dlg), Status(Messages::kStatusIdle));
  QCOMPARE(dlg.m_strFreq, QStringLiteral("8000"));  // the controls were not even read
}

void TestAnalogSoundDlg::stopWhenNothingPlaysDoesNothing() {
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  const QImage before = dlg.grab().toImage();
  const auto boxes = CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_STOP)->click(); });
  QCOMPARE(boxes.size(), 0u);
  QVERIFY(!m_player->IsPlaying());
  QCOMPARE(StatusText(dlg), Status(Messages::kStatusIdle));
  QCOMPARE(dlg.grab().toImage(), before);
}

void TestAnalogSoundDlg::escapeAndCloseBoxKeepItOpen() {
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  QTest::keyClick(&dlg, Qt::Key_Escape);
  QVERIFY(dlg.isVisible());
  QVERIFY(!dlg.close());                          // the close box, as the widget sees it
  QVERIFY(dlg.windowHandle()->close() == false);  // and as the window system sends it
  QVERIFY(dlg.isVisible());
  QVERIFY(QFileInfo::exists(dlg.m_strTempFile));
  Button(dlg, Dlg::IDOK)->click();
  QVERIFY(!dlg.isVisible());
}

void TestAnalogSoundDlg::okOrEnterClosesAndDeletesTheFile_data() {
  QTest::addColumn<int>("how");
  QTest::newRow("OK button") << 0;
  QTest::newRow("Enter on the dialog") << 1;
  QTest::newRow("Enter in the Freq field") << 2;
  QTest::newRow("Enter on the channel list") << 3;
}

void TestAnalogSoundDlg::okOrEnterClosesAndDeletesTheFile() {
  QFETCH(int, how);
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  Dlg dlg;
  dlg.m_pC3d = c3d.get();
  QString path;
  bool modal = false;
  QTimer::singleShot(0, &dlg, [&] {
    path = dlg.m_strTempFile;
    modal = dlg.isModal() && QApplication::activeModalWidget() == &dlg;
    TypeFreq(dlg, QStringLiteral("11025"));
    switch (how) {
      case 0:
        Button(dlg, Dlg::IDOK)->click();
        break;
      case 1:
        QTest::keyClick(&dlg, Qt::Key_Return);
        break;
      case 2:
        QTest::keyClick(Combo(dlg, Dlg::IDC_FREQ)->lineEdit(), Qt::Key_Return);
        break;
      case 3:
        QTest::keyClick(&dlg.m_comboChannel, Qt::Key_Enter);
        break;
    }
    // Not closed: fail without blocking the test.
    if (dlg.isVisible()) dlg.done(-1);
  });
  QCOMPARE(dlg.DoModal(), static_cast<int>(QDialog::Accepted));
  QVERIFY(modal);
  QVERIFY(!path.isEmpty());
  QVERIFY(!QFileInfo::exists(path));
  QVERIFY(dlg.m_pSoundBuffer.empty());
  QCOMPARE(dlg.m_strFreq, QStringLiteral("11025"));  // OK reads the controls
}

void TestAnalogSoundDlg::soundPlaysOnAfterClose() {
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  auto dlg = std::make_unique<Dlg>();
  Open(*dlg, c3d.get());
  dlg->m_comboChannel.setCurrentIndex(0);
  QCOMPARE(CatchBoxes(*dlg, [&] { Button(*dlg, Dlg::IDC_PLAY)->click(); }).size(), 0u);
  const QString path = dlg->m_strTempFile;
  QCOMPARE(ReadWave(path).rate, 8000u);
  if (!CanPlay()) {
    QSKIP(
        "no audio output device, so nothing can play on after the dialog (scripts/test starts "
        "a private PulseAudio server with a null sink for this)");
  }
  QVERIFY2(m_player->IsPlaying(), qPrintable(m_player->LastError()));
  Button(*dlg, Dlg::IDOK)->click();
  dlg.reset();
  QVERIFY(!QFileInfo::exists(path));
  QVERIFY(m_player->IsPlaying());

  // Listen: the 3-second sound is heard after the dialog has gone.
  QAudioDevice capture;
  for (const QAudioDevice& d : QMediaDevices::audioInputs()) {
    if (d.description() == QLatin1String("NullCapture")) capture = d;
  }
  if (capture.isNull())
    QSKIP("no capture source \"NullCapture\" to hear the sound with (scripts/test provides it)");
  QAudioFormat format;
  format.setSampleRate(44100);
  format.setChannelCount(1);
  format.setSampleFormat(QAudioFormat::Int16);
  QAudioSource source(capture, format);
  QIODevice* io = source.start();
  QByteArray heard;
  QObject::connect(io, &QIODevice::readyRead, [&] { heard += io->readAll(); });
  QTest::qWait(800);
  source.stop();
  int peak = 0;
  for (qsizetype i = 0; i + 1 < heard.size(); i += 2) {
    peak = std::max(
        peak, std::abs(static_cast<int>(static_cast<qint16>(
                  static_cast<quint8>(heard[i]) | (static_cast<quint8>(heard[i + 1]) << 8)))));
  }
  QVERIFY2(peak > 4000,
           qPrintable(QStringLiteral("peak %1 in %2 bytes").arg(peak).arg(heard.size())));
  QVERIFY(m_player->IsPlaying());
}

void TestAnalogSoundDlg::channelChangeWhilePlayingMovesThePlotOnly() {
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  QCOMPARE(dlg.m_plot.m_nChannel, 0);
  const QImage plot0 = dlg.m_plot.grab().toImage();
  Button(dlg, Dlg::IDC_PLAY)->click();
  QFile file(dlg.m_strTempFile);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray sound = file.readAll();
  file.close();
  const bool playing = m_player->IsPlaying();

  dlg.m_comboChannel.setCurrentIndex(1);
  QCOMPARE(dlg.m_plot.m_nChannel, 1);
  QVERIFY(dlg.m_plot.grab().toImage() != plot0);  // the other channel is drawn
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), sound);
  QCOMPARE(StatusText(dlg), Status(Messages::kStatusDone));
  QCOMPARE(m_player->IsPlaying(), playing);
  if (!playing) QSKIP("no audio output device: only the plot and the file were checked");
}

void TestAnalogSoundDlg::levelChoiceIsKeptAndFitBuildsTheCoresSound_data() {
  QTest::addColumn<int>("bitsIndex");
  QTest::newRow("16 bit") << 1;
  QTest::newRow("8 bit") << 0;
}

void TestAnalogSoundDlg::levelChoiceIsKeptAndFitBuildsTheCoresSound() {
  QFETCH(int, bitsIndex);
  // Signed values around 0: as recorded they wrap, so the two levels differ.
  auto c3d = Load(OneChannel([](int i) { return std::round(900 * std::sin(i * 0.05)); }));
  QVERIFY(c3d);
  QTemporaryDir out;
  const int bits = bitsIndex == 0 ? 8 : 16;
  const QByteArray fit =
      CoreWave(*c3d, 0, bits, 8000.0f, sound::SoundLevel::FitToChannel, out.filePath("fit.wav"));
  const QByteArray recorded =
      CoreWave(*c3d, 0, bits, 8000.0f, sound::SoundLevel::AsRecorded, out.filePath("rec.wav"));
  QVERIFY(fit.size() > 44 && fit != recorded);

  {
    Dlg dlg;
    Open(dlg, c3d.get());
    QComboBox* level = Combo(dlg, Dlg::IDC_LEVEL);
    QCOMPARE(level->currentText(), QStringLiteral("As recorded"));  // a first run
    dlg.m_comboChannel.setCurrentIndex(0);
    Combo(dlg, Dlg::IDC_BITS)->setCurrentIndex(bitsIndex);
    Button(dlg, Dlg::IDC_PLAY)->click();
    QCOMPARE(ReadAll(dlg.m_strTempFile), recorded);
    level->setCurrentIndex(level->findText(QStringLiteral("Fit to channel")));
    QCOMPARE(dlg.m_level, sound::SoundLevel::FitToChannel);
    Button(dlg, Dlg::IDC_PLAY)->click();
    QCOMPARE(ReadAll(dlg.m_strTempFile), fit);
    Button(dlg, Dlg::IDOK)->click();
  }
  {
    // Reopened: the choice is still "Fit to channel"; back to "As recorded".
    Dlg dlg;
    Open(dlg, c3d.get());
    QCOMPARE(Combo(dlg, Dlg::IDC_LEVEL)->currentText(), QStringLiteral("Fit to channel"));
    QCOMPARE(dlg.m_level, sound::SoundLevel::FitToChannel);
    dlg.m_comboChannel.setCurrentIndex(0);
    Combo(dlg, Dlg::IDC_BITS)->setCurrentIndex(bitsIndex);
    Button(dlg, Dlg::IDC_PLAY)->click();
    QCOMPARE(ReadAll(dlg.m_strTempFile), fit);
    Combo(dlg, Dlg::IDC_LEVEL)->setCurrentIndex(0);
    Button(dlg, Dlg::IDOK)->click();
  }
  Dlg dlg;
  Open(dlg, c3d.get());
  QCOMPARE(dlg.m_level, sound::SoundLevel::AsRecorded);
  Button(dlg, Dlg::IDOK)->click();
}

void TestAnalogSoundDlg::hintSuggestsFitOnlyWhenAsRecordedSuitsBadly_data() {
  QTest::addColumn<std::function<double(int)>>("sample");
  QTest::addColumn<QString>("hint");  // under "As recorded"
  QTest::newRow("12-bit around 2048") << std::function<double(int)>([](int i) {
    return 2048 + std::round(1500 * std::sin(i * 0.05));
  }) << QString();
  QTest::newRow("signed around 0")
      << std::function<double(int)>([](int i) { return std::round(900 * std::sin(i * 0.05)); })
      << QString::fromLatin1(Messages::kHintWouldWrap);
  QTest::newRow("above 4095") << std::function<double(int)>([](int i) { return 4000 + i % 200; })
                              << QString::fromLatin1(Messages::kHintWouldWrap);
  QTest::newRow("a 60-step range")
      << std::function<double(int)>([](int i) { return 2000 + i % 60; })
      << QString::fromLatin1(Messages::kHintNearSilence);
  QTest::newRow("an 82-step range")
      << std::function<double(int)>([](int i) { return 2000 + i % 83; }) << QString();
}

void TestAnalogSoundDlg::hintSuggestsFitOnlyWhenAsRecordedSuitsBadly() {
  QFETCH(std::function<double(int)>, sample);
  QFETCH(QString, hint);
  auto c3d = Load(OneChannel(sample));
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  auto* line = qobject_cast<QLabel*>(dlg.GetDlgItem(Dlg::IDC_LEVEL_HINT));
  QVERIFY(line);
  QCOMPARE(line->text(), QString());  // no channel chosen yet
  dlg.m_comboChannel.setCurrentIndex(0);
  QCOMPARE(line->text(), hint);
  QCOMPARE(dlg.m_level, sound::SoundLevel::AsRecorded);  // a hint never changes the choice
  // With "Fit to channel" there is nothing to suggest; back again, the hint returns.
  Combo(dlg, Dlg::IDC_LEVEL)->setCurrentIndex(1);
  QCOMPARE(line->text(), QString());
  Combo(dlg, Dlg::IDC_LEVEL)->setCurrentIndex(0);
  QCOMPARE(line->text(), hint);
  Button(dlg, Dlg::IDOK)->click();
}

void TestAnalogSoundDlg::saveWritesWhatPlayPlays_data() {
  QTest::addColumn<int>("bitsIndex");
  QTest::addColumn<int>("levelIndex");
  QTest::addColumn<QString>("freq");
  QTest::newRow("16 bit, as recorded, 8000") << 1 << 0 << "8000";
  QTest::newRow("8 bit, fit, 11025") << 0 << 1 << "11025";
  QTest::newRow("16 bit, fit, 44100") << 1 << 1 << "44100";
}

void TestAnalogSoundDlg::saveWritesWhatPlayPlays() {
  QFETCH(int, bitsIndex);
  QFETCH(int, levelIndex);
  QFETCH(QString, freq);
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  QTemporaryDir out;
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(1);
  Combo(dlg, Dlg::IDC_BITS)->setCurrentIndex(bitsIndex);
  Combo(dlg, Dlg::IDC_LEVEL)->setCurrentIndex(levelIndex);
  TypeFreq(dlg, freq);
  QCOMPARE(CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_PLAY)->click(); }).size(), 0u);
  const QByteArray played = ReadAll(dlg.m_strTempFile);
  QVERIFY(played.size() > 44);
  const bool playing = m_player->IsPlaying();

  // Saved over an older file, which it replaces whole.
  const QString path = out.filePath(QStringLiteral("saved.wav"));
  QFile old(path);
  QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(100000, 'x')) == 100000);
  old.close();
  // Through the button and the file dialog, as a user saves.
  int asked = 0;
  QTimer picker;
  QObject::connect(&picker, &QTimer::timeout, [&] {
    auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (files == nullptr || !files->isVisible()) return;
    ++asked;
    // Typed into the name field (selectFile leaves a focused field alone).
    if (auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
      name->setText(path);
    static_cast<QDialog*>(files)->done(
        QDialog::Accepted);  // not accept(): no question about the old file
  });
  picker.start(10);
  QCOMPARE(CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_SAVE)->click(); }).size(), 0u);
  picker.stop();
  QCOMPARE(asked, 1);
  QCOMPARE(ReadAll(path), played);
  // The status line says where the sound went.
  QCOMPARE(StatusText(dlg),
           QString::fromLatin1(Messages::kStatusPrefix) +
               QString::fromLatin1(Messages::kStatusSaved)
                   .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
  // The temporary file and what plays are left as they were.
  QCOMPARE(ReadAll(dlg.m_strTempFile), played);
  QCOMPARE(m_player->IsPlaying(), playing);
  QCOMPARE(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
           QStringList{QStringLiteral("saved.wav")});
}

// The Right ear drop-down: None and every channel, a mnemonic and a
// tooltip; a channel chosen, Play and Save build the core's two-channel
// sound of the dialog's channel (left) and that one (right), and the plot
// draws it over the first in its own colour; None draws the plot exactly as
// before. Not remembered: the next opening starts at None. Catches Play or
// Save ignoring the choice, swapped ears, and an overlay left behind.
void TestAnalogSoundDlg::rightEarPlaysTwoChannelsAndOverlaysThePlot() {
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  QTemporaryDir out;
  const QString saved = out.filePath(QStringLiteral("stereo.wav"));
  {
    Dlg dlg;
    Open(dlg, c3d.get());
    QComboBox* right = Combo(dlg, Dlg::IDC_RIGHT_EAR);
    QVERIFY(right && !right->toolTip().isEmpty());
    QCOMPARE(right->count(), 3);
    QCOMPARE(right->itemText(0), QStringLiteral("None"));
    QCOMPARE(right->itemText(2), dlg.m_comboChannel.itemText(1));
    QStringList buddyTexts;  // the label whose mnemonic focuses the drop-down
    for (const QLabel* l : dlg.findChildren<QLabel*>())
      if (l->buddy() == right) buddyTexts << l->text();
    QCOMPARE(buddyTexts, QStringList{QStringLiteral("&Right ear")});

    dlg.m_comboChannel.setCurrentIndex(0);
    const QImage mono = dlg.m_plot.grab().toImage();
    right->setCurrentIndex(2);
    const QImage overlaid = dlg.m_plot.grab().toImage();
    int orange = 0;
    for (int y = 0; y < overlaid.height(); ++y)
      for (int x = 0; x < overlaid.width(); ++x)
        orange += overlaid.pixelColor(x, y) == OverlayTraceColor() ? 1 : 0;
    QVERIFY(orange > overlaid.width());  // a trace across the plot
    QCOMPARE(CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_PLAY)->click(); }).size(), 0u);
    const QByteArray played = ReadAll(dlg.m_strTempFile);
    std::vector<float> buffer;
    c3dtest::RecordingSoundHost host;
    const QString core = out.filePath(QStringLiteral("core.wav"));
    sound::WriteWave(*c3d, {.channel = 0, .bits = 16, .rate = 8000, .right = 1}, buffer,
                     QFile::encodeName(core).toStdString(), host);
    QCOMPARE(played, ReadAll(core));
    QCOMPARE(Le32(played, 22) & 0xFFFF, 2u);  // two channels
    QVERIFY(dlg.SaveSound(saved));
    QCOMPARE(ReadAll(saved), played);

    Button(dlg, Dlg::IDC_STOP)->click();  // no playhead over the picture
    right->setCurrentIndex(0);
    QCOMPARE(dlg.m_plot.grab().toImage(), mono);
    dlg.done(QDialog::Accepted);
  }
  Dlg again;
  Open(again, c3d.get());
  QCOMPARE(Combo(again, Dlg::IDC_RIGHT_EAR)->currentIndex(), 0);
}

void TestAnalogSoundDlg::failedSaveLeavesNoFile_data() {
  QTest::addColumn<QString>("target");  // under a scratch folder
  QTest::addColumn<QString>("freq");
  QTest::addColumn<QString>("boxStart");  // the message box's text begins so
  const QString cannot = QString::fromLatin1(Messages::kCouldNotSave);
  QTest::newRow("folder missing") << "missing/out.wav"
                                  << "8000" << cannot;
  QTest::newRow("target is a folder") << "folder"
                                      << "8000" << cannot;
  QTest::newRow("folder is a file") << "plain/out.wav"
                                    << "8000" << cannot;
  QTest::newRow("rate refused") << "old.wav"
                                << "500" << QString::fromLatin1(Messages::kFreqTooLow);
}

void TestAnalogSoundDlg::failedSaveLeavesNoFile() {
  QFETCH(QString, target);
  QFETCH(QString, freq);
  QFETCH(QString, boxStart);
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  QTemporaryDir out;
  QVERIFY(QDir(out.path()).mkdir(QStringLiteral("folder")));
  for (const char* name : {"plain", "old.wav"}) {
    QFile file(out.filePath(QString::fromLatin1(name)));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("kept") == 4);
  }
  const auto listing = [&] {
    QStringList all;
    QDirIterator it(out.path(), QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
      all << it.next() + QLatin1Char(' ') + QString::number(it.fileInfo().size());
    all.sort();
    return all;
  };
  const QStringList before = listing();

  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  TypeFreq(dlg, freq);
  bool saved = true;
  const auto boxes = CatchBoxes(dlg, [&] { saved = dlg.SaveSound(out.filePath(target)); });
  QVERIFY(!saved);
  QCOMPARE(boxes.size(), 1u);
  QVERIFY2(boxes[0].text.startsWith(boxStart), qPrintable(boxes[0].text));
  QVERIFY(boxes[0].dialogVisible);
  QCOMPARE(listing(), before);  // nothing new, nothing half-written, the old file kept
  QCOMPARE(ReadAll(out.filePath(QStringLiteral("old.wav"))), QByteArray("kept"));
}

// A channel of one sample cannot be resampled. Save took the empty sound
// of the refused build for a success and put it over the chosen file; it
// must write nothing, keep the old file byte for byte and say why.
void TestAnalogSoundDlg::refusedBuildLeavesTheFileAsItWas() {
  auto one = Load(SineRecording(1, 1, 100.0f, 1, {"A"}));
  QVERIFY(one);
  QTemporaryDir out;
  const QString path = out.filePath(QStringLiteral("old.wav"));
  const QByteArray old(5000, 'k');
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
  file.close();
  Dlg dlg;
  Open(dlg, one.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  bool saved = true;
  const auto boxes = CatchBoxes(dlg, [&] { saved = dlg.SaveSound(path); });
  QVERIFY(!saved);
  QCOMPARE(boxes.size(), 1u);
  QVERIFY2(boxes[0].text.startsWith(QString::fromLatin1(Messages::kCouldNotSave)) &&
               boxes[0].text.endsWith(QString::fromLatin1(Messages::kSaveRefused)),
           qPrintable(boxes[0].text));
  QCOMPARE(ReadAll(path), old);
  QCOMPARE(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
           QStringList{QStringLiteral("old.wav")});
}

void TestAnalogSoundDlg::saveReachesPipesAndLinks_data() {
  QTest::addColumn<bool>("fifo");  // the link's target (or the name itself) is a FIFO
  QTest::addColumn<bool>("link");  // the name chosen is a symbolic link
  QTest::newRow("FIFO") << true << false;
  QTest::newRow("link to a file") << false << true;
  QTest::newRow("link to a FIFO") << true << true;
}

// Save went through a plain QSaveFile: a FIFO became a regular file and a
// link was replaced by a file. A FIFO must deliver the sound to its reader
// and stay a FIFO; a link must stay a link, its target holding the sound.
void TestAnalogSoundDlg::saveReachesPipesAndLinks() {
  QFETCH(bool, fifo);
  QFETCH(bool, link);
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  QTemporaryDir out;
  const QString target = out.filePath(QStringLiteral("target.wav"));
  const QString named = link ? out.filePath(QStringLiteral("link.wav")) : target;
  const std::string targetName = QFile::encodeName(target).toStdString();
  if (fifo) {
    QCOMPARE(::mkfifo(targetName.c_str(), 0600), 0);
  } else {
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
  }
  if (link) QVERIFY(QFile::link(QStringLiteral("target.wav"), named));
  const QByteArray expected =
      CoreWave(*c3d, 0, 16, 8000.0f, sound::SoundLevel::AsRecorded, m_tmp->filePath("e.wav"));
  QVERIFY(QFile::remove(m_tmp->filePath("e.wav")));

  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  QByteArray heard;
  std::thread reader;
  if (fifo) {
    reader = std::thread([&] {
      const int fd = ::open(targetName.c_str(), O_RDONLY);  // waits for the writer
      char block[4096];
      for (ssize_t got; fd >= 0 && (got = ::read(fd, block, sizeof block)) > 0;)
        heard.append(block, static_cast<qsizetype>(got));
      if (fd >= 0) ::close(fd);
    });
  }
  bool saved = false;
  const auto boxes = CatchBoxes(dlg, [&] { saved = dlg.SaveSound(named); });
  if (fifo) {
    // Should Save not have opened the FIFO, a writer of our own ends the wait.
    const int fd = ::open(targetName.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    reader.join();
  }
  QVERIFY(saved);
  QCOMPARE(boxes.size(), 0u);
  QCOMPARE(fifo ? heard : ReadAll(target), expected);
  const std::filesystem::path namedPath(QFile::encodeName(named).toStdString());
  QCOMPARE(std::filesystem::is_symlink(namedPath), link);
  QCOMPARE(std::filesystem::is_fifo(std::filesystem::path(targetName)), fifo);
  const QStringList names =
      link ? QStringList{"link.wav", "target.wav"} : QStringList{"target.wav"};
  QCOMPARE(QDir(out.path())
               .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System,
                          QDir::Name),
           names);
}

void TestAnalogSoundDlg::playWithoutSoundOutputSaysSo() {
  // The sound server is hidden from a second run of this one test.
  constexpr const char* kChild = "TREMOLUX_TEST_WITHOUT_SOUND_OUTPUT";
  if (CanPlay()) {
    QVERIFY(qEnvironmentVariableIsEmpty(kChild));
    QTemporaryDir dir;
    QProcessEnvironment env = guitest::PrivateSoundEnvironment(dir.path());
    env.insert(QString::fromLatin1(kChild), QStringLiteral("1"));
    env.insert(QStringLiteral("PULSE_SERVER"), dir.filePath(QStringLiteral("no-server")));
    QVERIFY(guitest::RunTestAgain(env, QStringLiteral("playWithoutSoundOutputSaysSo")));
    return;
  }
  auto c3d = Load(At1000Hz());
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  // The output is opened after Play has returned: its failure comes after.
  QCOMPARE(CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_PLAY)->click(); }).size(), 0u);
  QTRY_COMPARE_WITH_TIMEOUT(StatusText(dlg), Status(Messages::kStatusNoDevice), 10000);
  QVERIFY(ReadWave(dlg.m_strTempFile).dataBytes > 0);  // the sound itself was built
  QVERIFY(!m_player->IsPlaying());
  // Stop and another Play change nothing of that.
  Button(dlg, Dlg::IDC_STOP)->click();
  Button(dlg, Dlg::IDC_PLAY)->click();
  QTRY_COMPARE_WITH_TIMEOUT(StatusText(dlg), Status(Messages::kStatusNoDevice), 10000);
  QVERIFY(!m_player->IsPlaying());
}

void TestAnalogSoundDlg::soundServerGoneWhilePlayingSaysSo() {
#ifndef Q_OS_UNIX
  QSKIP("a PulseAudio server of the test's own is started and killed on Unix only");
#else
  // A second run of this one test plays through a sound server of its own
  // and kills it while the sound plays.
  constexpr const char* kServerPid = "TREMOLUX_TEST_OWN_SOUND_SERVER_PID";
  const QByteArray serverPid = qgetenv(kServerPid);
  if (serverPid.isEmpty()) {
    const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (pulseaudio.isEmpty()) QSKIP("no pulseaudio program to run a sound server with");
    QTemporaryDir dir;
    QProcessEnvironment env = guitest::PrivateSoundEnvironment(dir.path());
    QProcess server;
    server.setProcessEnvironment(env);
    QVERIFY(guitest::StartPrivateSoundServer(server, pulseaudio));
    QTRY_VERIFY_WITH_TIMEOUT(
        QFileInfo::exists(dir.filePath(QStringLiteral("runtime/pulse/native"))), 10000);
    env.insert(QString::fromLatin1(kServerPid), QString::number(server.processId()));
    const bool passed =
        guitest::RunTestAgain(env, QStringLiteral("soundServerGoneWhilePlayingSaysSo"), 60000);
    if (server.state() != QProcess::NotRunning) {
      server.kill();
      server.waitForFinished();
    }
    QVERIFY(passed);
    return;
  }
  QVERIFY2(CanPlay(), "the test's own sound server is not reachable");
  auto c3d = Load(At1000Hz());  // a 3-second sound
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  Button(dlg, Dlg::IDC_PLAY)->click();
  QCOMPARE(StatusText(dlg), Status(Messages::kStatusDone));
  QVERIFY2(m_player->IsPlaying(), qPrintable(m_player->LastError()));
  TypeFreq(dlg, QStringLiteral("1102"));  // being typed when the news comes
  QCOMPARE(::kill(static_cast<pid_t>(serverPid.toLongLong()), SIGKILL), 0);
  QTRY_COMPARE_WITH_TIMEOUT(StatusText(dlg), Status(Messages::kStatusNoDevice), 10000);
  QVERIFY(!m_player->IsPlaying());
  QCOMPARE(Combo(dlg, Dlg::IDC_FREQ)->currentText(), QStringLiteral("1102"));
#endif
}

void TestAnalogSoundDlg::opensRealFiles_data() {
  QTest::addColumn<QString>("file");
  for (const char* f :
       {"sample01/Eb015pi.c3d", "sample13/Dance.c3d", "sample07/16bitanalog.c3d",
        "sample00/Innovative Sports Training/Gait with EMG.c3d", "sample03/gait-pig.c3d"}) {
    QTest::newRow(f) << QStringLiteral(TREMOLUX_SAMPLES_DIR "/") + QString::fromLatin1(f);
  }
}

void TestAnalogSoundDlg::opensRealFiles() {
  QFETCH(QString, file);
  if (!QFileInfo::exists(file))
    QSKIP("the real C3D samples folder is absent (TREMOLUX_SAMPLES_DIR)");
  CC3d c3d;
  c3d.m_strPathName = QFile::encodeName(file).toStdString();
  QVERIFY(c3d.Load());
  Dlg dlg;
  Open(dlg, &c3d);
  QCOMPARE(dlg.m_comboChannel.count(), static_cast<int>(c3d.m_analogs.size()));
  for (int i = 0; i < dlg.m_comboChannel.count(); ++i) {
    QCOMPARE(dlg.m_comboChannel.itemText(i).toLatin1().toStdString(), AnalogChannelName(c3d, i));
  }
  // The last channel, plotted and played at 44100 Hz, 8 bits.
  dlg.m_comboChannel.setCurrentIndex(dlg.m_comboChannel.count() - 1);
  QVERIFY(!dlg.m_plot.grab().isNull());
  Combo(dlg, Dlg::IDC_BITS)->setCurrentIndex(0);
  TypeFreq(dlg, QStringLiteral("44100"));
  QCOMPARE(CatchBoxes(dlg, [&] { Button(dlg, Dlg::IDC_PLAY)->click(); }).size(), 0u);
  const WaveHeader wave = ReadWave(dlg.m_strTempFile);
  QCOMPARE(wave.rate, 44100u);
  QCOMPARE(wave.bits, 8);
  QCOMPARE(wave.length, 44 + static_cast<qint64>(wave.dataBytes));
  // The sound lasts as long as the recording (N / R = count / A, less a fraction of a sample).
  const double analogRate = c3d.m_nAnalogSamplesPerFrame * static_cast<double>(c3d.m_fFrameRate);
  QVERIFY(std::abs(wave.dataBytes / 44100.0 - c3d.GetAnalogSampleCount() / analogRate) <
          1.0 / analogRate);
}

void TestAnalogSoundDlg::screenshotUnderXvfb() {
  const QByteArray display = qgetenv("TREMOLUX_XVFB_DISPLAY");
  if (display.isEmpty())
    QSKIP(
        "TREMOLUX_XVFB_DISPLAY is unset: no X server to take the picture on (scripts/test starts "
        "Xvfb)");
  const QString out = QStringLiteral(TREMOLUX_BUILD_DIR "/sounddlg-screenshot.png");
  QFile::remove(out);
  QProcess tool;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.insert(QStringLiteral("DISPLAY"), QString::fromLocal8Bit(display));
  // The tool reads the dialog's settings (level, size) from a folder of its own.
  QTemporaryDir config;
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
  tool.setProcessEnvironment(env);
  tool.setProcessChannelMode(QProcess::ForwardedChannels);
  tool.start(QStringLiteral(TREMOLUX_SOUNDDLG),
             {QStringLiteral(TREMOLUX_DEMO_C3D), QStringLiteral("--channel"), QStringLiteral("2"),
              QStringLiteral("--screenshot"), out});
  QVERIFY(tool.waitForFinished(60000));
  QCOMPARE(tool.exitCode(), 0);

  // The picture has the dialog's proportions and a trace in the plot.
  const QImage shot(out);
  QVERIFY(!shot.isNull());
  QVERIFY(shot.width() > shot.height() * 3 / 2 && shot.width() < shot.height() * 5 / 2);
  const QRect plot(shot.width() * 66 / 362 + 4, shot.height() * 30 / 175 + 4,
                   shot.width() * 288 / 362 - 8, shot.height() * 122 / 175 - 8);
  // Background and trace each cover a good part of the plot; the grid is grey.
  QHash<QRgb, int> colours;
  for (int y = plot.top(); y < plot.bottom(); ++y) {
    for (int x = plot.left(); x < plot.right(); ++x) ++colours[shot.pixel(x, y)];
  }
  const int pixels = plot.width() * plot.height();
  int large = 0;
  for (const int n : std::as_const(colours)) large += n > pixels / 20 ? 1 : 0;
  QVERIFY2(large >= 2, "background and trace");
  QVERIFY2(colours.contains(qRgb(128, 128, 128)), "the dotted grid");
  qInfo("screenshot: %s", qPrintable(out));
}

TREMOLUX_SOUND_TEST_MAIN(TestAnalogSoundDlg)
#include "tst_analogsounddlg.moc"
