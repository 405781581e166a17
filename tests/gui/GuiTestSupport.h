#pragma once

// Helpers shared by the GUI tests: a scratch environment so that settings
// never touch the user's, C3D files written with the test writer, and a
// catcher that records and closes the modal boxes the program shows.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "tests/gui/ScratchSettings.h"
#include "tests/support/C3dWriter.h"

namespace guitest {

// Sends the program's settings into a temporary folder, so that they never
// touch the user's, and gives Qt a private runtime folder when there is
// none. HOME and an existing XDG_RUNTIME_DIR are left alone: the private
// sound server of scripts/test is found through them. Call from
// initMain(), before the QApplication exists.
inline void UseScratchEnvironment() {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, ScratchSettingsDir());
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    const QString runtime = ScratchSettingsDir() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
  }
}

// Forgets every setting of the program (the recent-file list).
inline void ClearSettings() {
  QSettings settings(QStringLiteral("Vandrel"), QStringLiteral("Tremolux"));
  settings.clear();
  settings.sync();
}

// A small recording: two labelled channels at 1000 Hz, `samples` samples
// each (0.5 s by default; a multiple of 10, the samples per frame).
inline c3dtest::Recording SmallRecording(int samples = 500) {
  c3dtest::Recording rec;
  rec.samplesPerFrame = 10;
  rec.frameRate = 100.0f;
  std::vector<double> a, b;
  for (int i = 0; i < samples; ++i) {
    a.push_back(2048 + (i % 50) * 20);
    b.push_back(2048 - (i % 25) * 30);
  }
  rec.analog = {a, b};
  c3dtest::AddStandardParameters(rec, {"EMG1", "EMG2"}, {}, {}, std::nullopt);
  return rec;
}

inline QString WriteBytes(const QString& dir, const QString& name,
                          const std::vector<std::uint8_t>& bytes) {
  const QString path = dir + QLatin1Char('/') + name;
  if (!c3dtest::WriteFile(QFile::encodeName(path).toStdString(), bytes)) return {};
  return path;
}

inline QString WriteRecording(const QString& dir, const QString& name,
                              const c3dtest::Recording& rec = SmallRecording()) {
  return WriteBytes(dir, name, c3dtest::WriteC3d(rec));
}

// Watches for modal windows while it lives: each one's title and text are
// recorded, then `onModal` runs (default: the window is closed). A window
// still open two seconds later is closed.
class ModalCatcher : public QObject {
 public:
  struct Seen {
    QString className;
    QString title;
    QString text;
  };

  explicit ModalCatcher(std::function<void(QWidget*)> onModal = {})
      : m_onModal(std::move(onModal)) {
    connect(&m_timer, &QTimer::timeout, this, &ModalCatcher::Poll);
    m_timer.start(20);
  }

  const std::vector<Seen>& seen() const { return m_seen; }

 private:
  void Poll() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) return;
    if (w == m_last) {
      // A handler that failed half-way must not leave the test hanging.
      if (m_since.elapsed() > 2000) {
        if (auto* dialog = qobject_cast<QDialog*>(w))
          dialog->accept();  // some dialogs ignore the close box
        else
          w->close();
      }
      return;
    }
    m_last = w;
    m_since.start();
    Seen s{QString::fromLatin1(w->metaObject()->className()), w->windowTitle(), {}};
    if (auto* box = qobject_cast<QMessageBox*>(w)) s.text = box->text();
    m_seen.push_back(s);
    if (m_onModal)
      m_onModal(w);
    else
      w->close();
  }

  std::function<void(QWidget*)> m_onModal;
  QTimer m_timer;
  QPointer<QWidget> m_last;
  QElapsedTimer m_since;
  std::vector<Seen> m_seen;
};

}  // namespace guitest
