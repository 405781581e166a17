// The sound dialog tool's picture (tremolux-sounddlg --screenshot) is written
// whole or not at all: a write that fails half-way (a full disk), a folder
// that does not exist or a format no writer knows leaves no partial file and
// leaves a file already at that name as it was.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/gui/GuiTestSupport.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>

#include <csignal>
#endif

class TestSoundDlgTool : public QObject {
  Q_OBJECT

 private slots:
  void pictureWholeOrNotAtAll_data();
  void pictureWholeOrNotAtAll();
};

void TestSoundDlgTool::pictureWholeOrNotAtAll_data() {
  QTest::addColumn<QString>("name");      // the picture's path in the scratch folder
  QTest::addColumn<qint64>("sizeLimit");  // largest file the tool may write, bytes; 0 none
  QTest::addColumn<bool>("existing");     // a file of that name is there before
  QTest::addColumn<bool>("written");      // the tool succeeds
  // Control: without a fault the picture is written and reads back.
  QTest::newRow("written") << "shot.png" << qint64(0) << false << true;
  // The disk fills up after the first kilobyte of the picture.
  QTest::newRow("disk full") << "shot.png" << qint64(1024) << false << false;
  QTest::newRow("disk full, earlier picture kept") << "shot.png" << qint64(1024) << true << false;
  QTest::newRow("folder missing") << "missing/shot.png" << qint64(0) << false << false;
  QTest::newRow("unknown format, earlier file kept")
      << "shot.unknownformat" << qint64(0) << true << false;
}

void TestSoundDlgTool::pictureWholeOrNotAtAll() {
  QFETCH(QString, name);
  QFETCH(qint64, sizeLimit);
  QFETCH(bool, existing);
  QFETCH(bool, written);
#ifndef Q_OS_UNIX
  if (sizeLimit > 0) QSKIP("a file size limit needs setrlimit");
#endif

  QTemporaryDir input, output;
  QVERIFY(input.isValid() && output.isValid());
  const QString c3d = guitest::WriteRecording(input.path(), QStringLiteral("small.c3d"));
  QVERIFY(!c3d.isEmpty());
  const QString out = output.filePath(name);
  const QByteArray earlier("an earlier file");
  if (existing) {
    QFile file(out);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
  }

  QProcess tool;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  tool.setProcessEnvironment(env);
#ifdef Q_OS_UNIX
  if (sizeLimit > 0) {
    // Writes past the limit fail with EFBIG, as on a full disk (the signal
    // the kernel would send first is ignored, so the tool sees the error).
    tool.setChildProcessModifier([sizeLimit] {
      const rlimit limit{static_cast<rlim_t>(sizeLimit), static_cast<rlim_t>(sizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
      std::signal(SIGXFSZ, SIG_IGN);
    });
  }
#endif
  tool.start(QStringLiteral(TREMOLUX_SOUNDDLG), {c3d, QStringLiteral("--screenshot"), out});
  QVERIFY(tool.waitForFinished(60000));
  QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
  QCOMPARE(tool.exitCode(), written ? 0 : 1);

  if (written) {
    const QImage picture(out);
    QVERIFY(!picture.isNull());
    QVERIFY(QFile(out).size() > 1024);  // so the disk-full rows really cut it short
  } else if (existing) {
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), earlier);
  } else {
    QVERIFY2(!QFile::exists(out), qPrintable(out));
  }
  // Nothing else either: no temporary file of the writer is left beside it.
  const QStringList left = QDir(output.path()).entryList(QDir::Files | QDir::Hidden);
  QCOMPARE(left, existing || written ? QStringList{name} : QStringList{});
}

QTEST_MAIN(TestSoundDlgTool)
#include "tst_sounddlgtool.moc"
