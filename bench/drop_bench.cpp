// Cost of files dropped on the main window, for drops of 50 to 400 files:
// opening them all, each as a document in a window of its own (closing them
// afterwards is not timed), and dropping them again while they are open,
// which only finds each file's document and brings its window forward; and
// the lookup of an opened file among those already open, which a drop of N
// files runs N times.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "gui/app/CDocTemplate.h"
#include "gui/app/CMainFrame.h"
#include "gui/app/CTremoluxApp.h"
#include "tests/gui/GuiTestSupport.h"

namespace {

CTremoluxApp* g_app = nullptr;  // the one application, made by main()

// n small recordings (two channels of 500 samples) in a scratch folder.
QStringList WriteFiles(const QTemporaryDir& dir, int n) {
  const std::vector<std::uint8_t> bytes = c3dtest::WriteC3d(guitest::SmallRecording());
  QStringList files;
  for (int i = 0; i < n; ++i)
    files << guitest::WriteBytes(dir.path(), QStringLiteral("f%1.c3d").arg(i), bytes);
  return files;
}

void CloseAll() {
  g_app->GetDocTemplate()->CloseAllDocuments();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

void SetFileCounters(benchmark::State& state, int n) {
  state.SetComplexityN(n);
  // Seconds per dropped file (printed with an SI prefix).
  state.counters["per_file"] = benchmark::Counter(
      n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// One drop of n files that are not open: each is read and gets its window.
void BM_DropOpen(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const QStringList files = WriteFiles(dir, n);
  for (auto _ : state) {
    emit g_app->GetMainWnd()->filesDropped(files);
    state.PauseTiming();
    const bool allOpen = g_app->GetDocTemplate()->GetDocumentCount() == n;
    CloseAll();
    state.ResumeTiming();
    if (!allOpen) {
      state.SkipWithError("not every dropped file opened");
      break;
    }
  }
  SetFileCounters(state, n);
}

// One drop of n files that are all open already: no file is read again.
void BM_DropAgain(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const QStringList files = WriteFiles(dir, n);
  emit g_app->GetMainWnd()->filesDropped(files);
  for (auto _ : state) {
    emit g_app->GetMainWnd()->filesDropped(files);
    if (g_app->GetDocTemplate()->GetDocumentCount() != n) {
      state.SkipWithError("a file dropped again opened a second time");
      break;
    }
  }
  CloseAll();
  SetFileCounters(state, n);
}

// The lookup every opened file goes through first, with n documents open,
// for a file that is not among them (every document is compared).
void BM_FindDocument(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  QStringList files = WriteFiles(dir, n + 1);
  const QString notOpen = files.takeLast();
  emit g_app->GetMainWnd()->filesDropped(files);
  for (auto _ : state) {
    if (g_app->GetDocTemplate()->FindDocument(notOpen)) {
      state.SkipWithError("a file that is not open was found");
      break;
    }
  }
  CloseAll();
  state.SetComplexityN(n);
}

}  // namespace

// Drops of 50 to 400 files, timed in milliseconds, with the growth fitted.
void DropSizes(benchmark::internal::Benchmark* b) {
  for (const int n : {50, 100, 200, 400}) b->Arg(n);
  b->Complexity()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_FindDocument)->Arg(50)->Arg(100)->Arg(200)->Arg(400)->Complexity();
BENCHMARK(BM_DropOpen)->Apply(DropSizes);
BENCHMARK(BM_DropAgain)->Apply(DropSizes);

int main(int argc, char** argv) {
  // Off-screen: the benchmark needs no display. Settings (the recent-file
  // list) go to a scratch folder, never the user's.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  guitest::UseScratchEnvironment();
  int result = 0;
  {
    QApplication qapp(argc, argv);
    CTremoluxApp app;
    if (!app.InitInstance({QStringLiteral("tremolux")})) return 1;
    g_app = &app;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
      result = 1;
    } else {
      benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    g_app = nullptr;
  }
  guitest::RemoveScratchSettingsDir();
  return result;
}
