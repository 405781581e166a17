#include "tests/support/HostileFiles.h"

#include <algorithm>

#include "tests/support/C3dWriter.h"

namespace c3dtest {
namespace {

// Channels of `frames` samples each, a slow ramp per channel so that the
// extremes differ from channel to channel.
std::vector<std::vector<double>> Ramps(std::size_t channels, std::size_t frames) {
  std::vector<std::vector<double>> analog(channels, std::vector<double>(frames));
  for (std::size_t m = 0; m < channels; ++m) {
    for (std::size_t f = 0; f < frames; ++f)
      analog[m][f] = static_cast<double>((f + m) % 2000) - 1000.0;
  }
  return analog;
}

// Bytes before the data section: the header block and the parameter
// section (4 bytes, the records, a closing zero) in whole blocks.
std::size_t BytesBeforeData(std::size_t parameterBytes) {
  return kBlock + (parameterBytes + 5 + kBlock - 1) / kBlock * kBlock;
}

// A header that claims all 65535 frames of `channels` channels while the
// file holds only the frames that fit in 1 MiB: the reader repeats the last
// frame read into the rest.
Recording ClaimingAllFrames(std::size_t channels, std::size_t parameterBytes, bool floatData) {
  Recording rec;
  rec.floatData = floatData;
  rec.firstFrame = 1;
  rec.lastFrame = 65535;
  rec.writtenFrames =
      (kHostileFileSize - BytesBeforeData(parameterBytes)) / (channels * (floatData ? 4 : 2));
  rec.analog = Ramps(channels, *rec.writtenFrames);
  return rec;
}

// A character parameter record of 11 bytes whose dimensions (0 x 255 x 128)
// claim 32640 empty rows.
RawRec EmptyRows() { return RawRec{{1, 1, 'R', 8, 0, 0xFF, 3, 0, 255, 128, 0}}; }

// A byte parameter record of 9 bytes claiming 255 x 128 values, the most
// one record may hold. Its offset points 6 bytes on, so each record's values
// are read from the records that follow it.
RawRec OverlappingValues() { return RawRec{{1, 1, 'V', 6, 0, 1, 2, 255, 128}}; }

// Frames of 64 int16 channels after the parameter section, as many as fill
// the file to 1 MiB: the file's size raises the parameter records' bound.
void FillWithFrames(Recording& rec, std::size_t parameterBytes) {
  const std::size_t frames = (kHostileFileSize - BytesBeforeData(parameterBytes)) / (64 * 2);
  rec.analog = Ramps(64, frames);
}

}  // namespace

std::vector<HostileFile> HostileFiles() {
  std::vector<HostileFile> files;

  // The most repeated frames a 1 MiB file may claim: 280 channels x 65535
  // frames is 35 MiB of int16 samples of which about 1 MiB is written.
  files.push_back({"repeated frames", WriteC3d(ClaimingAllFrames(280, 0, false)), true});

  // Far more than repetition may fill (2000 channels: 250 MiB): refused.
  files.push_back({"frames beyond the bound", WriteC3d(ClaimingAllFrames(2000, 0, false)), false});

  // The same for float samples: 140 channels x 65535 frames x 4 bytes.
  files.push_back({"repeated float frames", WriteC3d(ClaimingAllFrames(140, 0, true)), true});

  // 300 records of 32640 rows each (300 MiB of row strings where a string
  // takes 32 bytes, 112 MiB where it takes 12, as in 32-bit builds):
  // refused once the records hold more than the parameter bound.
  {
    Recording rec;
    rec.records.assign(300, EmptyRows());
    FillWithFrames(rec, 300 * 11);
    files.push_back({"empty rows", WriteC3d(rec), false});
  }

  // 40 records of empty rows (about 40 MiB) below the parameter bound, then
  // 35 MiB of repeated frames: the most both bounds allow together.
  {
    Recording rec = ClaimingAllFrames(280, 40 * 11, false);
    rec.records.assign(40, EmptyRows());
    files.push_back({"empty rows and repeated frames", WriteC3d(rec), true});
  }

  // Overlapping byte records, each holding 32640 cells read from the
  // bytes of the records after it, until the parameter bound refuses.
  {
    Recording rec;
    rec.records.assign(500, OverlappingValues());
    RawRec values;  // what the last records read their values from
    values.bytes.assign(255 * 128, 0);
    rec.records.push_back(values);
    FillWithFrames(rec, 500 * 9 + values.bytes.size());
    files.push_back({"overlapping values", WriteC3d(rec), false});
  }

  // The most channels a header can count, 65535, with as many frames as fit.
  {
    Recording rec;
    rec.analog = Ramps(65535, (kHostileFileSize - BytesBeforeData(0)) / (65535 * 2));
    files.push_back({"65535 channels", WriteC3d(rec), true});
  }

  // 65535 points, with as many frames as fit.
  {
    Recording rec;
    rec.pointCount = 65535;
    rec.lastFrame =
        static_cast<std::uint16_t>((kHostileFileSize - BytesBeforeData(0)) / (65535 * 4 * 2));
    files.push_back({"65535 points", WriteC3d(rec), true});
  }

  return files;
}

}  // namespace c3dtest
