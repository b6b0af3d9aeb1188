// The device name's two sides and the numbers in them.
#include "DeviceName.h"

#include <gtest/gtest.h>

namespace {

struct TSplitCase {
  const char* Label;
  const char* Name;
  bool Accepted;
  const char* Video;
  const char* Audio;
};
void PrintTo(const TSplitCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Label;
}

class SplitDeviceNameTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(SplitDeviceNameTest, GivesBothSides) {
  const TSplitCase& c = GetParam();
  TDeviceName sides;
  ASSERT_EQ(SplitDeviceName(c.Name, sides), c.Accepted);
  if (!c.Accepted) return;
  EXPECT_EQ(sides.VideoText, c.Video);
  EXPECT_EQ(sides.AudioText, c.Audio);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SplitDeviceNameTest,
    ::testing::Values(TSplitCase{"VideoThenAudio", "video=0:audio=-1", true, "0", "-1"},
                      TSplitCase{"VideoOnly", "video=123", true, "123", ""},
                      TSplitCase{"EmptyVideoIsScreen", "video=", true, "0", ""},
                      TSplitCase{"EmptyBothAfterVideo", "video=:audio=", true, "0", "-1"},
                      TSplitCase{"EmptyAudioIsDefault", "video=5:audio=", true, "5", "-1"},
                      TSplitCase{"AudioOnly", "audio=-1", true, "", "-1"},
                      TSplitCase{"EmptyAudioOnly", "audio=", true, "", "-1"},
                      TSplitCase{"AudioThenVideo", "audio=3:video=7", true, "7", "3"},
                      TSplitCase{"EmptyBothAfterAudio", "audio=:video=", true, "0", "-1"},
                      TSplitCase{"NoPrefix", "abc", false, "", ""},
                      TSplitCase{"Empty", "", false, "", ""},
                      TSplitCase{"PrefixIsCaseSensitive", "Video=0", false, "", ""}),
    [](const auto& AInfo) { return std::string(AInfo.param.Label); });

struct TNumberCase {
  const char* Label;
  const char* Text;
  bool Accepted;
  int32_t Value;
};
void PrintTo(const TNumberCase& ACase, std::ostream* AStream) {
  *AStream << ACase.Label;
}

class DeviceNumberTest : public ::testing::TestWithParam<TNumberCase> {};

TEST_P(DeviceNumberTest, ConvertsOrNamesTheText) {
  const TNumberCase& c = GetParam();
  int32_t value = 0;
  std::string error;
  ASSERT_EQ(ParseDeviceNumber(c.Text, value, error), c.Accepted) << error;
  if (c.Accepted)
    EXPECT_EQ(value, c.Value);
  else
    EXPECT_EQ(error, std::string("'") + c.Text + "' is not a valid integer value");
}

INSTANTIATE_TEST_SUITE_P(Numbers, DeviceNumberTest,
                         ::testing::Values(TNumberCase{"Zero", "0", true, 0},
                                           TNumberCase{"MinusOne", "-1", true, -1},
                                           TNumberCase{"Plus", "+5", true, 5},
                                           TNumberCase{"Largest", "2147483647", true, INT32_MAX},
                                           TNumberCase{"Smallest", "-2147483648", true, INT32_MIN},
                                           TNumberCase{"TooLarge", "2147483648", false, 0},
                                           TNumberCase{"HexWindowId", "0x1c00003", true, 0x1c00003},
                                           TNumberCase{"DollarHex", "$FF", true, 255},
                                           TNumberCase{"HexAllBits", "0xFFFFFFFF", true, -1},
                                           TNumberCase{"HexTooLong", "0x100000000", false, 0},
                                           TNumberCase{"HexSign", "0x-1", false, 0},
                                           TNumberCase{"HexNoDigits", "0x", false, 0},
                                           TNumberCase{"Letters", "abc", false, 0},
                                           TNumberCase{"TrailingText", "1x", false, 0},
                                           TNumberCase{"LeadingBlank", " 5", false, 0},
                                           TNumberCase{"NoText", "", false, 0}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Label); });

} // namespace
