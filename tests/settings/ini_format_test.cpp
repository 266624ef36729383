#include "settings/ini_format.h"

#include <gtest/gtest.h>

namespace larkspill {
namespace {

TEST(IniFormat, AnyTextRoundTrips) {
  const std::string values[] = {"",
                                "plain",
                                "a=b=c",
                                "; not a comment",
                                "# nor this",
                                "[not a section]",
                                "\"quoted\"",
                                "\"",
                                "  leading and trailing  ",
                                " ",
                                "line one\nline two\r\nline three",
                                "tab\there",
                                "back\\slash\\",
                                "ends in a quote\"",
                                " \"both\" ",
                                "Grüße, 滝, café",
                                std::string("nul\0inside", 10),
                                "\x01\x7f control"};
  IniDocument doc;
  for (size_t i = 0; i < std::size(values); ++i)
    doc.Set("two", "Key" + std::to_string(i), values[i]);
  IniDocument back = IniDocument::Parse(doc.Serialize());
  for (size_t i = 0; i < std::size(values); ++i) {
    const std::string* got = back.Find("Two", "key" + std::to_string(i));
    ASSERT_NE(got, nullptr) << i;
    EXPECT_EQ(*got, values[i]) << "value " << i;
  }
  // Serialising what was parsed gives the same text again.
  EXPECT_EQ(back.Serialize(), doc.Serialize());
}

TEST(IniFormat, NamesFoldCaseAndOddNamesRoundTrip) {
  IniDocument doc;
  doc.Set("One", "Waterfall1", "1");
  doc.Set("one", "waterfall1", "0");  // the same entry
  doc.Set("we[ird] = section", "k=ey; #x", "v");
  EXPECT_EQ(doc.EntryCount(), 2u);
  IniDocument back = IniDocument::Parse(doc.Serialize());
  ASSERT_NE(back.Find("ONE", "WATERFALL1"), nullptr);
  EXPECT_EQ(*back.Find("ONE", "WATERFALL1"), "0");
  ASSERT_NE(back.Find("we[ird] = section", "K=EY; #X"), nullptr);
  EXPECT_EQ(*back.Find("we[ird] = section", "K=EY; #X"), "v");
}

TEST(IniFormat, HandEditedFilesKeepCommentsAndReportBadLines) {
  std::vector<std::string> problems;
  IniDocument doc = IniDocument::Parse(
      "; my saver\n[one]\nBirds = 1 \nthis line is junk\n\n[two]\nMessage=Hi there\n", &problems);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("line 4"), std::string::npos) << problems[0];
  EXPECT_EQ(*doc.Find("one", "birds"), "1");
  EXPECT_EQ(*doc.Find("two", "message"), "Hi there");
  doc.Set("one", "Clock", "0");
  std::string text = doc.Serialize();
  EXPECT_NE(text.find("; my saver"), std::string::npos);
  // The new key lands in its own section, before the blank line.
  EXPECT_NE(text.find("Birds=1\nClock=0\n\n[two]"), std::string::npos) << text;
}

}  // namespace
}  // namespace larkspill
