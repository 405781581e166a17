// The test writer is the source of every generated fixture: its encoders must
// produce the published byte patterns, or every round-trip test proves nothing.
#include <gtest/gtest.h>

#include "tests/support/C3dWriter.h"

using c3dtest::EncodeFloat;
using c3dtest::EncodeInt16;
using c3dtest::Proc;

TEST(C3dWriter, EncodesFloatsInEachProcessorFormat) {
  EXPECT_EQ(EncodeFloat(1.0f, Proc::Intel), (std::vector<std::uint8_t>{0x00, 0x00, 0x80, 0x3F}));
  EXPECT_EQ(EncodeFloat(1.0f, Proc::Mips), (std::vector<std::uint8_t>{0x3F, 0x80, 0x00, 0x00}));
  // DEC F-floating 1.0 is stored as 0x80 0x40 0x00 0x00.
  EXPECT_EQ(EncodeFloat(1.0f, Proc::Dec), (std::vector<std::uint8_t>{0x80, 0x40, 0x00, 0x00}));
  EXPECT_EQ(EncodeFloat(0.0f, Proc::Dec), (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(C3dWriter, EncodesInt16LittleOrBigEndian) {
  EXPECT_EQ(EncodeInt16(0x1234, Proc::Intel), (std::vector<std::uint8_t>{0x34, 0x12}));
  EXPECT_EQ(EncodeInt16(0x1234, Proc::Dec), (std::vector<std::uint8_t>{0x34, 0x12}));
  EXPECT_EQ(EncodeInt16(0x1234, Proc::Mips), (std::vector<std::uint8_t>{0x12, 0x34}));
}

TEST(C3dWriter, LaysOutHeaderParameterAndDataSections) {
  c3dtest::Recording rec;
  rec.samplesPerFrame = 2;
  rec.analog = {{1, 2, 3, 4}, {5, 6, 7, 8}};
  const auto bytes = c3dtest::WriteC3d(rec);
  ASSERT_EQ(bytes.size(), 2u * 512 + 2 /*frames*/ * 4 /*values*/ * 2 /*bytes*/);
  EXPECT_EQ(bytes[0], 2);         // parameter section at block 2
  EXPECT_EQ(bytes[1], 0x50);      // key byte
  EXPECT_EQ(bytes[512 + 3], 84);  // Intel processor code
  EXPECT_EQ(bytes[16], 3);        // data block 3
  // Frame 0: channel 0 sample 0, channel 1 sample 0, channel 0 sample 1, channel 1 sample 1.
  EXPECT_EQ(bytes[1024], 1);
  EXPECT_EQ(bytes[1026], 5);
  EXPECT_EQ(bytes[1028], 2);
  EXPECT_EQ(bytes[1030], 6);
}
