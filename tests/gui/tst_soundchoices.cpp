// The sound dialog's Sound, Pitch, Filter and Speed choices, driven through
// their drop-downs: Play builds the bytes tremolux-cli wav writes with the
// matching options, Save writes exactly what Play built, the rate check
// follows the speed, the choices are remembered, the hint line says what
// Auto chose, and a filter the analog rate cannot carry is refused. The
// plot shows the chosen filter and the file's events, and "Tick at events"
// adds the ticks tremolux-cli --ticks adds.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/Filters.h"
#include "gui/player/SoundPlayer.h"
#include "gui/render/PlotRender.h"
#include "gui/sound/CAnalogSoundDlg.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/SoundTestMain.h"
#include "tests/support/C3dWriter.h"
#include "tests/support/HandFilledC3d.h"
#include "tests/support/RunCli.h"

namespace {

using Dlg = CAnalogSoundDlg;
using Sample = std::function<double(int)>;

// Channels labelled CH1, CH2, ... holding sample(i) as stored (int16), at
// 10 samples per frame and frameRate frames per second, `frames` frames.
c3dtest::Recording Channels(const std::vector<Sample>& samples, float frameRate, int frames) {
  c3dtest::Recording rec;
  rec.samplesPerFrame = 10;
  rec.frameRate = frameRate;
  std::vector<std::string> labels;
  for (const Sample& sample : samples) {
    std::vector<double> values;
    for (int i = 0; i < frames * 10; ++i) values.push_back(std::round(sample(i)));
    rec.analog.push_back(values);
    labels.push_back("CH" + std::to_string(labels.size() + 1));
  }
  c3dtest::AddStandardParameters(rec, labels, {}, {}, std::nullopt);
  return rec;
}

// An EMG-like channel at 1000 Hz: a 120 Hz tone in bursts, with 50 Hz hum
// and an offset; 2 s.
c3dtest::Recording EmgAt1000Hz() {
  const auto emg = [](int i) {
    const double t = i / 1000.0;
    const double burst = std::fmod(t, 0.5) < 0.25 ? 1.0 : 0.1;
    return 2300 + 900 * burst * std::sin(2 * std::numbers::pi * 120 * t) +
           200 * std::sin(2 * std::numbers::pi * 50 * t);
  };
  const auto force = [](int i) { return 1000 + 800 * std::sin(2 * std::numbers::pi * i / 2000.0); };
  return Channels({emg, force}, 100.0f, 200);
}

// The EMG recording with two header events, at 0.5 s (sample 500) and 1.2 s
// (sample 1200).
c3dtest::Recording EmgWithEvents() {
  c3dtest::Recording rec = EmgAt1000Hz();
  rec.events = {c3dtest::EventRec{"LFS", 0.5f, 1}, c3dtest::EventRec{"RFO", 1.2f, 1}};
  return rec;
}

// The plot's area inside its frame as painted.
QImage PlotPixels(CAnalogPlot& plot) {
  return plot.grab(plot.contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file as written, loaded as the document loads it.
std::unique_ptr<CC3d> LoadFile(const QString& path) {
  const QByteArray bytes = ReadAll(path);
  auto c3d = std::make_unique<CC3d>();
  if (bytes.isEmpty() ||
      !c3d->LoadFromMemory(bytes.constData(), static_cast<std::size_t>(bytes.size())))
    return nullptr;
  return c3d;
}

QComboBox* Combo(Dlg& dlg, int id) { return qobject_cast<QComboBox*>(dlg.GetDlgItem(id)); }

QString HintText(Dlg& dlg) {
  return qobject_cast<QLabel*>(dlg.GetDlgItem(Dlg::IDC_LEVEL_HINT))->text();
}

// Sets the Freq field's text as UpdateData(false) shows a member.
void SetFreq(Dlg& dlg, const QString& freq) {
  dlg.m_strFreq = freq;
  dlg.UpdateData(false);
}

}  // namespace

class TestSoundChoices : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { m_player = std::make_unique<CSoundPlayer>(); }
  void init() {
    guitest::ClearSettings();
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
    qputenv("TMPDIR", QFile::encodeName(m_tmp->path()));
  }
  void cleanup() {
    m_player->Purge();
    m_tmp.reset();
  }

  void playAndSaveBuildTheCliSound_data();
  void playAndSaveBuildTheCliSound();
  void rateCheckFollowsTheSpeed();
  void choicesAreRememberedAndEnableTheirControls();
  void hintSaysWhatAutoChose_data();
  void hintSaysWhatAutoChose();
  void filterAtHalfTheAnalogRateIsRefused();
  void plotShowsTheChosenFilter();
  void eventsStandOnThePlotAndBracketsMoveTheView();
  void tickBoxAddsTheCliTicksAndIsRemembered();

 public:
  static void initMain() { guitest::UseScratchEnvironment(); }

 private:
  // Shows dlg on c3d and waits until it is on screen.
  void Open(Dlg& dlg, CC3d* c3d) {
    dlg.m_pC3d = c3d;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  }

  std::unique_ptr<CSoundPlayer> m_player;  // the application's one player
  std::unique_ptr<QTemporaryDir> m_tmp;    // this test's TMPDIR
};

void TestSoundChoices::playAndSaveBuildTheCliSound_data() {
  QTest::addColumn<int>("channel");
  QTest::addColumn<int>("level");  // list indices of the drop-downs
  QTest::addColumn<int>("mode");
  QTest::addColumn<int>("pitch");
  QTest::addColumn<int>("filter");
  QTest::addColumn<int>("speed");
  QTest::addColumn<QString>("freq");
  QTest::addColumn<QStringList>("cli");  // the matching tremolux-cli wav options
  QTest::newRow("defaults: the plain waveform")
      << 0 << 0 << 0 << 0 << 0 << 0 << "8000" << QStringList{};
  QTest::newRow("EMG + mains 50 Hz, fit")
      << 0 << 1 << 0 << 0 << 5 << 0 << "8000"
      << QStringList{"--level", "fit", "--filter", "bandpass:20-450,notch:50"};
  QTest::newRow("mains 60 Hz, as recorded")
      << 0 << 0 << 0 << 0 << 4 << 0 << "11025" << QStringList{"--filter", "notch:60"};
  QTest::newRow("high-pass 20 Hz at x10")
      << 0 << 1 << 0 << 0 << 2 << 3 << "8000"
      << QStringList{"--level", "fit", "--filter", "highpass:20", "--speed", "10"};
  QTest::newRow("x100, nothing else")
      << 0 << 0 << 0 << 0 << 0 << 6 << "44100" << QStringList{"--speed", "100"};
  // Pitch and Auto leave Filter and Speed out, whatever they show.
  QTest::newRow("pitch 100-1000 Hz") << 1 << 0 << 1 << 1 << 5 << 3 << "16000"
                                     << QStringList{"--mode", "pitch", "--pitch", "100-1000"};
  QTest::newRow("pitch, the default range")
      << 1 << 0 << 1 << 0 << 0 << 0 << "8000" << QStringList{"--mode", "pitch"};
  QTest::newRow("auto on the slow channel")
      << 1 << 0 << 2 << 2 << 1 << 4 << "8000" << QStringList{"--mode", "auto"};
  QTest::newRow("auto on the EMG")
      << 0 << 1 << 2 << 0 << 0 << 0 << "22050" << QStringList{"--mode", "auto"};
}

void TestSoundChoices::playAndSaveBuildTheCliSound() {
  QFETCH(int, channel);
  QFETCH(int, level);
  QFETCH(int, mode);
  QFETCH(int, pitch);
  QFETCH(int, filter);
  QFETCH(int, speed);
  QFETCH(QString, freq);
  QFETCH(QStringList, cli);
  QTemporaryDir dir;
  const QString file =
      guitest::WriteRecording(dir.path(), QStringLiteral("emg.c3d"), EmgAt1000Hz());
  QVERIFY(!file.isEmpty());

  // What tremolux-cli writes with the matching options.
  const QString expectedPath = dir.filePath(QStringLiteral("cli.wav"));
  std::vector<std::string> args{
      "wav",    file.toStdString(),        "--channel", std::to_string(channel),
      "--rate", freq.toStdString(),        "--bits",    "16",
      "-o",     expectedPath.toStdString()};
  for (const QString& option : cli) args.push_back(option.toStdString());
  const c3dtest::CliRun run = c3dtest::RunCli(TREMOLUX_CLI, args, dir.path().toStdString());
  QVERIFY2(run.exitCode == 0, run.err.c_str());
  const QByteArray expected = ReadAll(expectedPath);
  QVERIFY(expected.size() > 44);

  auto c3d = LoadFile(file);
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(channel);
  Combo(dlg, Dlg::IDC_LEVEL)->setCurrentIndex(level);
  Combo(dlg, Dlg::IDC_SOUND)->setCurrentIndex(mode);
  Combo(dlg, Dlg::IDC_PITCH)->setCurrentIndex(pitch);
  Combo(dlg, Dlg::IDC_FILTER)->setCurrentIndex(filter);
  Combo(dlg, Dlg::IDC_SPEED)->setCurrentIndex(speed);
  SetFreq(dlg, freq);
  guitest::ModalCatcher boxes;
  qobject_cast<QPushButton*>(dlg.GetDlgItem(Dlg::IDC_PLAY))->click();
  QCOMPARE(boxes.seen().size(), 0u);
  const QByteArray played = ReadAll(dlg.m_strTempFile);
  QCOMPARE(played.size(), expected.size());
  QVERIFY(played == expected);

  // Save writes the very bytes Play built.
  const QString saved = dir.filePath(QStringLiteral("saved.wav"));
  QVERIFY(dlg.SaveSound(saved));
  QCOMPARE(boxes.seen().size(), 0u);
  QVERIFY(ReadAll(saved) == played);
  dlg.accept();
}

void TestSoundChoices::rateCheckFollowsTheSpeed() {
  // At 1000 Hz a rate of 900 is refused at x1; at x2 the channel counts as
  // sampled at 2000 Hz and any rate of the list, or below, plays.
  auto c3d =
      LoadFile(guitest::WriteRecording(m_tmp->path(), QStringLiteral("a.c3d"), EmgAt1000Hz()));
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  SetFreq(dlg, QStringLiteral("900"));
  {
    guitest::ModalCatcher boxes;
    dlg.OnPlay();
    QCOMPARE(boxes.seen().size(), 1u);
    QCOMPARE(boxes.seen()[0].text, QString::fromLatin1(Messages::kFreqTooLow));
  }
  Combo(dlg, Dlg::IDC_SPEED)->setCurrentIndex(1);  // x2
  {
    guitest::ModalCatcher boxes;
    dlg.OnPlay();
    QCOMPARE(boxes.seen().size(), 0u);
  }
  QVERIFY(ReadAll(dlg.m_strTempFile).size() > 44);
  // Pitch plays at the channel's own rate: the x2 shown no longer counts.
  Combo(dlg, Dlg::IDC_SOUND)->setCurrentIndex(1);
  {
    guitest::ModalCatcher boxes;
    dlg.OnPlay();
    QCOMPARE(boxes.seen().size(), 1u);
    QCOMPARE(boxes.seen()[0].text, QString::fromLatin1(Messages::kFreqTooLow));
  }
  dlg.accept();
}

void TestSoundChoices::choicesAreRememberedAndEnableTheirControls() {
  auto c3d =
      LoadFile(guitest::WriteRecording(m_tmp->path(), QStringLiteral("a.c3d"), EmgAt1000Hz()));
  QVERIFY(c3d);
  {
    Dlg dlg;
    Open(dlg, c3d.get());
    // A first run: the plain waveform.
    QCOMPARE(Combo(dlg, Dlg::IDC_SOUND)->currentText(), QStringLiteral("Waveform"));
    QCOMPARE(Combo(dlg, Dlg::IDC_FILTER)->currentText(), QStringLiteral("None"));
    QCOMPARE(Combo(dlg, Dlg::IDC_SPEED)->currentText(), QStringLiteral("x1"));
    QVERIFY(Combo(dlg, Dlg::IDC_FILTER)->isVisible());
    QVERIFY(!Combo(dlg, Dlg::IDC_PITCH)->isVisible());
    Combo(dlg, Dlg::IDC_FILTER)->setCurrentIndex(6);
    Combo(dlg, Dlg::IDC_SPEED)->setCurrentIndex(5);
    Combo(dlg, Dlg::IDC_PITCH)->setCurrentIndex(3);
    Combo(dlg, Dlg::IDC_SOUND)->setCurrentIndex(1);
    // Pitch: its range takes Filter's place; Speed is greyed.
    QVERIFY(Combo(dlg, Dlg::IDC_PITCH)->isVisible());
    QVERIFY(!Combo(dlg, Dlg::IDC_FILTER)->isVisible());
    QVERIFY(!Combo(dlg, Dlg::IDC_SPEED)->isEnabled());
    Combo(dlg, Dlg::IDC_SOUND)->setCurrentIndex(2);
    // Auto: Filter shown, greyed with Speed.
    QVERIFY(Combo(dlg, Dlg::IDC_FILTER)->isVisible());
    QVERIFY(!Combo(dlg, Dlg::IDC_FILTER)->isEnabled());
    QVERIFY(!Combo(dlg, Dlg::IDC_SPEED)->isEnabled());
    dlg.accept();
  }
  // Kept under tremolux-cli's words for the same choices.
  QSettings settings(QStringLiteral("Vandrel"), QStringLiteral("Tremolux"));
  settings.beginGroup(QStringLiteral("Sound Dialog"));
  QCOMPARE(settings.value(QStringLiteral("Sound")).toString(), QStringLiteral("auto"));
  QCOMPARE(settings.value(QStringLiteral("Pitch")).toString(), QStringLiteral("50-500"));
  QCOMPARE(settings.value(QStringLiteral("Filter")).toString(),
           QStringLiteral("bandpass:20-450,notch:60"));
  QCOMPARE(settings.value(QStringLiteral("Speed")).toString(), QStringLiteral("50"));
  {
    Dlg dlg;
    Open(dlg, c3d.get());
    QCOMPARE(Combo(dlg, Dlg::IDC_SOUND)->currentText(), QStringLiteral("Auto"));
    QCOMPARE(Combo(dlg, Dlg::IDC_PITCH)->currentText(), QStringLiteral("50-500 Hz"));
    QCOMPARE(Combo(dlg, Dlg::IDC_FILTER)->currentText(), QStringLiteral("EMG + mains 60 Hz"));
    QCOMPARE(Combo(dlg, Dlg::IDC_SPEED)->currentText(), QStringLiteral("x50"));
    QVERIFY(!Combo(dlg, Dlg::IDC_SPEED)->isEnabled());
    Combo(dlg, Dlg::IDC_SOUND)->setCurrentIndex(0);
    QVERIFY(Combo(dlg, Dlg::IDC_FILTER)->isEnabled());
    QVERIFY(Combo(dlg, Dlg::IDC_SPEED)->isEnabled());
    dlg.accept();
  }
  // An unknown word reads as the list's first entry.
  settings.setValue(QStringLiteral("Filter"), QStringLiteral("lowpass:7"));
  settings.sync();
  Dlg dlg;
  Open(dlg, c3d.get());
  QCOMPARE(Combo(dlg, Dlg::IDC_SOUND)->currentText(), QStringLiteral("Waveform"));
  QCOMPARE(Combo(dlg, Dlg::IDC_FILTER)->currentText(), QStringLiteral("None"));
  dlg.accept();
}

void TestSoundChoices::hintSaysWhatAutoChose_data() {
  QTest::addColumn<Sample>("sample");
  QTest::addColumn<QString>("autoHint");   // the hint begins so after Play under Auto
  QTest::addColumn<QString>("levelHint");  // under Waveform, "As recorded"
  QTest::newRow("constant") << Sample([](int) { return 700.0; })
                            << QStringLiteral("constant channel: nothing to hear")
                            << QString::fromLatin1(Messages::kHintNearSilence);
  QTest::newRow("slow") << Sample([](int i) { return 900 * std::sin(i * 0.003); })
                        << QStringLiteral("Auto: pitch (slow signal, ")
                        << QString::fromLatin1(Messages::kHintWouldWrap);
  QTest::newRow("fast") << Sample([](int i) { return 2048 + 1500 * std::sin(i * 0.9); })
                        << QStringLiteral("Auto: waveform (") << QString();
}

void TestSoundChoices::hintSaysWhatAutoChose() {
  QFETCH(Sample, sample);
  QFETCH(QString, autoHint);
  QFETCH(QString, levelHint);
  auto c3d = LoadFile(guitest::WriteRecording(
      m_tmp->path(), QStringLiteral("a.c3d"),
      Channels({sample, [](int i) { return 2048 + 1500 * std::sin(i * 0.9); }}, 100.0f, 200)));
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  QCOMPARE(HintText(dlg), levelHint);
  Combo(dlg, Dlg::IDC_SOUND)->setCurrentIndex(2);
  QCOMPARE(HintText(dlg), QString());  // Auto has not looked at the channel yet
  dlg.OnPlay();
  QVERIFY2(HintText(dlg).startsWith(autoHint), qPrintable(HintText(dlg)));
  const QString said = HintText(dlg);
  // Under Waveform the level's hint is back; under Auto again, Auto's note.
  Combo(dlg, Dlg::IDC_SOUND)->setCurrentIndex(0);
  QCOMPARE(HintText(dlg), levelHint);
  Combo(dlg, Dlg::IDC_SOUND)->setCurrentIndex(2);
  QCOMPARE(HintText(dlg), said);
  // Another channel: the note was not about it.
  dlg.m_comboChannel.setCurrentIndex(1);
  QCOMPARE(HintText(dlg), QString());
  dlg.accept();
}

void TestSoundChoices::filterAtHalfTheAnalogRateIsRefused() {
  // 200 Hz: EMG 20-450 Hz reaches beyond 100 Hz; Mains 60 Hz does not.
  auto c3d = LoadFile(guitest::WriteRecording(
      m_tmp->path(), QStringLiteral("a.c3d"),
      Channels({[](int i) { return 2048 + 1000 * std::sin(i * 0.3); }}, 20.0f, 40)));
  QVERIFY(c3d);
  const std::string refusal =
      sound::CheckFilterRates(sound::ParseFilters("bandpass:20-450").specs, 200.0);
  QVERIFY(!refusal.empty());
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  Combo(dlg, Dlg::IDC_FILTER)->setCurrentIndex(1);
  {
    guitest::ModalCatcher boxes;
    dlg.OnPlay();
    QCOMPARE(boxes.seen().size(), 1u);
    QCOMPARE(boxes.seen()[0].text, QString::fromStdString(refusal));
  }
  QCOMPARE(ReadAll(dlg.m_strTempFile), QByteArray());  // nothing built, nothing played
  QVERIFY(!m_player->IsPlaying());
  const QString saved = m_tmp->filePath(QStringLiteral("saved.wav"));
  {
    guitest::ModalCatcher boxes;
    QVERIFY(!dlg.SaveSound(saved));
    QCOMPARE(boxes.seen().size(), 1u);
    QVERIFY(boxes.seen()[0].text.startsWith(QString::fromLatin1(Messages::kCouldNotSave)));
    QVERIFY(boxes.seen()[0].text.endsWith(QString::fromStdString(refusal)));
  }
  QVERIFY(!QFile::exists(saved));
  Combo(dlg, Dlg::IDC_FILTER)->setCurrentIndex(4);
  {
    guitest::ModalCatcher boxes;
    dlg.OnPlay();
    QCOMPARE(boxes.seen().size(), 0u);
  }
  QVERIFY(ReadAll(dlg.m_strTempFile).size() > 44);
  dlg.accept();
}

// What you see is what you hear: with a filter chosen the plot draws the
// channel's values through it (made off the GUI thread), pixel for pixel the
// plot of those values filtered here with the same filter chain; Pitch, which
// is heard unfiltered, draws the stored values again.
void TestSoundChoices::plotShowsTheChosenFilter() {
  auto c3d =
      LoadFile(guitest::WriteRecording(m_tmp->path(), QStringLiteral("a.c3d"), EmgAt1000Hz()));
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  const QImage plain = PlotPixels(dlg.m_plot);
  // EMG 20-450 Hz, asked for by a paint, then High-pass 20 Hz at once: the
  // first one's values, whenever they come, are not drawn.
  Combo(dlg, Dlg::IDC_FILTER)->setCurrentIndex(1);
  dlg.m_plot.repaint();
  Combo(dlg, Dlg::IDC_FILTER)->setCurrentIndex(2);
  dlg.m_plot.repaint();
  QTRY_VERIFY(dlg.m_plot.ShowsFiltered());
  const QImage filtered = PlotPixels(dlg.m_plot);
  QVERIFY(filtered != plain);

  // The same values filtered here, drawn by the plot's painter.
  const CAnalog& analog = *c3d->m_analogs[0];
  sound::CFilterChain chain(sound::ParseFilters("highpass:20").specs, 1000.0);
  c3dtest::HandChannel channel;
  channel.offset = analog.m_fOffset;
  channel.scale = analog.m_fScale;
  for (int i = 0; i < c3d->GetAnalogSampleCount(); ++i) {
    const double v = chain.Process(analog.IntSamples()[i] - analog.m_fOffset);
    channel.raw.push_back(static_cast<float>(v + analog.m_fOffset));
  }
  const auto expected = c3dtest::HandFilledC3d(channel);
  QImage drawn(filtered.size(), QImage::Format_RGB32);
  {
    QPainter painter(&drawn);
    RenderAnalogPlot(painter, drawn.rect(), expected.get(), 0,
                     PlotColorsFrom(dlg.m_plot.palette()));
  }
  QVERIFY(drawn == filtered);

  Combo(dlg, Dlg::IDC_SOUND)->setCurrentIndex(1);  // Pitch: heard unfiltered
  QVERIFY(!dlg.m_plot.ShowsFiltered());
  QVERIFY(PlotPixels(dlg.m_plot) == plain);
  dlg.accept();
}

// Each header event stands as a line at its sample's column in the general
// colour, its tooltip names it with its time; "]" and "[" centre the next
// and the previous event (a fifth of the channel from the whole view).
void TestSoundChoices::eventsStandOnThePlotAndBracketsMoveTheView() {
  auto c3d =
      LoadFile(guitest::WriteRecording(m_tmp->path(), QStringLiteral("e.c3d"), EmgWithEvents()));
  QVERIFY(c3d);
  Dlg dlg;
  Open(dlg, c3d.get());
  dlg.m_comboChannel.setCurrentIndex(0);
  CAnalogPlot& plot = dlg.m_plot;
  const QRect inside = plot.contentsRect();
  const QImage pixels = PlotPixels(plot);
  for (const int sample : {500, 1200}) {
    const int x = sample * inside.width() / 1999;  // vertex k at k x W / (n - 1)
    QCOMPARE(QColor(pixels.pixel(x, inside.height() - 2)), EventColor('G'));
    QCOMPARE(QColor(pixels.pixel(x, inside.height() / 3)), EventColor('G'));
  }
  const QPoint onFirst(inside.left() + 500 * inside.width() / 1999, inside.center().y());
  QHelpEvent help(QEvent::ToolTip, onFirst, plot.mapToGlobal(onFirst));
  QApplication::sendEvent(&plot, &help);
  QCOMPARE(QToolTip::text(), QStringLiteral("LFS at 0.500 s"));
  QToolTip::hideText();

  dlg.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QTest::keyClick(&dlg, Qt::Key_BracketRight);
  QCOMPARE(plot.VisibleRange(), (PlotRange{301, 701}));  // 400 samples around 500
  QTest::keyClick(&dlg, Qt::Key_BracketRight);
  QCOMPARE(plot.VisibleRange(), (PlotRange{1001, 1401}));
  QTest::keyClick(&dlg, Qt::Key_BracketRight);  // no event after the last
  QCOMPARE(plot.VisibleRange(), (PlotRange{1001, 1401}));
  QTest::keyClick(&dlg, Qt::Key_BracketLeft);
  QCOMPARE(plot.VisibleRange(), (PlotRange{301, 701}));
  dlg.accept();
}

// The box makes Play and Save add what --ticks adds, is remembered, and
// unchecked leaves the sound byte for byte as without ticks.
void TestSoundChoices::tickBoxAddsTheCliTicksAndIsRemembered() {
  const QString file =
      guitest::WriteRecording(m_tmp->path(), QStringLiteral("e.c3d"), EmgWithEvents());
  auto c3d = LoadFile(file);
  QVERIFY(c3d);
  QByteArray cli[2];  // without and with --ticks
  for (const bool ticks : {false, true}) {
    const QString out = m_tmp->filePath(QStringLiteral("cli.wav"));
    std::vector<std::string> args{"wav",  file.toStdString(), "--channel", "0",  "--rate",
                                  "8000", "--bits",           "16",        "-o", out.toStdString()};
    if (ticks) args.push_back("--ticks");
    const c3dtest::CliRun run = c3dtest::RunCli(TREMOLUX_CLI, args, m_tmp->path().toStdString());
    QVERIFY2(run.exitCode == 0, run.err.c_str());
    cli[ticks] = ReadAll(out);
  }
  QVERIFY(cli[0] != cli[1]);
  for (const bool ticks : {true, false}) {
    Dlg dlg;
    Open(dlg, c3d.get());
    auto* box = qobject_cast<QCheckBox*>(dlg.GetDlgItem(Dlg::IDC_TICKS));
    QVERIFY(box != nullptr && box->text() == QString::fromLatin1(Messages::kTicksLabel));
    QCOMPARE(box->isChecked(), !ticks);  // the first run's choice is remembered for the second
    box->setChecked(ticks);
    dlg.m_comboChannel.setCurrentIndex(0);
    SetFreq(dlg, QStringLiteral("8000"));
    dlg.OnPlay();
    QVERIFY(ReadAll(dlg.m_strTempFile) == cli[ticks]);
    const QString saved = m_tmp->filePath(QStringLiteral("saved.wav"));
    QVERIFY(dlg.SaveSound(saved));
    QVERIFY(ReadAll(saved) == cli[ticks]);
    dlg.accept();
  }
}

TREMOLUX_SOUND_TEST_MAIN(TestSoundChoices)
#include "tst_soundchoices.moc"
