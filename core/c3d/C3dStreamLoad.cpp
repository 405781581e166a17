#include "core/c3d/C3dStreamLoad.h"

#include <exception>

#include "core/c3d/C3dReader.h"

CC3dStreamLoad::CC3dStreamLoad(CC3d& c3d, std::int64_t size) : m_c3d(c3d), m_size(size) {}

CC3dStreamLoad::~CC3dStreamLoad() = default;

void CC3dStreamLoad::FailForMemory() {
  m_failed = true;
  m_c3d.m_loadError = C3dLoadError::NotEnoughMemory;
}

CC3dStreamLoad::Step CC3dStreamLoad::Begin(const void* head, std::size_t available) {
  m_c3d.Clear();
  m_c3d.m_loadError = C3dLoadError::None;
  m_failed = false;
  m_reader = std::make_unique<CC3dReader>(m_c3d);
  m_c3d.m_file.OpenMemoryHead(head, available, m_size);
  bool ok = false;
  try {
    ok = m_reader->ReadUntilSampleData();
  } catch (const std::exception&) {
    // Only allocations throw (see CC3dReader::Read).
    FailForMemory();
  }
  const bool pastHead = m_c3d.m_file.ReadPastAvailable();
  m_c3d.m_file.Close();
  if (pastHead) {
    // What was read past the head was not the file's: read it again.
    m_reader.reset();
    m_c3d.Clear();
    m_c3d.m_loadError = C3dLoadError::None;
    m_failed = false;
    return Step::NeedMore;
  }
  if (!ok) m_failed = true;
  m_position = 0;
  if (m_failed) return Step::Done;
  return Feed(head, available < static_cast<std::uint64_t>(m_size)
                        ? available
                        : static_cast<std::size_t>(m_size));
}

CC3dStreamLoad::Step CC3dStreamLoad::Feed(const void* bytes, std::size_t size) {
  if (m_failed || !m_reader || !m_reader->WantsSampleData()) return Step::Done;
  try {
    m_reader->FeedSampleData(static_cast<const unsigned char*>(bytes), size, m_position);
  } catch (const std::exception&) {
    FailForMemory();
    return Step::Done;
  }
  m_position += static_cast<std::int64_t>(size);
  return m_reader->WantsSampleData() ? Step::Feeding : Step::Done;
}

bool CC3dStreamLoad::End() {
  if (!m_reader) return false;  // Begin never completed
  if (!m_failed) {
    try {
      m_reader->EndSampleData();
      m_c3d.ComputeAnalogScaling();
    } catch (const std::exception&) {
      FailForMemory();
    }
  }
  m_reader.reset();
  return !m_failed;
}
