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

#include "Messages.h"
#include "platform/MessageBox.h"
#include "platform/TempFile.h"
#include "platform/WaitCursor.h"

class TestPlatform : public QObject {
  Q_OBJECT

 private slots:
  void tempFileIsPrivateUniqueAndRemoved();
  void tempFileTakesWritesByName();
  void messageBoxShowsTheTextWithOneOkButton();
  void waitCursorsNestAndRestore();
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

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
