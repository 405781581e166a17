#pragma once

// main() for the test programs that play sound: Qt Test's own main, after
// which the process ends through ExitAfterSound once the application object
// is gone, so that the audio library's teardown at exit cannot abort a run
// whose tests all passed. The scratch settings folder is removed first, as
// ExitAfterSound runs no static destructor.

#include <QtTest/QtTest>

#include "common/ProcessExit.h"
#include "tests/gui/ScratchSettings.h"

#define TREMOLUX_TEST_MAIN_WITH_SETUP(TestObject, ...)                   \
  int main(int argc, char* argv[]) {                                     \
    int result = 0;                                                      \
    {                                                                    \
      QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>(); \
      __VA_ARGS__                                                        \
      TestObject tc;                                                     \
      QTEST_SET_MAIN_SOURCE_PATH                                         \
      result = QTest::qExec(&tc, argc, argv);                            \
    }                                                                    \
    guitest::RemoveScratchSettingsDir();                                 \
    ExitAfterSound(result);                                              \
  }

// As QTEST_MAIN, for a test program that plays sound.
#define TREMOLUX_SOUND_TEST_MAIN(TestObject) \
  TREMOLUX_TEST_MAIN_WITH_SETUP(TestObject, QTEST_MAIN_SETUP())
// As QTEST_GUILESS_MAIN, for a test program that plays sound.
#define TREMOLUX_SOUND_TEST_GUILESS_MAIN(TestObject) \
  TREMOLUX_TEST_MAIN_WITH_SETUP(TestObject, QTEST_QAPP_SETUP(QCoreApplication))
