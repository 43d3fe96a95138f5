#include "formats/byte_io.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(ByteIoTest, FieldsRoundTripInBothByteOrders) {
  ByteWriter out;
  out.fourCC("RIFF").u32le(0x12345678).u16be(0xBEEF).u32be(0xCAFEBABE).u8(7).zeros(2);
  ByteReader in(out.data());
  EXPECT_EQ(in.fourCC(), "RIFF");
  EXPECT_EQ(in.u32le(), 0x12345678u);
  EXPECT_EQ(in.u16be(), 0xBEEF);
  EXPECT_EQ(in.s32be(), int32_t(0xCAFEBABE));
  EXPECT_EQ(in.u8(), 7);
  EXPECT_TRUE(in.ok());
  EXPECT_EQ(in.remaining(), 2u);
}

TEST(ByteIoTest, ReadingPastTheEndFailsAndYieldsZero) {
  const uint8_t bytes[3] = {1, 2, 3};
  ByteReader in(bytes, 3);
  EXPECT_EQ(in.u16le(), 0x0201);
  EXPECT_EQ(in.u16le(), 0);  // only one byte left
  EXPECT_FALSE(in.ok());
  EXPECT_EQ(in.u8(), 0);  // stays failed
}

}  // namespace
}  // namespace quillon
