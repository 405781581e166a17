// The recent-file list: its order and size, its display in the File menu,
// its place in the settings across runs, and the File Open dialog.
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

#include "gui/app/CDocTemplate.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CRecentFileList.h"
#include "gui/app/CTremoluxApp.h"
#include "gui/app/CTremoluxDoc.h"
#include "gui/res/ResourceIds.h"
#include "tests/gui/GuiTestSupport.h"

class TestRecentFiles : public QObject {
  Q_OBJECT

 public:
  static void initMain() { guitest::UseScratchEnvironment(); }

 private slots:
  void init();
  void cleanup();
  void abbreviateName_data();
  void abbreviateName();
  void fifthFilePushesOldestOut();
  void listSurvivesRestart();
  void greyedWhenEmpty();
  void onlyOpenedFilesAreAdded();
  void entryThatNoLongerOpensIsRemoved();
  void fileDialogOpensChosenFile();

 private:
  void Start() {
    m_app = std::make_unique<CTremoluxApp>();
    QVERIFY(m_app->InitInstance({QStringLiteral("tremolux")}));
  }
  QString Write(const QString& name) { return guitest::WriteRecording(m_dir->path(), name); }
  QStringList Files() const { return m_app->GetRecentFileList().GetFiles(); }
  QAction* Entry(int i) const { return m_app->GetMainWnd()->GetAction(Res::ID_FILE_MRU_FILE1 + i); }

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<CTremoluxApp> m_app;
};

void TestRecentFiles::init() {
  guitest::ClearSettings();
  m_dir = std::make_unique<QTemporaryDir>();
  Start();
}

void TestRecentFiles::cleanup() {
  m_app.reset();
  m_dir.reset();
}

void TestRecentFiles::abbreviateName_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<int>("max");
  QTest::addColumn<QString>("shown");
  QTest::newRow("fits") << "/data/walk.c3d" << 30 << "/data/walk.c3d";
  QTest::newRow("exactly 30") << "/data/sessions/2024/run/a.c3d" << 30
                              << "/data/sessions/2024/run/a.c3d";
  QTest::newRow("keeps trailing folders")
      << "/home/user/data/sessions/2024/walk.c3d" << 30 << "/.../sessions/2024/walk.c3d";
  QTest::newRow("only the name fits")
      << "/home/user/rather_long_file_name.c3d" << 30 << "/.../rather_long_file_name.c3d";
  QTest::newRow("name alone, too long") << "/home/user/an_even_longer_file_name_here.c3d" << 30
                                        << "an_even_longer_file_name_here.c3d";
}

void TestRecentFiles::abbreviateName() {
  QFETCH(QString, path);
  QFETCH(int, max);
  QFETCH(QString, shown);
  QCOMPARE(CRecentFileList::AbbreviateName(path, max), shown);
}

void TestRecentFiles::fifthFilePushesOldestOut() {
  QStringList paths;
  for (int i = 1; i <= 5; ++i) {
    paths << Write(QStringLiteral("f%1.c3d").arg(i));
    QVERIFY(m_app->OpenDocumentFile(paths.last()));
  }
  QCOMPARE(Files(), (QStringList{paths[4], paths[3], paths[2], paths[1]}));
  // Opening an entry again moves it to the top instead of repeating it.
  QVERIFY(m_app->OpenDocumentFile(paths[2]));
  QCOMPARE(Files(), (QStringList{paths[2], paths[4], paths[3], paths[1]}));
  for (int i = 0; i < 4; ++i) {
    QVERIFY(Entry(i)->isVisible());
    QVERIFY(Entry(i)->text().startsWith(QStringLiteral("&%1 ").arg(i + 1)));
    QVERIFY(Entry(i)->text().size() <= 3 + Res::kRecentFileDisplayChars);
    QCOMPARE(Entry(i)->statusTip(), QStringLiteral("Open this document"));
  }
  QVERIFY(Entry(0)->text().endsWith(QStringLiteral("f3.c3d")));
}

void TestRecentFiles::listSurvivesRestart() {
  const QString a = Write(QStringLiteral("a.c3d")), b = Write(QStringLiteral("b.c3d"));
  QVERIFY(m_app->OpenDocumentFile(a));
  QVERIFY(m_app->OpenDocumentFile(b));
  m_app->GetMainWnd()->close();
  m_app.reset();  // the list is written back at exit

  QSettings settings(QStringLiteral("Vandrel"), QStringLiteral("Tremolux"));
  QVERIFY(settings.fileName().startsWith(guitest::ScratchSettingsDir()));
  QCOMPARE(settings.value(QStringLiteral("Recent File List/File1")).toString(), b);
  QCOMPARE(settings.value(QStringLiteral("Recent File List/File2")).toString(), a);
  QVERIFY(!settings.contains(QStringLiteral("Recent File List/File3")));

  Start();
  QCOMPARE(Files(), (QStringList{b, a}));
  QVERIFY(Entry(0)->isVisible() && Entry(1)->isVisible() && !Entry(2)->isVisible());
  Entry(1)->trigger();  // the second entry opens a.c3d and moves it up
  QCOMPARE(m_app->GetMainWnd()->GetActiveDocument()->GetPathName(), a);
  QCOMPARE(Files(), (QStringList{a, b}));
}

void TestRecentFiles::greyedWhenEmpty() {
  QCOMPARE(Files().size(), 0);
  for (int i = 0; i < Res::kRecentFileCount; ++i) QVERIFY(!Entry(i)->isVisible());
  QMenu* file = m_app->GetMainWnd()->menuBar()->actions().front()->menu();
  const auto actions = file->actions();
  const auto placeholder = std::find_if(actions.begin(), actions.end(), [](QAction* a) {
    return a->text() == QStringLiteral("Recent File");
  });
  QVERIFY(placeholder != actions.end());
  QVERIFY((*placeholder)->isVisible() && !(*placeholder)->isEnabled());
  QVERIFY(m_app->OpenDocumentFile(Write(QStringLiteral("a.c3d"))));
  QVERIFY(!(*placeholder)->isVisible());
}

void TestRecentFiles::onlyOpenedFilesAreAdded() {
  QVERIFY(!m_app->OpenDocumentFile(m_dir->filePath(QStringLiteral("missing.c3d"))));
  const QString text = guitest::WriteBytes(m_dir->path(), QStringLiteral("t.c3d"),
                                           std::vector<std::uint8_t>(64, 'x'));
  QVERIFY(!m_app->OpenDocumentFile(text));
  QCOMPARE(Files().size(), 0);
}

void TestRecentFiles::entryThatNoLongerOpensIsRemoved() {
  const QString a = Write(QStringLiteral("a.c3d")), b = Write(QStringLiteral("b.c3d"));
  QVERIFY(m_app->OpenDocumentFile(a));
  QVERIFY(m_app->OpenDocumentFile(b));
  QVERIFY(QFile::remove(a));
  Entry(1)->trigger();
  QCOMPARE(Files(), QStringList{b});
  // The status bar has said which entry went and why.
  QCOMPARE(m_app->GetMainWnd()->GetMessageText(),
           QStringLiteral("Could not open %1: the file does not exist")
               .arg(QDir::toNativeSeparators(a)));
  QCOMPARE(m_app->GetDocTemplate()->GetDocumentCount(), 2);
}

void TestRecentFiles::fileDialogOpensChosenFile() {
  const QString path = Write(QStringLiteral("chosen.c3d"));
  QStringList filters;
  guitest::ModalCatcher catcher([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    QVERIFY(dialog);
    filters = dialog->nameFilters();
    // Typed, as a person would: selectFile() leaves the name field alone
    // while it has the focus.
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name);
    name->setText(path);
    static_cast<QDialog*>(dialog)->done(QDialog::Accepted);  // public in QDialog
  });
  m_app->GetMainWnd()->GetAction(Res::ID_FILE_OPEN)->trigger();
  QCOMPARE(filters, (QStringList{"C3d Files (*.c3d)", "All Files (*)"}));
  QVERIFY(m_app->GetMainWnd()->GetActiveDocument());
  QCOMPARE(m_app->GetMainWnd()->GetActiveDocument()->GetPathName(), path);
  QCOMPARE(Files(), QStringList{path});
}

QTEST_MAIN(TestRecentFiles)
#include "tst_recentfiles.moc"
