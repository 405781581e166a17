// tremolux-sounddlg: a developer's way to run the sound dialog on one C3D
// file without the application shell, and to take a picture of it.
//
//   tremolux-sounddlg FILE [--channel N] [--right N] [--bits 8|16] [--freq TEXT]
//                          [--zoom FROM:TO] [--select FROM:TO] [--hover SECONDS]
//                          [--loop] [--play] [--screenshot OUT.png]
//
// --zoom shows the seconds FROM to TO of the chosen channel in the plot, as
// the wheel would; --select then drags over FROM to TO with Shift held, as
// the user selects; --hover moves the mouse over the plot at that time, so
// the readout shows it; --right chooses channel N for the right ear (Play
// then builds a two-channel sound, the plot overlays that channel); --loop
// ticks Loop; --play then presses Play.
// Without --screenshot the dialog runs modally until OK closes it. With it,
// the dialog is shown, the picture of its window is written to OUT.png and
// the program ends; the picture is written whole or not at all (a file of
// that name is left as it was). Exit status: 0 done, 1 the file or picture
// failed, 2 bad usage.
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>

#include "common/ProcessExit.h"
#include "core/c3d/C3d.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/player/SoundPlayer.h"
#include "gui/render/SaveWhole.h"
#include "gui/sound/CAnalogSoundDlg.h"

namespace {

// The dialog's window as the display shows it; the widget's own rendering
// where the display cannot be read back (the offscreen platform).
QImage Picture(CAnalogSoundDlg& dlg) {
  QPixmap shot;
  if (QScreen* screen = dlg.screen()) shot = screen->grabWindow(dlg.winId());
  if (shot.isNull() || shot.size() != dlg.size() * shot.devicePixelRatio()) shot = dlg.grab();
  return shot.toImage();
}

// Writes the picture to `path` in the format its suffix names (PNG without
// one), whole or not at all (SaveWhole), so a full disk or a refused format
// leaves no partial picture. The image is encoded in memory first: Qt's
// image writers can take a write that the disk cut short for a complete one.
bool SavePicture(const QImage& image, const QString& path) {
  QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
  if (format.isEmpty()) format = "png";
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, format.constData())) return false;
  return SaveWhole(path, bytes);
}

// The whole tool; its objects are gone when it returns.
int Run(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tremolux-sounddlg"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tremolux"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Runs the sound dialog on one C3D file."));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The C3D file."));
  const QCommandLineOption channel(QStringLiteral("channel"),
                                   QStringLiteral("Select channel N (0-based) at the start."),
                                   QStringLiteral("N"));
  const QCommandLineOption right(QStringLiteral("right"),
                                 QStringLiteral("Choose channel N (0-based) for the right ear."),
                                 QStringLiteral("N"));
  const QCommandLineOption bits(QStringLiteral("bits"), QStringLiteral("Sample width, 8 or 16."),
                                QStringLiteral("8|16"));
  const QCommandLineOption freq(QStringLiteral("freq"), QStringLiteral("Text of the Freq field."),
                                QStringLiteral("TEXT"));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                      QStringLiteral("Write a picture of the dialog and quit."),
                                      QStringLiteral("OUT.png"));
  const QCommandLineOption zoom(QStringLiteral("zoom"),
                                QStringLiteral("Show the seconds FROM to TO of the channel."),
                                QStringLiteral("FROM:TO"));
  const QCommandLineOption hover(QStringLiteral("hover"),
                                 QStringLiteral("Point the mouse at this time of the plot."),
                                 QStringLiteral("SECONDS"));
  const QCommandLineOption play(QStringLiteral("play"), QStringLiteral("Press Play at the start."));
  const QCommandLineOption select(QStringLiteral("select"),
                                  QStringLiteral("Shift+drag over the seconds FROM to TO."),
                                  QStringLiteral("FROM:TO"));
  const QCommandLineOption loop(QStringLiteral("loop"), QStringLiteral("Tick Loop."));
  parser.addOptions({channel, right, bits, freq, zoom, hover, play, screenshot, select, loop});
  parser.process(app);
  if (parser.positionalArguments().size() != 1) {
    std::fprintf(stderr,
                 "usage: tremolux-sounddlg FILE [--channel N] [--right N] [--bits 8|16] "
                 "[--freq TEXT] [--zoom FROM:TO] [--select FROM:TO] [--hover SECONDS] [--loop] "
                 "[--play] [--screenshot OUT.png]\n");
    return 2;
  }
  bool ok = true;
  const int nChannel = parser.isSet(channel) ? parser.value(channel).toInt(&ok) : -1;
  bool rightOk = true;
  const int nRight = parser.isSet(right) ? parser.value(right).toInt(&rightOk) : -1;
  const QString bitsText = parser.value(bits);
  const QStringList zoomText = parser.value(zoom).split(QLatin1Char(':'));
  bool fromOk = true;
  bool toOk = true;
  const double zoomFrom = parser.isSet(zoom) ? zoomText.value(0).toDouble(&fromOk) : 0.0;
  const double zoomTo = parser.isSet(zoom) ? zoomText.value(1).toDouble(&toOk) : 0.0;
  if (!fromOk || !toOk || (parser.isSet(zoom) && !(zoomFrom < zoomTo))) {
    std::fprintf(stderr, "tremolux-sounddlg: --zoom takes FROM:TO in seconds, FROM < TO\n");
    return 2;
  }
  if (!ok || !rightOk ||
      (parser.isSet(bits) && bitsText != QLatin1String("8") && bitsText != QLatin1String("16"))) {
    std::fprintf(stderr, "tremolux-sounddlg: bad --channel, --right or --bits\n");
    return 2;
  }

  CC3d c3d;
  c3d.m_strPathName = QFile::encodeName(parser.positionalArguments().front()).toStdString();
  if (!c3d.Load()) {
    std::fprintf(stderr, "tremolux-sounddlg: %s: %s\n", c3d.m_strPathName.c_str(),
                 LoadErrorText(c3d.m_loadError));
    return 1;
  }
  const auto outside = [&c3d](int n) {
    return n < -1 || n >= static_cast<int>(c3d.m_analogs.size());
  };
  if (outside(nChannel) || outside(nRight)) {
    std::fprintf(stderr, "tremolux-sounddlg: the file has %zu analog channels\n",
                 c3d.m_analogs.size());
    return 2;
  }

  CSoundPlayer player;  // the application's one player, as the program's own
  CAnalogSoundDlg dlg;
  dlg.m_pC3d = &c3d;
  if (parser.isSet(bits)) dlg.m_nBitsIndex = bitsText == QLatin1String("8") ? 0 : 1;
  if (parser.isSet(freq)) dlg.m_strFreq = parser.value(freq);

  // The zoom and Play, once a channel is chosen.
  const auto zoomAndPlay = [&] {
    if (nChannel < 0) return;
    if (nRight >= 0) {
      static_cast<QComboBox*>(dlg.GetDlgItem(CAnalogSoundDlg::IDC_RIGHT_EAR))
          ->setCurrentIndex(nRight + 1);  // after None
    }
    if (parser.isSet(zoom)) {
      const double rate = sound::AnalogRate(c3d);
      // Seconds to samples; SetVisibleRange clamps them into the channel.
      dlg.m_plot.SetVisibleRange(static_cast<std::int64_t>(std::clamp(zoomFrom * rate, 0.0, 1e15)),
                                 static_cast<std::int64_t>(std::clamp(zoomTo * rate, 0.0, 1e15)));
    }
    if (parser.isSet(select)) {
      const QStringList span = parser.value(select).split(QLatin1Char(':'));
      const double rate = sound::AnalogRate(c3d);
      const auto at = [&](int i) {
        return QPointF(dlg.m_plot.ColumnOf(span.value(i).toDouble() * rate),
                       dlg.m_plot.height() / 2.0);
      };
      const auto send = [&](QEvent::Type type, const QPointF& p, Qt::MouseButtons held) {
        QMouseEvent event(type, p, dlg.m_plot.mapToGlobal(p), Qt::LeftButton, held,
                          Qt::ShiftModifier);
        QApplication::sendEvent(&dlg.m_plot, &event);
      };
      send(QEvent::MouseButtonPress, at(0), Qt::LeftButton);
      send(QEvent::MouseMove, at(1), Qt::LeftButton);
      send(QEvent::MouseButtonRelease, at(1), Qt::NoButton);
    }
    if (parser.isSet(loop)) {
      if (auto* box = qobject_cast<QCheckBox*>(dlg.GetDlgItem(CAnalogSoundDlg::IDC_LOOP)))
        box->setChecked(true);
    }
    if (parser.isSet(hover)) {
      const QPointF at(dlg.m_plot.ColumnOf(parser.value(hover).toDouble() * sound::AnalogRate(c3d)),
                       dlg.m_plot.height() / 2.0);
      QMouseEvent move(QEvent::MouseMove, at, dlg.m_plot.mapToGlobal(at), Qt::NoButton,
                       Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(&dlg.m_plot, &move);
    }
    if (parser.isSet(play)) dlg.OnPlay();
  };
  if (!parser.isSet(screenshot)) {
    // The choices are made once the dialog has initialised itself.
    QTimer::singleShot(0, &dlg, [&] {
      if (nChannel >= 0) dlg.m_comboChannel.setCurrentIndex(nChannel);
      zoomAndPlay();
    });
    return dlg.DoModal() == QDialog::Accepted ? 0 : 1;
  }

  dlg.show();
  if (nChannel >= 0) dlg.m_comboChannel.setCurrentIndex(nChannel);
  zoomAndPlay();
  // Wait (at most 5 s) until the display shows the window, then let it paint.
  QElapsedTimer clock;
  clock.start();
  while (!(dlg.windowHandle() && dlg.windowHandle()->isExposed()) && clock.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  for (clock.restart(); clock.elapsed() < 300;)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

  const QString out = parser.value(screenshot);
  const bool saved = SavePicture(Picture(dlg), out);
  dlg.accept();
  if (!saved) {
    std::fprintf(stderr, "tremolux-sounddlg: cannot write %s\n",
                 QFile::encodeName(out).constData());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { ExitAfterSound(Run(argc, argv)); }
