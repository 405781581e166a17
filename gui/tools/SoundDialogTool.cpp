// tremolux-sounddlg: a developer's way to run the sound dialog on one C3D
// file without the application shell, and to take a picture of it.
//
//   tremolux-sounddlg FILE [--channel N] [--bits 8|16] [--freq TEXT]
//                          [--screenshot OUT.png]
//
// Without --screenshot the dialog runs modally until OK closes it. With it,
// the dialog is shown, the picture of its window is written to OUT.png and
// the program ends; the picture is written whole or not at all (a file of
// that name is left as it was). Exit status: 0 done, 1 the file or picture
// failed, 2 bad usage.
#include <QApplication>
#include <QBuffer>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "core/c3d/C3d.h"
#include "common/ProcessExit.h"
#include "gui/player/SoundPlayer.h"
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
// one) through a temporary file that replaces `path` only once it is
// complete, so a full disk or a refused format leaves no partial picture.
// The image is encoded in memory first and flushed before the commit: Qt's
// image writers and QSaveFile::commit can both take a write that the disk
// cut short for a complete one.
bool SavePicture(const QImage& image, const QString& path) {
  QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
  if (format.isEmpty()) format = "png";
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, format.constData())) return false;
  QSaveFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
         file.commit();
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
  const QCommandLineOption bits(QStringLiteral("bits"), QStringLiteral("Sample width, 8 or 16."),
                                QStringLiteral("8|16"));
  const QCommandLineOption freq(QStringLiteral("freq"), QStringLiteral("Text of the Freq field."),
                                QStringLiteral("TEXT"));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                      QStringLiteral("Write a picture of the dialog and quit."),
                                      QStringLiteral("OUT.png"));
  parser.addOptions({channel, bits, freq, screenshot});
  parser.process(app);
  if (parser.positionalArguments().size() != 1) {
    std::fprintf(stderr,
                 "usage: tremolux-sounddlg FILE [--channel N] [--bits 8|16] [--freq TEXT] "
                 "[--screenshot OUT.png]\n");
    return 2;
  }
  bool ok = true;
  const int nChannel = parser.isSet(channel) ? parser.value(channel).toInt(&ok) : -1;
  const QString bitsText = parser.value(bits);
  if (!ok ||
      (parser.isSet(bits) && bitsText != QLatin1String("8") && bitsText != QLatin1String("16"))) {
    std::fprintf(stderr, "tremolux-sounddlg: bad --channel or --bits\n");
    return 2;
  }

  CC3d c3d;
  c3d.m_strPathName = QFile::encodeName(parser.positionalArguments().front()).toStdString();
  if (!c3d.Load()) {
    std::fprintf(stderr, "tremolux-sounddlg: %s: %s\n", c3d.m_strPathName.c_str(),
                 LoadErrorText(c3d.m_loadError));
    return 1;
  }
  if (nChannel < -1 || nChannel >= static_cast<int>(c3d.m_analogs.size())) {
    std::fprintf(stderr, "tremolux-sounddlg: the file has %zu analog channels\n",
                 c3d.m_analogs.size());
    return 2;
  }

  CSoundPlayer player;  // the application's one player, as the program's own
  CAnalogSoundDlg dlg;
  dlg.m_pC3d = &c3d;
  if (parser.isSet(bits)) dlg.m_nBitsIndex = bitsText == QLatin1String("8") ? 0 : 1;
  if (parser.isSet(freq)) dlg.m_strFreq = parser.value(freq);

  if (!parser.isSet(screenshot)) {
    // The choices are made once the dialog has initialised itself.
    QTimer::singleShot(0, &dlg, [&] {
      if (nChannel >= 0) dlg.m_comboChannel.setCurrentIndex(nChannel);
    });
    return dlg.DoModal() == QDialog::Accepted ? 0 : 1;
  }

  dlg.show();
  if (nChannel >= 0) dlg.m_comboChannel.setCurrentIndex(nChannel);
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
