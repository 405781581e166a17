// The sound dialog's plot as a view the user moves in: the wheel zooms
// around the mouse, a drag pans, a double-click shows the whole channel; a
// zoomed plot is the plot of the sliced channel; the readout and the ruler
// sit outside the plot, and the ruler reads the range drawn; the playhead
// follows a real sound on the private sound server and goes at Stop; a
// zoomed Play, and Save, write the visible samples; Shift+drag selects, and
// Play, Loop and Save take the selection. The document window's lanes are
// that plot, one per channel, on one shared range.
#include <QAudioDevice>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <optional>
#include <set>

#include "core/c3d/C3d.h"
#include "core/plot/PlotEvents.h"
#include "core/plot/PlotSummary.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/app/CLaneView.h"
#include "gui/player/SoundPlayer.h"
#include "gui/render/PlotRender.h"
#include "gui/sound/CAnalogPlot.h"
#include "gui/sound/CAnalogSoundDlg.h"
#include "gui/sound/CPlotView.h"
#include "gui/sound/SoundSave.h"
#include "tests/gui/SoundTestMain.h"
#include "tests/support/C3dWriter.h"
#include "tests/support/RecordingSoundHost.h"

namespace {

// One channel at 1000 Hz (10 samples per frame, 100 frames a second) of
// `frames` frames, starting at frame `from` of a 3-second recording: a
// 50 Hz sine under a slow swell, so each stretch has its own extremes.
// Units "mV".
// With `two`, a second channel "EMG2" holds the same samples.
c3dtest::Recording Swell(int from, int frames, bool two = false) {
  c3dtest::Recording rec;
  rec.samplesPerFrame = 10;
  rec.frameRate = 100.0f;
  std::vector<double> samples;
  for (int i = from * 10; i < (from + frames) * 10; ++i) {
    const double t = i / 1000.0;
    samples.push_back(
        std::round(2048 + (300 + 1200 * t / 3) * std::sin(2 * std::numbers::pi * 50 * t)));
  }
  rec.analog.push_back(samples);
  if (two) {
    rec.analog.push_back(samples);
    c3dtest::AddStandardParameters(rec, {"EMG", "EMG2"}, {0.5, 0.5}, {2048, 2048}, std::nullopt);
  } else {
    c3dtest::AddStandardParameters(rec, {"EMG"}, {0.5}, {2048}, std::nullopt);
  }
  const std::uint8_t count = two ? 2 : 1;
  rec.records.push_back(c3dtest::ParamRec{2,
                                          "UNITS",
                                          false,
                                          -1,
                                          {2, count},
                                          {},
                                          std::vector<std::string>(count, "mV"),
                                          ' ',
                                          {},
                                          "Units",
                                          {},
                                          {}});
  return rec;
}

// Counts the paint events a widget receives.
class CPaintCounter : public QObject {
 public:
  explicit CPaintCounter(QWidget* watched) { watched->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

std::unique_ptr<CC3d> Load(const c3dtest::Recording& rec) {
  const std::vector<std::uint8_t> bytes = c3dtest::WriteC3d(rec);
  auto c3d = std::make_unique<CC3d>();
  if (!c3d->LoadFromMemory(bytes.data(), bytes.size())) return nullptr;
  return c3d;
}

// The plot's own rectangle (inside its frame) as the widget paints it.
QImage Inside(CAnalogPlot& plot) {
  return plot.grab(plot.contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
}

// Three float channels of 3000 samples at 1000 Hz: the swell, one with NaN
// and infinities among its values, and one that never changes.
c3dtest::Recording ThreeLanes() {
  c3dtest::Recording rec = Swell(0, 300);
  rec.floatData = true;
  std::vector<double> odd = rec.analog[0];
  for (std::size_t i = 5; i < odd.size(); i += 97) odd[i] = std::nan("");
  for (std::size_t i = 11; i < odd.size(); i += 301) odd[i] = (i % 2 ? 1 : -1) * HUGE_VAL;
  rec.analog.push_back(odd);
  rec.analog.push_back(std::vector<double>(rec.analog[0].size(), 7.0));
  rec.records.clear();
  c3dtest::AddStandardParameters(rec, {"EMG", "ODD", "FLAT"}, {1, 1, 1}, {0, 0, 0}, std::nullopt);
  return rec;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestPlotView : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { m_player = std::make_unique<CSoundPlayer>(); }
  void cleanup() { m_player->Purge(); }

  void wheelDragAndDoubleClickMoveTheView();
  void zoomedPlotIsThePlotOfTheSlicedChannel_data();
  void zoomedPlotIsThePlotOfTheSlicedChannel();
  void readoutGivesTimeAndValueOutsideThePlot();
  void rulerReadsTheRangeDrawn();
  void playheadFollowsTheSoundAndGoesAtStop();
  void zoomedPlayPlaysTheVisibleSamples();
  void shiftDragSelectsAndAClickElsewhereClears();
  void selectionIsPlayedLoopedAndSaved();
  void lanesAreTheDialogPlotOfOneRange_data();
  void lanesAreTheDialogPlotOfOneRange();
  void lanesDrawTheEventsAsLines();
  void plotDrawsFromASummaryItIsGiven();

 private:
  std::unique_ptr<CSoundPlayer> m_player;
};

// The wheel keeps the sample under the mouse in place (a wrong anchor moves
// it), zooms in and back out; a drag pans by the pixels moved; a
// double-click shows the whole channel again.
void TestPlotView::wheelDragAndDoubleClickMoveTheView() {
  auto c3d = Load(Swell(0, 300));
  QVERIFY(c3d);
  QWidget parent;
  auto* plot = new CAnalogPlot(&parent);
  plot->setGeometry(10, 60, 578, 246);
  plot->m_pC3d = c3d.get();
  plot->m_nChannel = 0;
  parent.resize(600, 320);
  QCOMPARE(plot->VisibleRange(), (PlotRange{0, 3000}));
  QVERIFY(!plot->IsZoomed());

  const QPointF at(400.0, 100.0);
  const double before = plot->SampleAt(at.x());
  QWheelEvent in(at, plot->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                 Qt::NoScrollPhase, false);
  QApplication::sendEvent(plot, &in);
  QVERIFY(plot->IsZoomed());
  const PlotRange zoomed = plot->VisibleRange();
  QCOMPARE(zoomed.last - zoomed.first, std::int64_t{1920});  // 3000 x 0.8^2
  QVERIFY(std::abs(plot->SampleAt(at.x()) - before) <= 1.0);

  // Dragging 100 pixels to the left shows later samples: 100 x 1919 / 576.
  QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, QPoint(300, 100));
  QTest::mouseMove(plot, QPoint(200, 100));
  QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, QPoint(200, 100));
  const PlotRange panned = plot->VisibleRange();
  QCOMPARE(panned.last - panned.first, zoomed.last - zoomed.first);
  QVERIFY(std::abs((panned.first - zoomed.first) - 333) <= 1);

  QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, QPoint(300, 100));
  QVERIFY(!plot->IsZoomed());
  QCOMPARE(plot->VisibleRange(), (PlotRange{0, 3000}));

  // Zooming out past the whole channel is the whole channel; another
  // channel choice forgets a zoom.
  plot->SetVisibleRange(100, 200);
  QWheelEvent out(at, plot->mapToGlobal(at), QPoint(), QPoint(0, -120 * 40), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(plot, &out);
  QVERIFY(!plot->IsZoomed());
  plot->SetVisibleRange(100, 200);
  plot->m_nChannel = -1;
  plot->m_nChannel = 0;
  QVERIFY(plot->IsZoomed());  // the same channel again keeps it
  auto other = Load(Swell(0, 300));
  plot->m_pC3d = other.get();
  QVERIFY(!plot->IsZoomed());
}

void TestPlotView::zoomedPlotIsThePlotOfTheSlicedChannel_data() {
  QTest::addColumn<int>("fromFrame");
  QTest::addColumn<int>("frames");
  QTest::newRow("a few samples, with markers") << 120 << 2;
  QTest::newRow("the first second") << 0 << 100;
  QTest::newRow("the middle, about one sample per column") << 140 << 57;
  QTest::newRow("to the end") << 199 << 101;
  QTest::newRow("all but the first frame") << 1 << 299;
}

// The widget's zoomed picture equals the unzoomed picture of a file holding
// only the visible samples (whole frames, so the file can say so): the same
// rules applied to the visible samples, its own extremes included.
void TestPlotView::zoomedPlotIsThePlotOfTheSlicedChannel() {
  QFETCH(int, fromFrame);
  QFETCH(int, frames);
  auto whole = Load(Swell(0, 300));
  auto sliced = Load(Swell(fromFrame, frames));
  QVERIFY(whole && sliced);
  CAnalogPlot zoomedPlot, slicedPlot;
  for (CAnalogPlot* p : {&zoomedPlot, &slicedPlot}) {
    p->resize(578, 246);
    p->m_nChannel = 0;
  }
  zoomedPlot.m_pC3d = whole.get();
  slicedPlot.m_pC3d = sliced.get();
  zoomedPlot.SetVisibleRange(fromFrame * 10, (fromFrame + frames) * 10);
  QVERIFY(zoomedPlot.IsZoomed());
  const QImage zoomed = Inside(zoomedPlot);
  QVERIFY(zoomed == Inside(slicedPlot));
  zoomedPlot.ResetZoom();
  QVERIFY(Inside(zoomedPlot) != zoomed);
}

// Under the mouse the readout gives the time of the sample there and its
// scaled value with the channel's units; readout and ruler lie outside the
// plot's rectangle, so they cover nothing of the trace.
void TestPlotView::readoutGivesTimeAndValueOutsideThePlot() {
  auto c3d = Load(Swell(0, 300));
  QVERIFY(c3d);
  QWidget parent;
  auto* view = new CPlotView(nullptr, &parent);
  CAnalogPlot* plot = &view->Plot();
  parent.resize(620, 340);
  view->SetPlotRect(QRect(10, 80, 578, 246));
  QCOMPARE(QRect(plot->mapTo(&parent, QPoint(0, 0)), plot->size()), QRect(10, 80, 578, 246));
  plot->m_pC3d = c3d.get();
  plot->m_nChannel = 0;
  plot->SetVisibleRange(1000, 1100);
  parent.show();
  QVERIFY(QTest::qWaitForWindowExposed(&parent));
  QLabel* readout = view->Readout();
  QVERIFY(readout != nullptr && view->Ruler() != nullptr);

  const CAnalog& analog = *c3d->m_analogs[0];
  for (const int sample : {1000, 1042, 1099}) {
    const QPointF at(static_cast<double>(std::lround(plot->ColumnOf(sample))), 50.0);
    QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    const QStringList parts = readout->text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QCOMPARE(parts.size(), 4);  // time, "s", value, units
    QCOMPARE(parts[1], QStringLiteral("s"));
    QCOMPARE(parts[3], QStringLiteral("mV"));
    QCOMPARE(parts[0].toDouble(), sample / 1000.0);
    const float value = analog.GetScaledSample(sample, analog.m_fOffset, analog.m_fScale, true);
    QVERIFY2(std::abs(parts[2].toDouble() - value) <= 1e-4 * std::max(1.0f, std::abs(value)),
             qPrintable(readout->text()));
    QVERIFY(readout->isVisible() && readout->geometry().height() > 0);
    QVERIFY(!readout->geometry().intersects(plot->geometry()));
  }
  QVERIFY(!view->Ruler()->geometry().intersects(plot->geometry()));
  // The ruler's ticks are 1, 2 or 5 times a power of ten, far enough apart.
  QCOMPARE(CPlotRuler::TickStep(0.099, 576, 60), 0.02);
  QCOMPARE(CPlotRuler::TickStep(3.0, 576, 60), 0.5);
  QCOMPARE(CPlotRuler::TickStep(12.0, 576, 40), 1.0);
}

// The ruler reads the range the plot draws, from the first paint on: after
// a zoom of one channel, choosing another showed that channel whole under
// the old range's ruler, which was not even repainted. Its labels are
// lines of the dialog's font.
void TestPlotView::rulerReadsTheRangeDrawn() {
  auto c3d = Load(Swell(0, 300, true));
  QVERIFY(c3d);
  CAnalogSoundDlg dlg;
  dlg.m_pC3d = c3d.get();
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  auto* ruler = dlg.findChild<CPlotRuler*>();
  QVERIFY(ruler != nullptr);
  QVERIFY(ruler->height() >= dlg.fontMetrics().height());
  CPaintCounter counter(ruler);
  // After `change`, the ruler is painted again and reads [start, end] seconds.
  const auto check = [&](const std::function<void()>& change, double start, double end) {
    counter.paints = 0;
    change();
    QTRY_VERIFY(counter.paints > 0);
    double shownStart = -1.0, shownEnd = -1.0;
    QVERIFY(ruler->ShownSeconds(shownStart, shownEnd));
    QVERIFY(std::abs(shownStart - start) < 1e-9 && std::abs(shownEnd - end) < 1e-9);
  };
  // The first paint, before any zoom; a zoom; another channel, shown whole.
  check([&] { dlg.m_comboChannel.setCurrentIndex(0); }, 0.0, 2.999);
  check([&] { dlg.m_plot.SetVisibleRange(1000, 1500); }, 1.0, 1.499);
  check([&] { dlg.m_comboChannel.setCurrentIndex(1); }, 0.0, 2.999);
  QVERIFY(!dlg.m_plot.IsZoomed());
  dlg.accept();
}

// While a real sound plays, the playhead moves at the sound's pace, many
// times a second; Stop removes it at once, and so does the end of a sound.
void TestPlotView::playheadFollowsTheSoundAndGoesAtStop() {
  if (QMediaDevices::defaultAudioOutput().isNull())
    QSKIP("no audio output device (scripts/test starts a private sound server)");
  QTemporaryDir tmp;
  qputenv("TMPDIR", QFile::encodeName(tmp.path()));
  auto c3d = Load(Swell(0, 300));
  QVERIFY(c3d);
  CAnalogSoundDlg dlg;
  dlg.m_pC3d = c3d.get();
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  dlg.m_comboChannel.setCurrentIndex(0);
  QCOMPARE(dlg.m_plot.PlayheadX(), -1);

  dlg.OnPlay();
  QVERIFY(m_player->IsPlaying());
  QTRY_VERIFY(dlg.m_plot.PlayheadX() > dlg.m_plot.contentsRect().left());
  // Over one second, the column changes at least 25 times (the sound crosses
  // the 576 columns in 3 s, several columns per update).
  QElapsedTimer clock;
  clock.start();
  const double startSample = dlg.m_plot.SampleAt(dlg.m_plot.PlayheadX());
  std::set<int> columns;
  while (clock.elapsed() < 1000) {
    columns.insert(dlg.m_plot.PlayheadX());
    QTest::qWait(5);
  }
  const double movedSeconds = (dlg.m_plot.SampleAt(dlg.m_plot.PlayheadX()) - startSample) / 1000.0;
  qInfo("playhead: %zu positions in one second", columns.size());
  QVERIFY2(columns.size() >= 25, qPrintable(QString("%1 positions").arg(columns.size())));
  QVERIFY2(movedSeconds > 0.7 && movedSeconds < 1.3, qPrintable(QString::number(movedSeconds)));
  // Drawn: the playhead's colour fills its column of the plot.
  const int x = dlg.m_plot.PlayheadX();
  const QImage shot = dlg.m_plot.grab().toImage();
  QCOMPARE(QColor(shot.pixel(x, dlg.m_plot.height() / 2)), QColor(220, 0, 0));

  dlg.OnStop();
  QCOMPARE(dlg.m_plot.PlayheadX(), -1);

  // A zoomed sound of 0.2 s: the playhead starts in the range and is gone at the end.
  dlg.m_plot.SetVisibleRange(2500, 2700);
  dlg.OnPlay();
  QVERIFY(m_player->IsPlaying());
  QTRY_VERIFY(dlg.m_plot.PlayheadX() >= 0);
  QTRY_VERIFY_WITH_TIMEOUT(!m_player->IsPlaying(), 3000);
  QCOMPARE(dlg.m_plot.PlayheadX(), -1);
  dlg.accept();
}

// Zoomed, Play writes the sound of the visible samples alone: byte for
// byte the sound of a file holding only them. Unzoomed, the sound of the
// whole channel, as before.
void TestPlotView::zoomedPlayPlaysTheVisibleSamples() {
  QTemporaryDir tmp;
  qputenv("TMPDIR", QFile::encodeName(tmp.path()));
  auto c3d = Load(Swell(0, 300));
  auto sliced = Load(Swell(100, 50));
  QVERIFY(c3d && sliced);
  CAnalogSoundDlg dlg;
  dlg.m_pC3d = c3d.get();
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  dlg.m_comboChannel.setCurrentIndex(0);
  // The readout and ruler, as wide as the plot, reach under the OK button:
  // it stays on top and takes the clicks there.
  QWidget* ok = dlg.GetDlgItem(CAnalogSoundDlg::IDOK);
  for (const QPoint& p : {ok->geometry().center(), ok->geometry().bottomLeft() + QPoint(2, -2)})
    QCOMPARE(dlg.childAt(p), ok);

  const auto expected = [&](const CC3d& file) {
    std::vector<float> buffer;
    const QString path = tmp.filePath(QStringLiteral("expected.wav"));
    c3dtest::RecordingSoundHost host;  // its record is not checked here
    sound::WriteWave(file, {.channel = 0, .bits = 16, .rate = 8000.0f}, buffer, path.toStdString(),
                     host);
    return ReadAll(path);
  };

  dlg.OnPlay();
  const QByteArray whole = ReadAll(dlg.m_strTempFile);
  QCOMPARE(whole, expected(*c3d));

  dlg.m_plot.SetVisibleRange(1000, 1500);
  dlg.OnPlay();
  const QByteArray part = ReadAll(dlg.m_strTempFile);
  QCOMPARE(part, expected(*sliced));
  QVERIFY(part.size() < whole.size() / 4);
  // Save writes what Play played, and its file dialog says which seconds.
  const QString saved = tmp.filePath(QStringLiteral("saved.wav"));
  QVERIFY(dlg.SaveSound(saved));
  QCOMPARE(ReadAll(saved), part);
  sounddlg::SoundSaveChoice choice;
  choice.range = dlg.SoundRange(0);
  choice.whole = false;
  QCOMPARE(sounddlg::SaveCaption(*c3d, choice),
           QStringLiteral("Save the visible 1.000 to 1.499 s as"));
  dlg.OnStop();
  dlg.accept();
}

// Shift+drag selects the samples between the two places, rounded as the
// command line rounds --from and --to, shaded (only there) and described in
// the readout; a plain drag still pans and keeps it, a click inside keeps
// it, a click elsewhere clears it, and the plot is then the one drawn
// before. A Shift+drag over less than one sample selects nothing: a click.
void TestPlotView::shiftDragSelectsAndAClickElsewhereClears() {
  auto c3d = Load(Swell(0, 300));
  QVERIFY(c3d);
  QWidget parent;
  auto* view = new CPlotView(nullptr, &parent);
  CAnalogPlot* plot = &view->Plot();
  parent.resize(620, 340);
  view->SetPlotRect(QRect(10, 80, 578, 246));
  plot->m_pC3d = c3d.get();
  plot->m_nChannel = 0;
  parent.show();
  QVERIFY(QTest::qWaitForWindowExposed(&parent));
  QSignalSpy changed(plot, &CAnalogPlot::SelectionChanged);
  const QImage plain = Inside(*plot);

  QTest::mousePress(plot, Qt::LeftButton, Qt::ShiftModifier, QPoint(300, 100));
  QTest::mouseMove(plot, QPoint(150, 120));
  QTest::mouseRelease(plot, Qt::LeftButton, Qt::ShiftModifier, QPoint(150, 120));
  const PlotRange expected{std::llround(plot->SampleAt(150)), std::llround(plot->SampleAt(300))};
  QCOMPARE(plot->Selection(), std::optional<PlotRange>(expected));
  QVERIFY(changed.count() >= 1);
  // Shaded between its columns, the rest as before.
  const QImage shaded = Inside(*plot);
  const QPoint offset = plot->contentsRect().topLeft();
  for (const int x : {100, 140, 160, 290, 310, 500}) {
    const int column = x - offset.x();
    bool same = true;
    for (int y = 0; y < plain.height(); ++y)
      same = same && plain.pixel(column, y) == shaded.pixel(column, y);
    QVERIFY2(same == (x < 149 || x > 301), qPrintable(QString::number(x)));
  }
  // The readout describes it while the mouse is away.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(plot, &leave);
  const auto seconds = [](std::int64_t sample) { return QString::number(sample / 1000.0, 'f', 3); };
  QCOMPARE(view->Readout()->text(), QStringLiteral("Selection %1 to %2 s (%3 s)")
                                        .arg(seconds(expected.first), seconds(expected.last),
                                             seconds(expected.last - expected.first)));
  QVERIFY(view->Readout()->isVisible());

  // Zoomed in, a plain drag pans and a click inside keep the selection.
  plot->SetVisibleRange(0, 2000);
  QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, QPoint(300, 100));
  QTest::mouseMove(plot, QPoint(250, 100));
  QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, QPoint(250, 100));
  QVERIFY(plot->VisibleRange().first > 0);
  const int inside = static_cast<int>(plot->ColumnOf((expected.first + expected.last) / 2.0));
  QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, QPoint(inside, 100));
  QCOMPARE(plot->Selection(), std::optional<PlotRange>(expected));
  // A Shift+drag over less than one sample is a click: inside, it keeps the
  // selection; outside, it clears it.
  plot->SetVisibleRange(1000, 1004);
  QTest::mousePress(plot, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 100));
  QTest::mouseMove(plot, QPoint(240, 100));
  QTest::mouseRelease(plot, Qt::LeftButton, Qt::ShiftModifier, QPoint(240, 100));
  QCOMPARE(plot->Selection(), std::optional<PlotRange>(expected));
  plot->ResetZoom();
  QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, QPoint(500, 100));
  QVERIFY(!plot->Selection());
  QVERIFY(Inside(*plot) == plain);
  QApplication::sendEvent(plot, &leave);
  QVERIFY(!view->Readout()->isVisible());
}

// Play plays the selection (before a zoom), byte for byte the sound of a
// file holding only those samples; Save writes exactly that one pass and
// its file dialog says it saves the selection. With Loop (Alt+P) the sound
// goes on past its length until Stop.
void TestPlotView::selectionIsPlayedLoopedAndSaved() {
  QTemporaryDir tmp;
  qputenv("TMPDIR", QFile::encodeName(tmp.path()));
  auto c3d = Load(Swell(0, 300));
  auto sliced = Load(Swell(100, 30));
  QVERIFY(c3d && sliced);
  CAnalogSoundDlg dlg;
  dlg.m_pC3d = c3d.get();
  dlg.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dlg));
  dlg.m_comboChannel.setCurrentIndex(0);
  dlg.m_plot.SetVisibleRange(500, 2500);
  dlg.m_plot.SetSelection(1000, 1300);
  std::vector<float> buffer;
  const QString expectedPath = tmp.filePath(QStringLiteral("expected.wav"));
  c3dtest::RecordingSoundHost host;
  sound::WriteWave(*sliced, {.channel = 0, .bits = 16, .rate = 8000.0f}, buffer,
                   expectedPath.toStdString(), host);
  const QByteArray expected = ReadAll(expectedPath);

  dlg.OnPlay();
  QCOMPARE(ReadAll(dlg.m_strTempFile), expected);
  const QString saved = tmp.filePath(QStringLiteral("saved.wav"));
  QVERIFY(dlg.SaveSound(saved));
  QCOMPARE(ReadAll(saved), expected);
  sounddlg::SoundSaveChoice choice;
  choice.range = dlg.SoundRange(0);
  choice.whole = false;
  choice.selection = true;
  QCOMPARE(sounddlg::SaveCaption(*c3d, choice),
           QStringLiteral("Save the selection, 1.000 to 1.300 s, as"));
  dlg.OnStop();

  auto* loop = qobject_cast<QCheckBox*>(dlg.GetDlgItem(CAnalogSoundDlg::IDC_LOOP));
  QVERIFY(loop != nullptr && !loop->isChecked());
  QVERIFY(dlg.rect().contains(loop->geometry()));
  dlg.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&dlg));
  QTest::keyClick(&dlg, Qt::Key_P, Qt::AltModifier);
  QTRY_VERIFY(loop->isChecked());  // a mnemonic clicks the box a moment later
  if (QMediaDevices::defaultAudioOutput().isNull())
    QSKIP("no audio output device (scripts/test starts a private sound server)");
  dlg.OnPlay();
  QVERIFY(m_player->IsPlaying());
  QTest::qWait(600);  // twice the sound's length
  QVERIFY(m_player->IsPlaying());
  QTRY_VERIFY(dlg.m_plot.PlayheadX() >= 0);
  const double at = dlg.m_plot.SampleAt(dlg.m_plot.PlayheadX());
  QVERIFY2(at >= 999 && at <= 1300, qPrintable(QString::number(at)));
  dlg.OnStop();
  QVERIFY(!m_player->IsPlaying());
  dlg.accept();
}

void TestPlotView::lanesAreTheDialogPlotOfOneRange_data() {
  QTest::addColumn<int>("steps");  // moves made: wheel, then drag, then double-click
  QTest::newRow("whole recording") << 0;
  QTest::newRow("wheel over one lane") << 1;
  QTest::newRow("then a drag on another") << 2;
  QTest::newRow("then a double-click") << 3;
}

// Every lane is, pixel for pixel, the sound dialog's plot of the lanes' one
// range at the lane's size (NaN, infinities and a constant channel drawn by
// the plot's rules), whichever lane the wheel or the drag was over: a lane
// left at an old range, or a trace offset from its rectangle, differs.
void TestPlotView::lanesAreTheDialogPlotOfOneRange() {
  QFETCH(int, steps);
  auto c3d = Load(ThreeLanes());
  QVERIFY(c3d);
  CLaneView lanes;
  lanes.resize(700, 420);
  lanes.SetFile(c3d.get(), nullptr);
  lanes.show();
  QVERIFY(QTest::qWaitForWindowExposed(&lanes));
  QWidget* port = lanes.viewport();
  QCOMPARE(lanes.VisibleRange(), (PlotRange{0, 3000}));
  if (steps >= 1) {
    const QPointF at = lanes.TraceRect(0).center() + QPoint(120, 0);
    const double anchor = lanes.SampleAt(at.x());
    QWheelEvent in(at, port->mapToGlobal(at), QPoint(), QPoint(0, 360), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(port, &in);
    QVERIFY(lanes.VisibleRange().last - lanes.VisibleRange().first < 2000);
    QVERIFY(std::abs(lanes.SampleAt(at.x()) - anchor) <= 1.0);
  }
  if (steps >= 2) {
    const PlotRange before = lanes.VisibleRange();
    const QPoint from = lanes.TraceRect(2).center();
    const QPoint to = from - QPoint(50, 0);
    QTest::mousePress(port, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, to, port->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(port, &move);
    QTest::mouseRelease(port, Qt::LeftButton, {}, to);
    const double perPixel =
        static_cast<double>(before.last - before.first - 1) / lanes.TraceRect(2).width();
    QCOMPARE(lanes.VisibleRange().first, before.first + std::llround(50 * perPixel));
  }
  if (steps >= 3) {
    QTest::mouseDClick(port, Qt::LeftButton, {}, lanes.TraceRect(1).center());
    QCOMPARE(lanes.VisibleRange(), (PlotRange{0, 3000}));
  }
  const PlotRange range = lanes.VisibleRange();
  const QImage shown = port->grab().toImage().convertToFormat(QImage::Format_RGB32);
  for (int channel = 0; channel < 3; ++channel) {
    const QRect rect = lanes.TraceRect(channel);
    QVERIFY(rect.height() >= lanes.MinLaneHeight() - 1);
    CAnalogPlot plot;
    plot.resize(rect.size() + QSize(2, 2));  // its one-pixel frame around the plot
    plot.m_pC3d = c3d.get();
    plot.m_nChannel = channel;
    plot.SetVisibleRange(range.first, range.last);
    QVERIFY2(shown.copy(rect) == Inside(plot), qPrintable(QStringLiteral("lane %1").arg(channel)));
  }
}

// A zoomed view draws the file's event in every lane as a line down the
// whole lane, at the column where the dialog's plot of that range puts it:
// a lane left without it, or a line at another column, differs.
void TestPlotView::lanesDrawTheEventsAsLines() {
  c3dtest::Recording rec = ThreeLanes();
  rec.events = {{"HIT", 1.5f, 1}};
  auto c3d = Load(rec);
  QVERIFY(c3d);
  CLaneView lanes;
  lanes.resize(700, 420);
  lanes.SetFile(c3d.get(), nullptr);
  lanes.show();
  QVERIFY(QTest::qWaitForWindowExposed(&lanes));
  lanes.SetVisibleRange(1000, 2500);
  const QImage shown = lanes.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  for (int channel = 0; channel < 3; ++channel) {
    const QRect rect = lanes.TraceRect(channel);
    const std::vector<PlotEventMark> marks =
        PlotEventMarks(*c3d, channel, rect.width(), rect.height(), PlotRange{1000, 2500});
    QCOMPARE(marks.size(), std::size_t{1});
    const QRgb colour = EventColor(marks[0].side).rgb();
    for (int y = rect.top(); y <= rect.bottom(); ++y)
      QCOMPARE(shown.pixel(rect.left() + marks[0].x, y), colour);
  }
}

// The dialog's plot asks its summary source for the channel it paints and
// draws the same pixels from the summary it is given as from its own (a
// summary that does not describe the channel is RenderAnalogPlot's to
// refuse).
void TestPlotView::plotDrawsFromASummaryItIsGiven() {
  auto c3d = Load(ThreeLanes());
  QVERIFY(c3d);
  const CPlotSummary summary(*c3d, 0);
  std::vector<int> asked;
  const auto paint = [&](bool given) {
    CAnalogPlot plot;
    plot.resize(202, 82);  // 200 columns: a summary pays off at 3000 samples
    plot.m_pC3d = c3d.get();
    plot.m_nChannel = 0;
    plot.SetVisibleRange(100, 2900);
    if (given) {
      plot.SetSummarySource([&](int channel) {
        asked.push_back(channel);
        return &summary;
      });
    }
    return Inside(plot);
  };
  const QImage own = paint(false);
  QCOMPARE(paint(true), own);
  QVERIFY(!asked.empty());
  QCOMPARE(asked.front(), 0);
}

TREMOLUX_SOUND_TEST_MAIN(TestPlotView)
#include "tst_plotview.moc"
