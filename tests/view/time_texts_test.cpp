#include "view/time_texts.h"

#include <gtest/gtest.h>

namespace quillon::view {
namespace {

TEST(TimeTextsTest, MillisecondsFromFramesKeepTheLastMillisecondOfLongDocuments) {
  EXPECT_EQ(framesToMilliseconds(44100, 44100), 1000);
  EXPECT_EQ(framesToMilliseconds(44099, 44100), 999);
  EXPECT_EQ(framesToMilliseconds(2'000'000'000, 44100), 45'351'473);
  EXPECT_EQ(framesToMilliseconds(-44100, 44100), -1000);
  EXPECT_EQ(framesToMilliseconds(1234, 0), 1234);
}

TEST(TimeTextsTest, StatusAndDialogFormats) {
  struct Case {
    int64_t ms;
    const char *a, *b;
  };
  const Case cases[] = {
      {0, "0:00:00.000", "0:00:00.00"},
      {3'661'001, "1:01:01.001", "1:01:01.00"},
      {97'200'000, "27:00:00.000", "27:00:00.00"},
      {1'995, "0:00:01.995", "0:00:02.00"},  // FormatB rounds to hundredths
      {1'994, "0:00:01.994", "0:00:01.99"},
      {-1'500, "-0:00:01.500", "-0:00:01.50"},
      {-61'001, "-0:01:01.001", "-0:01:01.00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatA(c.ms), c.a) << c.ms;
    EXPECT_EQ(formatB(c.ms), c.b) << c.ms;
  }
}

TEST(TimeTextsTest, RulerLabelsTakeTheFirstMatchingForm) {
  struct Case {
    int64_t ms;
    const char* label;
  };
  const Case cases[] = {
      {3'661'001, "1:01:01.001"},
      {3'600'000, "1h"},
      {3'661'000, "1:01:01"},
      {3'660'000, "1h:01m"},
      {1'500, "1.5s"},
      {1'250, "1.25s"},
      {1'001, "1.001s"},
      {500, "0.5s"},
      {20, "20ms"},
      {0, "0"},
      {2'000, "2s"},
      {65'010, " 1m:05s.010"},
      {65'000, "1m:05s"},
      {120'000, "2m"},
      {86'400'000, "1d"},
      {90'000'000, "1d,1h"},
      {90'060'000, "1d,1h:01m"},
      {90'061'000, "1d,1:01:01"},
      {90'061'001, "1d,1:01:01.001"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(millisecondLabel(c.ms), c.label) << c.ms;
  // Times from frames, frame numbers while less than 20 ms are visible.
  EXPECT_EQ(rulerLabel(66150, TimeUnit::Time, 44100, 441000), "1.5s");
  EXPECT_EQ(rulerLabel(66150, TimeUnit::Time, 44100, 881), "66150");
  EXPECT_EQ(rulerLabel(66150, TimeUnit::Time, 44100, 882), "1.5s");
  EXPECT_EQ(rulerLabel(66150, TimeUnit::Frames, 44100, 441000), "66150");
  EXPECT_EQ(rulerLabel(1500, TimeUnit::Milliseconds, 44100, 441000), "1.5s");
}

TEST(TimeTextsTest, TickStepsFollowTheVisibleDuration) {
  struct Case {
    int64_t length;
    int64_t major, minor;
  };
  const int32_t r = 44100;
  const Case time[] = {
      {100, 1, 1},                // 2 ms
      {300, 5, 1},                // 6 ms
      {600, 10, 5},               // 13 ms
      {r / 20, 441, 441},         // 50 ms
      {r / 5, 2205, 441},         // 200 ms
      {r, 8820, 2205},            // 1 s
      {5 * r, r, 8820},           // 5 s
      {30 * r, 5 * r, r},         // 30 s
      {90 * r, 15 * r, 5 * r},    // 90 s
      {200 * r, 30 * r, 5 * r},   // 200 s
      {600 * r, 60 * r, 10 * r},  // 10 min
      {int64_t(3600) * r, 600 * r, 120 * r},
  };
  for (const Case& c : time) {
    const TickSteps steps = tickSteps(c.length, TimeUnit::Time, r);
    EXPECT_EQ(steps.major, c.major) << c.length;
    EXPECT_EQ(steps.minor, c.minor) << c.length;
  }
  const Case ms[] = {{19, 1, 1},
                     {199, 10, 1},
                     {1999, 100, 10},
                     {19999, 1000, 100},
                     {199999, 10000, 1000},
                     {1199999, 60000, 10000},
                     {7199999, 600000, 60000},
                     {43199999, 3600000, 600000},
                     {86399999, 21600000, 3600000},
                     {172799999, 43200000, 21600000},
                     {172800000, 86400000, 43200000}};
  for (const Case& c : ms) {
    const TickSteps steps = tickSteps(c.length, TimeUnit::Milliseconds, r);
    EXPECT_EQ(steps.major, c.major) << c.length;
    EXPECT_EQ(steps.minor, c.minor) << c.length;
  }
  EXPECT_EQ(tickSteps(1000, TimeUnit::Frames, r).major, 0);
  // A rate too low for 10 ms to be a whole frame still ticks every frame.
  EXPECT_EQ(tickSteps(2, TimeUnit::Time, 50).minor, 1);
}

TEST(TimeTextsTest, StatusFieldsOfADocument) {
  EXPECT_EQ(emptyStatusTexts()[0].value, "-.--:--:---");
  const StatusTexts empty = statusTexts(0, 0, 0, 0, 44100);
  for (const StatusField& field : empty)
    EXPECT_EQ(field.value, "0:00:00.000") << field.label;
  // A cursor past the end (a document shortened under it) leaves a negative time.
  const int64_t length = int64_t{44100} * 3661 + 44;
  const StatusTexts t = statusTexts(44100, 88200, length, length + 4410, 44100);
  const char* labels[] = {"Start:", "End:", "Sel:", "File:", "Curr:", "Left:"};
  const char* values[] = {"0:00:01.000", "0:00:02.000", "0:00:01.000",
                          "1:01:01.000", "1:01:01.100", "-0:00:00.100"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_STREQ(t[size_t(i)].label, labels[i]);
    EXPECT_EQ(t[size_t(i)].value, values[i]) << labels[i];
  }
}

}  // namespace
}  // namespace quillon::view
