#pragma once

// The tone the playback tests play: a mono WAVE file written through the
// program's own header and amplitude mapping.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtTest/QtTest>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "core/sound/WaveSynthesis.h"

namespace guitest {

// Writes a mono WAVE file of a sine tone through the program's header and
// amplitude mapping: stored values around the silence level 2048.
inline void WriteTone(const QString& path, double hz, double seconds, std::uint32_t rate,
                      int bits) {
  const auto n = static_cast<std::uint32_t>(seconds * rate);
  const std::uint32_t blockAlign = bits == 16 ? 2 : 1;
  const auto header = sound::WaveHeader(rate, bits, n * blockAlign);
  QByteArray bytes(reinterpret_cast<const char*>(header.data()), 44);
  for (std::uint32_t i = 0; i < n; ++i) {
    const double s = 2048.0 + 1000.0 * std::sin(2 * std::numbers::pi * hz * i / rate);
    if (bits == 16) {
      const auto v = static_cast<std::uint16_t>(sound::PcmSample16(static_cast<float>(s)));
      bytes.append(static_cast<char>(v & 0xFF)).append(static_cast<char>(v >> 8));
    } else {
      bytes.append(static_cast<char>(sound::PcmSample8(static_cast<float>(s))));
    }
  }
  const std::uint32_t riff = static_cast<std::uint32_t>(bytes.size()) - 8;
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>((riff >> (8 * i)) & 0xFF);
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

}  // namespace guitest
