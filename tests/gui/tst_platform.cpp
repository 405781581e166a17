// The small platform stand-ins of the sound dialog: the temporary WAVE file,
// the message box and the wait cursor.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <fstream>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/platform/MessageBox.h"
#include "gui/platform/PlatformSoundHost.h"
#include "gui/platform/TempFile.h"
#include "gui/platform/WaitCursor.h"
#include "gui/player/SoundPlayer.h"
#include "tests/gui/SoundTestMain.h"

class TestPlatform : public QObject {
  Q_OBJECT

 private slots:
  void tempFileIsPrivateUniqueAndRemoved();
  void tempFileTakesWritesByName();
  void messageBoxShowsTheTextWithOneOkButton();
  void waitCursorsNestAndRestore();
  void platformHostRunsABuildLikeTheDialog();
};

// The file must exist from creation (the build truncates it, it never makes
// it), be readable by its owner only, have a new name each time, and be gone
// after Remove or destruction.
void TestPlatform::tempFileIsPrivateUniqueAndRemoved() {
  QString firstPath;
  {
    CTempFile first;
    CTempFile second;
    QVERIFY(first.Create());
    QVERIFY(second.Create());
    firstPath = first.Path();
    const QFileInfo info(firstPath);
    QVERIFY(info.exists());
    QCOMPARE(info.size(), 0);
    QVERIFY(info.fileName().startsWith(QLatin1String("wav")));
    QCOMPARE(info.absoluteDir(), QDir(QDir::tempPath()));
    QVERIFY(first.Path() != second.Path());
#ifndef Q_OS_WIN
    QCOMPARE(info.permissions() & (QFile::ReadUser | QFile::WriteUser | QFile::ExeUser |
                                   QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                   QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
             QFile::ReadUser | QFile::WriteUser);
#endif
    const QString secondPath = second.Path();
    second.Remove();
    QVERIFY(!QFileInfo::exists(secondPath));
    QVERIFY(second.Path().isEmpty());
    second.Remove();  // twice is harmless
  }
  QVERIFY(!QFileInfo::exists(firstPath));
}

void TestPlatform::tempFileTakesWritesByName() {
  CTempFile file;
  QVERIFY(file.Create());
  {
    std::ofstream out(file.FsPath(), std::ios::binary | std::ios::trunc);
    QVERIFY(out.is_open());
    out << "RIFF";
  }
  QCOMPARE(QFileInfo(file.Path()).size(), 4);
  QVERIFY(QFileInfo(file.Path()).permissions().testFlag(QFile::ReadUser));
}

void TestPlatform::messageBoxShowsTheTextWithOneOkButton() {
  QString shownText;
  int buttons = -1;
  bool modal = false;
  QTimer::singleShot(0, this, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    shownText = box->text();
    buttons = static_cast<int>(box->buttons().size());
    modal = box->isModal();
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  });
  ShowMessageBox(nullptr, Messages::kCouldNotCreate);
  QCOMPARE(shownText, QString::fromLatin1(Messages::kCouldNotCreate));
  QCOMPARE(buttons, 1);
  QVERIFY(modal);
}

void TestPlatform::waitCursorsNestAndRestore() {
  QVERIFY(QApplication::overrideCursor() == nullptr);
  {
    CWaitCursor outer;
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    BeginWaitCursor();
    EndWaitCursor();
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  QVERIFY(QApplication::overrideCursor() == nullptr);
}

// The build through the platform host, as the sound dialog runs it: the
// status line gets " Processing" then " ", the refused resampling's "Error"
// comes in a message box, the wait cursor is gone afterwards, and the file
// holds the empty sound, handed to the player (heard or not).
void TestPlatform::platformHostRunsABuildLikeTheDialog() {
  CC3d c3d;
  c3d.m_nAnalogSamplesPerFrame = 1;
  c3d.m_fFrameRate = 1000.0f;
  c3d.m_nFirstFrame = 1;
  c3d.m_nLastFrame = 1;  // one sample: the resampling is refused
  c3d.m_analogs.push_back(std::make_unique<CAnalog>());
  c3d.m_analogs[0]->m_pSamples = CSampleBlock(2);

  CSoundPlayer player;
  CTempFile file;
  QVERIFY(file.Create());
  std::vector<std::string> statuses;
  CPlatformSoundHost host(nullptr, [&](const std::string& s) { statuses.push_back(s); });
  QString boxText;
  QTimer::singleShot(0, this, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    boxText = box->text();
    box->accept();
  });
  std::vector<float> soundBuffer(50);
  QCOMPARE(sound::WriteWave(c3d, {.channel = 0, .bits = 16, .rate = 8000}, soundBuffer,
                            file.FsPath(), host),
           sound::WaveOutcome::PlayedEmpty);
  QCOMPARE(boxText, QString::fromLatin1(Messages::kError));
  QCOMPARE(statuses, (std::vector<std::string>{" Processing", " "}));
  QVERIFY(QApplication::overrideCursor() == nullptr);
  QCOMPARE(QFileInfo(file.Path()).size(), 44);
  QVERIFY(!player.IsPlaying());
}

TREMOLUX_SOUND_TEST_MAIN(TestPlatform)
#include "tst_platform.moc"
