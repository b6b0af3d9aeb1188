// SplitCommandLine, SplitString and GetFileSizeByName.
#include "FFUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

namespace {

struct TSplit {
  std::vector<std::string> Args;
  int ByteCount = 0;
  int ArgCount = 0;
};

TSplit Split(const char* AText) {
  TSplit result;
  SplitCommandLine(AText, nullptr, nullptr, result.ByteCount, result.ArgCount);
  std::vector<char*> argv(static_cast<size_t>(result.ArgCount));
  std::vector<char> buffer(static_cast<size_t>(result.ByteCount));
  int bytes = 0, count = 0;
  SplitCommandLine(AText, argv.data(), buffer.data(), bytes, count);
  EXPECT_EQ(bytes, result.ByteCount);
  EXPECT_EQ(count, result.ArgCount);
  EXPECT_EQ(argv.back(), nullptr) << "the closing entry must be null";
  for (int i = 0; i + 1 < count; ++i)
    result.Args.emplace_back(argv[static_cast<size_t>(i)]);
  return result;
}

struct TSplitCase {
  const char* Text;
  std::vector<std::string> Args;
};

class SplitCommandLineCases : public testing::TestWithParam<TSplitCase> {};

TEST_P(SplitCommandLineCases, SplitsLikeTheRuntimeLibrary) {
  const TSplitCase& c = GetParam();
  const TSplit split = Split(c.Text);
  EXPECT_EQ(split.Args, c.Args);
  EXPECT_EQ(split.ArgCount, static_cast<int>(c.Args.size()) + 1);
  int bytes = 0;
  for (const auto& arg : c.Args)
    bytes += static_cast<int>(arg.size()) + 1;
  EXPECT_EQ(split.ByteCount, bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLineCases,
    testing::Values(TSplitCase{"-i  \"a b\"  -f  x", {"-i", "a b", "-f", "x"}}, TSplitCase{"", {}},
                    TSplitCase{" \t ", {}}, TSplitCase{"\t-y\t-an ", {"-y", "-an"}},
                    // Four backslashes before a quote: two backslashes, and the quote toggles.
                    TSplitCase{R"(a\\\\"b c")", {R"(a\\b c)"}},
                    // Three backslashes before a quote: one backslash and a literal quote.
                    TSplitCase{R"(a\\\"b c)", {R"(a\"b)", "c"}},
                    // Backslashes not before a quote are copied as they are.
                    TSplitCase{R"(C:\dir\\file x)", {R"(C:\dir\\file)", "x"}},
                    // Inside quotes a doubled quote is one literal quote and ends the quoted part.
                    TSplitCase{R"("a""b c)", {R"(a"b)", "c"}},
                    // Outside quotes a doubled quote opens and closes an empty quoted part.
                    TSplitCase{R"(a""b)", {"ab"}}, TSplitCase{R"("" x)", {"", "x"}},
                    TSplitCase{"\"unterminated quote", {"unterminated quote"}},
                    TSplitCase{"caf\xc3\xa9 \"\xe6\x97\xa5 \xe6\x9c\xac\"",
                               {"caf\xc3\xa9", "\xe6\x97\xa5 \xe6\x9c\xac"}}));

TEST(SplitCommandLine, NullTextGivesOnlyTheClosingEntry) {
  int bytes = -1, count = -1;
  SplitCommandLine(nullptr, nullptr, nullptr, bytes, count);
  EXPECT_EQ(bytes, 0);
  EXPECT_EQ(count, 1);
}

struct TSplitStringCase {
  std::string Text, Delimiter;
  bool Remove;
  std::string Head, Rest;
};

class SplitStringCases : public testing::TestWithParam<TSplitStringCase> {};

TEST_P(SplitStringCases, TakesTheHead) {
  const auto& c = GetParam();
  std::string text = c.Text, head = "stale";
  SplitString(text, c.Delimiter, c.Remove, head);
  EXPECT_EQ(head, c.Head);
  EXPECT_EQ(text, c.Rest);
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitStringCases,
                         testing::Values(TSplitStringCase{"a\nb\nc", "\n", true, "a", "b\nc"},
                                         TSplitStringCase{"a\nb\nc", "\n", false, "a", "a\nb\nc"},
                                         TSplitStringCase{"abc", "\n", true, "abc", ""},
                                         TSplitStringCase{"abc", "\n", false, "abc", "abc"},
                                         TSplitStringCase{"key=:=value", "=:=", true, "key",
                                                          "value"},
                                         TSplitStringCase{"\nx", "\n", true, "", "x"}));

TEST(GetFileSizeByName, MissingEmptyAndFilledFiles) {
  const std::string folder = testing::TempDir();
  const std::string empty = folder + "/vexmora_empty.bin", filled = folder + "/vexmora_filled.bin";
  std::ofstream(empty).close();
  std::ofstream(filled, std::ios::binary) << std::string(1234, 'x');
  EXPECT_EQ(GetFileSizeByName(folder + "/vexmora_no_such_file"), -1);
  EXPECT_EQ(GetFileSizeByName(""), -1);
  EXPECT_EQ(GetFileSizeByName(folder), -1) << "a folder is not a file";
  EXPECT_EQ(GetFileSizeByName(empty), 0);
  EXPECT_EQ(GetFileSizeByName(filled), 1234);
  std::remove(empty.c_str());
  std::remove(filled.c_str());
}

} // namespace
