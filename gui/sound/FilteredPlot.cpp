#include "gui/sound/FilteredPlot.h"

#include <QMetaObject>

#include "core/c3d/C3d.h"
#include "core/plot/PlotSummary.h"
#include "core/sound/FilteredChannel.h"

struct CFilteredPlot::Result {
  std::unique_ptr<CC3d> values;
  std::unique_ptr<CPlotSummary> summary;
};

CFilteredPlot::CFilteredPlot(QObject* parent) : QObject(parent) {}

CFilteredPlot::~CFilteredPlot() { Stop(); }

void CFilteredPlot::Stop() {
  if (m_cancel) m_cancel->store(true);
  // The thread checks the flag between stretches of 32768 values: it ends
  // within one stretch, or one summary pass when it has reached that.
  if (m_thread.joinable()) m_thread.join();
  m_busy = false;
}

void CFilteredPlot::Want(const CC3d* c3d, int channel,
                         const std::vector<sound::FilterSpec>& filters) {
  if (filters.empty() || c3d == nullptr) {
    channel = -1;
    c3d = nullptr;
  }
  if (c3d == m_c3d && channel == m_channel && filters == m_filters) return;
  Stop();
  m_c3d = c3d;
  m_channel = channel;
  m_filters = c3d != nullptr ? filters : std::vector<sound::FilterSpec>();
  m_values.reset();
  m_summary.reset();
  const unsigned wish = ++m_wish;
  if (c3d == nullptr || channel < 0) return;
  m_cancel = std::make_shared<std::atomic<bool>>(false);
  m_busy = true;
  m_thread = std::thread([this, wish, c3d, channel, filters = m_filters, cancel = m_cancel] {
    auto result = std::make_shared<Result>();
    result->values = sound::FilteredChannel(*c3d, channel, filters, *cancel);
    if (result->values && !cancel->load()) {
      result->summary = std::make_unique<CPlotSummary>(*result->values, 0);
    }
    if (cancel->load()) return;
    // Queued to the GUI thread; this object outlives the thread (Stop joins it).
    QMetaObject::invokeMethod(
        this, [this, wish, result] { Arrived(wish, result); }, Qt::QueuedConnection);
  });
}

void CFilteredPlot::Arrived(unsigned wish, std::shared_ptr<Result> result) {
  if (wish != m_wish) return;                // the wish changed meanwhile
  if (m_thread.joinable()) m_thread.join();  // it has posted this: its last act
  m_busy = false;
  m_values = std::move(result->values);
  m_summary = std::move(result->summary);
  emit Ready();
}
