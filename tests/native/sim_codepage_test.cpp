// The simulated machine's ANSI code page and its conversions.
#include <gtest/gtest.h>

#include "platform/sim/sim_machine.h"

namespace tv {
namespace {

TEST(SimCodePage, WesternCodePageMapsBothWaysAndMarksWhatItLacks) {
  sim::SimMachine m;
  SystemApi& sys = *m.platform().system;
  EXPECT_EQ(sys.GetACP(), 1252u);
  struct Case {
    std::string utf8, ansi;
  } cases[] = {
      {"C:\\Temp\\a.exe", "C:\\Temp\\a.exe"},
      {"caf\xC3\xA9", "caf\xE9"},                 // é is 0xE9
      {"\xE2\x82\xAC" "5", "\x80" "5"},          // € is 0x80
      {"\xE2\x80\x9Cq\xE2\x80\x9D", "\x93q\x94"},  // curly quotes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sys.Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
    EXPECT_EQ(sys.AnsiToUtf8(c.ansi), c.utf8) << c.utf8;
  }
  // A character the code page lacks becomes '?', one per character (not per byte).
  EXPECT_EQ(sys.Utf8ToAnsi("\xE4\xB8\xAD" "x"), "?x");
  EXPECT_EQ(sys.Utf8ToAnsi(""), "");
  // Bytes the code page leaves unassigned keep their number both ways.
  EXPECT_EQ(sys.Utf8ToAnsi(sys.AnsiToUtf8("\x81")), "\x81");
}

TEST(SimCodePage, Utf8CodePagePassesTextThrough) {
  auto m = sim::LoadScenarioText(R"({"codePage": 65001})");
  SystemApi& sys = *m->platform().system;
  EXPECT_EQ(sys.GetACP(), 65001u);
  EXPECT_EQ(sys.Utf8ToAnsi("\xE4\xB8\xAD"), "\xE4\xB8\xAD");
  EXPECT_THROW(sim::LoadScenarioText(R"({"codePage": 936})"), std::runtime_error);
}

}  // namespace
}  // namespace tv
