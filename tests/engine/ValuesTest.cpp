// Option value conversions, error texts, durations, tags, frame durations,
// the time-zone helpers, growing arrays, whole-file reads and the input
// device registry.
#include "Exception.h"
#include "FFBuffers.h"
#include "FFErrors.h"
#include "FFValues.h"
#include "InputFormatRegistry.h"
#include "LibAV.h"
#include "LibAVForTests.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <unistd.h>

namespace {

// ---- Value conversions -------------------------------------------------------

// What one conversion of one text gives: the value as text, or the message.
struct TValueCase {
  const char* Kind; // int, int64, float, double, duration, date
  const char* Value;
  const char* Expected; // the converted value, printed; null when it must fail
  const char* Message;  // the failure's message
};

std::string Convert(const std::string& AKind, const std::string& AValue) {
  if (AKind == "int") return std::to_string(ParseIntOption("opt", AValue));
  if (AKind == "int64") return std::to_string(ParseInt64Option("opt", AValue));
  char text[64];
  if (AKind == "float") {
    std::snprintf(text, sizeof text, "%g", static_cast<double>(ParseFloatOption("opt", AValue)));
    return text;
  }
  if (AKind == "double") {
    std::snprintf(text, sizeof text, "%.10g", ParseDoubleOption("opt", AValue));
    return text;
  }
  return std::to_string(ParseTimeOption("opt", AValue, AKind == "duration"));
}

void PrintTo(const TValueCase& ACase, std::ostream* AOut) {
  *AOut << ACase.Kind << " \"" << ACase.Value << "\"";
}

class ValueConversion : public testing::TestWithParam<TValueCase> {
protected:
  void SetUp() override { LoadLibAVForTest(); }
};

TEST_P(ValueConversion, ConvertsOrNamesTheOptionAndValue) {
  const TValueCase& c = GetParam();
  if (c.Expected) {
    EXPECT_EQ(Convert(c.Kind, c.Value), c.Expected);
    return;
  }
  try {
    const std::string value = Convert(c.Kind, c.Value);
    ADD_FAILURE() << "converted to " << value;
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), c.Message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValueConversion,
    testing::Values(
        TValueCase{"int", "42", "42", nullptr}, TValueCase{"int", "-17", "-17", nullptr},
        TValueCase{"int", "+5", "5", nullptr}, TValueCase{"int", "$1F", "31", nullptr},
        TValueCase{"int", "0x10", "16", nullptr}, TValueCase{"int", "-$10", "-16", nullptr},
        TValueCase{"int", "2147483647", "2147483647", nullptr},
        TValueCase{"int", "-2147483648", "-2147483648", nullptr},
        TValueCase{"int", "2147483648", nullptr,
                   "Expected integer for \"opt\" but found \"2147483648\""},
        TValueCase{"int", "12abc", nullptr, "Expected integer for \"opt\" but found \"12abc\""},
        TValueCase{"int", "", nullptr, "Expected integer for \"opt\" but found \"\""},
        TValueCase{"int", "1.5", nullptr, "Expected integer for \"opt\" but found \"1.5\""},
        TValueCase{"int", "0x", nullptr, "Expected integer for \"opt\" but found \"0x\""},
        TValueCase{"int", "--1", nullptr, "Expected integer for \"opt\" but found \"--1\""},
        TValueCase{"int", " 1", nullptr, "Expected integer for \"opt\" but found \" 1\""},
        TValueCase{"int64", "10000000000", "10000000000", nullptr},
        TValueCase{"int64", "-9223372036854775808", "-9223372036854775808", nullptr},
        TValueCase{"int64", "9223372036854775808", nullptr,
                   "Expected int64 for \"opt\" but found \"9223372036854775808\""},
        TValueCase{"int64", "x", nullptr, "Expected int64 for \"opt\" but found \"x\""},
        TValueCase{"float", "0.7", "0.7", nullptr}, TValueCase{"float", "-2.5e2", "-250", nullptr},
        TValueCase{"float", ".5", "0.5", nullptr}, TValueCase{"float", "+3", "3", nullptr},
        TValueCase{"float", "0,7", nullptr, "Expected float for \"opt\" but found \"0,7\""},
        TValueCase{"float", "1e39", nullptr, "Expected float for \"opt\" but found \"1e39\""},
        TValueCase{"float", "inf", nullptr, "Expected float for \"opt\" but found \"inf\""},
        TValueCase{"float", "+-1", nullptr, "Expected float for \"opt\" but found \"+-1\""},
        TValueCase{"double", "1.3333", "1.3333", nullptr},
        TValueCase{"double", "1e39", "1e+39", nullptr},
        TValueCase{"double", "nan", nullptr, "Expected double for \"opt\" but found \"nan\""},
        TValueCase{"double", "", nullptr, "Expected double for \"opt\" but found \"\""},
        TValueCase{"duration", "10", "10000000", nullptr},
        TValueCase{"duration", "1.5", "1500000", nullptr},
        TValueCase{"duration", "00:01:02.5", "62500000", nullptr},
        TValueCase{"duration", "-2", "-2000000", nullptr},
        TValueCase{"duration", "abc", nullptr,
                   "Invalid duration specification for \"opt\": \"abc\""},
        TValueCase{"date", "1970-01-01T00:00:10Z", "10000000", nullptr},
        TValueCase{"date", "yesterday", nullptr,
                   "Invalid date specification for \"opt\": \"yesterday\""}),
    [](const testing::TestParamInfo<TValueCase>& AInfo) {
      return std::string(AInfo.param.Kind) + "_" + std::to_string(AInfo.index);
    });

// A locale whose decimal separator is a comma, built for the test; empty
// when the system cannot build one.
std::string MakeCommaLocale(const std::filesystem::path& AFolder) {
  std::filesystem::create_directories(AFolder);
  const std::string command =
      "localedef -i de_DE -f UTF-8 '" + (AFolder / "de_DE.utf8").string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {};
  setenv("LOCPATH", AFolder.c_str(), 1);
  return "de_DE.UTF-8";
}

TEST(ValueConversionLocale, DecimalPointWhateverTheLocale) {
  LoadLibAVForTest();
  const auto folder =
      std::filesystem::temp_directory_path() / ("vexmora-locale-" + std::to_string(getpid()));
  const std::string name = MakeCommaLocale(folder);
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  const bool switched = !name.empty() && std::setlocale(LC_NUMERIC, name.c_str());
  if (!switched) {
    std::filesystem::remove_all(folder);
    GTEST_SKIP() << "no locale with a decimal comma can be built here";
  }
  ASSERT_EQ(*std::localeconv()->decimal_point, ',');
  EXPECT_DOUBLE_EQ(ParseDoubleOption("q", "2.5"), 2.5);
  EXPECT_FLOAT_EQ(ParseFloatOption("muxdelay", "0.7"), 0.7f);
  EXPECT_THROW(ParseDoubleOption("q", "2,5"), Exception);
  EXPECT_EQ(ParseTimeOption("t", "1.5", true), 1500000);
  std::setlocale(LC_NUMERIC, previous.c_str());
  unsetenv("LOCPATH");
  std::filesystem::remove_all(folder);
}

// ---- Error texts ---------------------------------------------------------------

TEST(ErrorTexts, KnownCodesPrefixesAndUnknownCodes) {
  const std::pair<int, const char*> cases[] = {
      {AVERROR(EINVAL), "Invalid argument / Invalid data found when processing input"},
      {AVERROR_EOF, "End of file"},
      {AVERROR_OPTION_NOT_FOUND, "Option not found"},
      {-1414549496, "Option not found"},
      {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
      {AVERROR_BSF_NOT_FOUND, "Bitstream filter not found"},
      {AVERROR_DECODER_NOT_FOUND, "Decoder not found"},
      {AVERROR_BUG, "Internal bug, should not have happened"},
      {AVERROR_BUG2, "Internal bug, should not have happened"},
      {AVERROR_EXIT, "Immediate exit requested"},
      {AVERROR(ESRCH), "No such process"},
      {AVERROR(EEXIST), "File exists"},
      {AVERROR(ENOENT), "No such file or directory"},
      {AVERROR(ETIMEDOUT), "Connection timed out"},
      {AVERROR(ENETDOWN), "Network is down"},
      {-5, "Input/output error"},
      {-12, "Cannot allocate memory"},
      {12345, "Error number 12345 occurred"},
      {-98765, "Error number -98765 occurred"},
      {0, "Error number 0 occurred"},
  };
  for (auto [code, text] : cases)
    EXPECT_EQ(ErrorToString("", code), text) << code;
  EXPECT_EQ(ErrorToString("Opening \"x.avi\"", AVERROR(ENOENT)),
            "Opening \"x.avi\": No such file or directory");
  EXPECT_EQ(ErrorToString("transcode_init() error", -424242),
            "transcode_init() error: Error number -424242 occurred");
}

// ---- Durations, tags, frame durations, media types -------------------------------------

TEST(Durations, RoundToTheMillisecondAndKeepHours) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "00:00:00.005"},
      {3600000000 - 5000, "01:00:00.000"},
      {3600000000 - 5001, "00:59:59.999"},
      {61234000, "00:01:01.239"},
      {int64_t{100} * 3600000000, "100:00:00.005"},
      {AV_NOPTS_VALUE, "N/A"},
  };
  for (auto [microseconds, text] : cases)
    EXPECT_EQ(FormatDuration(microseconds), text) << microseconds;
}

TEST(Tags, FourCharacterCodes) {
  static_assert(MakeTag('X', 'V', 'I', 'D') == 0x44495658);
  EXPECT_EQ(MakeTag('D', 'X', '5', '0'), 0x30355844);
  EXPECT_EQ(MakeTag(0x1FF, 0, 0, 0), 0xFF) << "each part is taken as a byte";
  EXPECT_EQ(MakeTag(0, 0, 0, 0xFF), static_cast<int>(0xFF000000u));
}

TEST(FrameDurations, MicrosecondsPerFrame) {
  EXPECT_EQ(FrameDuration({25, 1}), 40000);
  EXPECT_EQ(FrameDuration({30000, 1001}), 33366);
  EXPECT_EQ(FrameDuration({15, 1}), 66666);
  EXPECT_EQ(FrameDuration({0, 1}), 40000);
  EXPECT_EQ(FrameDuration({25, 0}), 40000);
}

TEST(MediaTypes, Names) {
  EXPECT_STREQ(MediaTypeName(AVMEDIA_TYPE_VIDEO), "Video");
  EXPECT_STREQ(MediaTypeName(AVMEDIA_TYPE_AUDIO), "Audio");
  EXPECT_STREQ(MediaTypeName(AVMEDIA_TYPE_DATA), "Data");
  EXPECT_STREQ(MediaTypeName(AVMEDIA_TYPE_SUBTITLE), "Subtitle");
  EXPECT_STREQ(MediaTypeName(AVMEDIA_TYPE_ATTACHMENT), "Attachment");
  EXPECT_STREQ(MediaTypeName(AVMEDIA_TYPE_UNKNOWN), "Unknown");
  EXPECT_STREQ(MediaTypeName(7), "Unknown");
}

// ---- Time zone ---------------------------------------------------------------------

// Runs ABody with TZ set to AZone, then puts the previous zone back.
void WithTimeZone(const char* AZone, const std::function<void()>& ABody) {
  const char* previous = std::getenv("TZ");
  const std::string saved = previous ? previous : "";
  setenv("TZ", AZone, 1);
  tzset();
  ABody();
  if (previous)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

TEST(TimeZone, OffsetTextAndLocalDateTime) {
  struct TZoneCase {
    const char* Zone;
    long OffsetMinutes; // local minus UTC
    const char* Text;
  };
  // POSIX zone strings count westward: "XYZ-2" is two hours ahead of UTC.
  const TZoneCase cases[] = {{"UTC0", 0, "UTC"},
                             {"XYZ-2", 120, "UTC+02:00"},
                             {"XYZ+5", -300, "UTC-05:00"},
                             {"XYZ-5:30", 330, "UTC+05:30"}};
  for (const TZoneCase& c : cases)
    WithTimeZone(c.Zone, [&] {
      EXPECT_EQ(TimeZoneText(), c.Text) << c.Zone;
      EXPECT_DOUBLE_EQ(LocalOffsetDays(), c.OffsetMinutes / 1440.0) << c.Zone;
      // 1970-01-02 00:00 UTC is day 25570 of the date-time scale.
      EXPECT_DOUBLE_EQ(UnixToLocalDateTime(86400), 25570.0 + c.OffsetMinutes / 1440.0) << c.Zone;
    });
}

// ---- Growing arrays ------------------------------------------------------------------

TEST(GrowArrays, ZeroFillsKeepsContentsAndRefusesHugeCounts) {
  LoadLibAVForTest();
  int count = 0;
  int64_t* array = GrowArray<int64_t>(nullptr, count, 3);
  TAVMemoryPtr<void> owner(array);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(count, 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(array[i], 0);
  array[0] = 7;
  array[2] = 9;
  array = GrowArray(static_cast<int64_t*>(owner.release()), count, 1000);
  owner.reset(array);
  EXPECT_EQ(count, 1000);
  EXPECT_EQ(array[0], 7);
  EXPECT_EQ(array[2], 9);
  for (int i = 3; i < 1000; ++i)
    ASSERT_EQ(array[i], 0) << i;

  // A smaller count changes nothing.
  EXPECT_EQ(GrowArray(array, count, 10), array);
  EXPECT_EQ(count, 1000);

  try {
    GrowArray(array, count, INT32_MAX / 8);
    ADD_FAILURE() << "a huge array was allowed";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Array too big.");
  }
  EXPECT_EQ(count, 1000);
  EXPECT_EQ(array[2], 9) << "a refused growth leaves the array alone";
}

// ---- Whole-file reads -------------------------------------------------------------------

class WholeFile : public testing::Test {
protected:
  void SetUp() override {
    LoadLibAVForTest();
    Folder =
        std::filesystem::temp_directory_path() / ("vexmora-wholefile-" + std::to_string(getpid()));
    std::filesystem::create_directories(Folder);
  }
  void TearDown() override { std::filesystem::remove_all(Folder); }
  std::filesystem::path Folder;
};

TEST_F(WholeFile, ReadsBytesWithATerminatingZero) {
  const std::string bytes("pass 1\0stats\n", 13);
  const auto path = Folder / "stats.log";
  std::ofstream(path, std::ios::binary) << bytes;
  TAVBuffer buffer;
  int size = 0;
  ASSERT_EQ(ReadWholeFile(path.string(), buffer, size), 0);
  ASSERT_EQ(size, 14);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.get()), 13), bytes);
  EXPECT_EQ(buffer[13], 0);

  const auto empty = Folder / "empty.log";
  std::ofstream(empty).close();
  ASSERT_EQ(ReadWholeFile(empty.string(), buffer, size), 0);
  EXPECT_EQ(size, 1);
  EXPECT_EQ(buffer[0], 0);
}

TEST_F(WholeFile, AMissingFileIsLoggedAndAnswersMinusOne) {
  TLogCapture log(TLogLevel::llError);
  TAVBuffer buffer;
  int size = 0;
  const std::string missing = (Folder / "missing.log").string();
  EXPECT_EQ(ReadWholeFile(missing, buffer, size), -1);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(log.Count("Cannot read file \"" + missing + "\""), 1);
}

// ---- Registration ---------------------------------------------------------------------

TEST(InputFormatRegistry, OneRegistrationPerNameAndLookupsPreferIt) {
  LoadLibAVForTest();
  auto format = [](const char* ALongName) {
    AVInputFormat result{};
    result.name = "vexmora_registry_test";
    result.long_name = ALongName;
    return result;
  };
  static const AVInputFormat first = format("first");
  static const AVInputFormat second = format("second");
  RegisterInputFormatIfAbsent(&first);
  EXPECT_FALSE(RegisterInputFormatIfAbsent(&first));
  EXPECT_FALSE(RegisterInputFormatIfAbsent(&second));
  int registrations = 0;
  for (const AVInputFormat* format : RegisteredInputFormats())
    registrations += std::string(format->name) == "vexmora_registry_test";
  EXPECT_EQ(registrations, 1);
  EXPECT_EQ(FindInputFormat("vexmora_registry_test"), &first);
  EXPECT_NE(FindInputFormat("lavfi"), nullptr) << "the libraries' formats are still found";
  EXPECT_EQ(FindInputFormat("no_such_format"), nullptr);
}

TEST(ProtocolRegistry, NothingCanBeRegistered) {
  EXPECT_FALSE(RegisterProtocolIfAbsent("unicode"));
}

} // namespace
