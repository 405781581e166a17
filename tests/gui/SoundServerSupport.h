#pragma once

// For the tests that need a sound server of their own (to start late, or to
// kill while a sound plays) or none at all: such a test runs itself again in
// a child process whose environment points the sound library elsewhere, as
// the library reads it once per process.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace guitest {

// Runs test function `function` of this program again in a child process
// with `env`, its output forwarded to ours. True when it passed (exit 0).
inline bool RunTestAgain(const QProcessEnvironment& env, const QString& function,
                         int timeoutMs = 90000) {
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(QCoreApplication::applicationFilePath(), {function});
  if (!child.waitForFinished(timeoutMs)) {
    child.kill();
    child.waitForFinished();
    return false;
  }
  return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

// This process's environment with a private sound-server home under `dir`:
// runtime/ (mode 700; the server's socket is runtime/pulse/native), home/,
// TMPDIR (so whatever is left goes with `dir`), no PULSE_SERVER, and a
// client configuration that never starts a server by itself.
inline QProcessEnvironment PrivateSoundEnvironment(const QString& dir) {
  const QString runtime = dir + QStringLiteral("/runtime");
  QDir().mkpath(runtime);
  QDir().mkpath(dir + QStringLiteral("/home"));
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QFile config(dir + QStringLiteral("/client.conf"));
  if (config.open(QIODevice::WriteOnly)) config.write("autospawn = no\n");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
  env.insert(QStringLiteral("HOME"), dir + QStringLiteral("/home"));
  env.insert(QStringLiteral("TMPDIR"), dir);
  env.insert(QStringLiteral("PULSE_CLIENTCONFIG"), config.fileName());
  env.remove(QStringLiteral("PULSE_SERVER"));
  return env;
}

// Starts pulseaudio (the program at `pulseaudio`) as `server` with one null
// sink and the native protocol, in the environment `server` has (by default
// this process's). True once the program runs; its socket follows shortly.
inline bool StartPrivateSoundServer(QProcess& server, const QString& pulseaudio) {
  server.setStandardOutputFile(QProcess::nullDevice());
  server.setStandardErrorFile(QProcess::nullDevice());
  server.start(pulseaudio,
               {QStringLiteral("--daemonize=no"), QStringLiteral("--use-pid-file=no"),
                QStringLiteral("--system=false"), QStringLiteral("--exit-idle-time=-1"),
                QStringLiteral("-n"),
                QStringLiteral("--load=module-null-sink sink_name=own rate=44100 channels=1"),
                QStringLiteral("--load=module-native-protocol-unix")});
  return server.waitForStarted();
}

}  // namespace guitest
