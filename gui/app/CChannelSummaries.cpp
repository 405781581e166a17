#include "gui/app/CChannelSummaries.h"

#include <QMetaObject>
#include <QPointer>
#include <algorithm>

#include "core/c3d/C3d.h"
#include "core/plot/PlotSummary.h"

CChannelSummaries::CChannelSummaries(QObject* parent) : QObject(parent) {
  // One channel at a time per core: a summary is one pass over memory.
  m_pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
}

CChannelSummaries::~CChannelSummaries() { Stop(); }

void CChannelSummaries::Start(const CC3d& c3d) {
  Clear();
  const std::size_t channels = c3d.m_analogs.size();
  m_summaries.resize(channels);
  m_ready.assign(channels, 0);
  m_stop = false;
  // Channels in file order, each a task: the lanes at the top draw first.
  for (std::size_t i = 0; i < channels; ++i) {
    const int channel = static_cast<int>(i);
    m_pool.start([this, &c3d, channel] {
      if (m_stop) return;
      auto summary = std::make_unique<CPlotSummary>(c3d, channel);
      m_summaries[static_cast<std::size_t>(channel)] = std::move(summary);
      // Queued to the GUI thread; Stop waits for this task, so `this` is alive.
      QMetaObject::invokeMethod(
          this, [this, channel] { OnBuilt(channel); }, Qt::QueuedConnection);
    });
  }
}

void CChannelSummaries::Stop() {
  m_stop = true;
  m_pool.clear();  // tasks not started yet never start
  m_pool.waitForDone();
}

void CChannelSummaries::Clear() {
  Stop();
  m_summaries.clear();
  m_ready.clear();
  m_nReady = 0;
}

void CChannelSummaries::OnBuilt(int channel) {
  const auto i = static_cast<std::size_t>(channel);
  // A Clear after the task finished leaves a stale announcement behind.
  if (i >= m_ready.size() || m_ready[i] || !m_summaries[i]) return;
  m_ready[i] = 1;
  ++m_nReady;
  emit Ready(channel);
}

const CPlotSummary* CChannelSummaries::Get(int channel) const {
  if (channel < 0 || static_cast<std::size_t>(channel) >= m_ready.size()) return nullptr;
  const auto i = static_cast<std::size_t>(channel);
  return m_ready[i] ? m_summaries[i].get() : nullptr;
}

std::size_t CChannelSummaries::Bytes() const {
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < m_ready.size(); ++i)
    if (m_ready[i]) bytes += m_summaries[i]->Bytes();
  return bytes;
}
