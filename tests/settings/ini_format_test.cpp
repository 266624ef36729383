#include "settings/ini_format.h"

#include <gtest/gtest.h>

namespace larkspill {
namespace {

TEST(IniFormat, AnyTextAndAnyNameRoundTrip) {
  const std::string values[] = {"", "plain", "a=b=c", "; not a comment", "# nor this",
                                "[not a section]", "\"quoted\"", "\"", "  leading and trailing  ",
                                " ", "line one\nline two\r\nline three", "tab\there",
                                "back\\slash\\", "ends in a quote\"", " \"both\" ",
                                "Grüße, 滝, café", std::string("nul\0inside", 10), "\x01\x7f control"};
  IniDocument doc;
  for (size_t i = 0; i < std::size(values); ++i)
    doc.Set("two", "Key" + std::to_string(i), values[i]);
  // Names fold case (the same entry, replaced), and odd names round-trip too.
  doc.Set("One", "Waterfall1", "1");
  doc.Set("one", "waterfall1", "0");
  doc.Set("we[ird] = section", "k=ey; #x", "v");
  EXPECT_EQ(doc.EntryCount(), std::size(values) + 2);
  IniDocument back = IniDocument::Parse(doc.Serialize());
  for (size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(back.Find("Two", "key" + std::to_string(i)), values[i]) << "value " << i;
  EXPECT_EQ(back.Find("ONE", "WATERFALL1"), "0");
  EXPECT_EQ(back.Find("we[ird] = section", "K=EY; #X"), "v");
  EXPECT_EQ(back.Serialize(), doc.Serialize());
}

TEST(IniFormat, HandEditedFormsAreReadAsWrittenAndKept) {
  const std::string bom = "\xEF\xBB\xBF";
  const std::string forms[] = {
      bom + "[One]\nMouseSens=2\n[Two]\nMessage=Hi\n",
      "; my saver\n# settings\n[One]\nMouseSens=2\n\n[Two]\nMessage=Hi\n",
      "[One] ; creatures and timing\nMouseSens=2\n[Two]  # texts [x]\nMessage=Hi\n",
      "  [ One ]  \n\tMouseSens  =  2 \n[Two]\nMessage =  Hi\nBlank = \"\"\n",
      "[One]\r\nMouseSens=2\r\n\r\n[Two]\r\nMessage=Hi\r\n",
      bom + "; saved elsewhere\r\n[ONE] ;x\r\nmousesens = 1\r\nMOUSESENS = 2\r\n[two]\r\nmessage=Hi\r\n",
  };
  for (const std::string& text : forms) {
    SCOPED_TRACE(text);
    IniProblems problems;
    IniDocument doc = IniDocument::Parse(text, &problems);
    EXPECT_EQ(problems.count, 0u);
    EXPECT_EQ(doc.Find("one", "MouseSens"), "2");
    EXPECT_EQ(doc.Find("two", "message"), "Hi");
    EXPECT_EQ(doc.Find("two", "blank").value_or(""), "");  // a quoted empty value is empty
    // Unchanged, the file is written back byte for byte.
    EXPECT_EQ(doc.Serialize(), text);
    // Changed, it keeps its mark, its line ends and its lines; the new key joins its section.
    doc.Set("one", "Clock", "0");
    doc.Set("Startup", "CheckFont", "1");
    const std::string changed = doc.Serialize();
    EXPECT_EQ(changed.substr(0, 3) == bom, text.substr(0, 3) == bom);
    const bool crlf = text.find("\r\n") != std::string::npos;
    for (size_t at = changed.find('\n'); at != std::string::npos; at = changed.find('\n', at + 1))
      ASSERT_EQ(at > 0 && changed[at - 1] == '\r', crlf) << changed;
    IniDocument back = IniDocument::Parse(changed);
    EXPECT_EQ(back.Find("one", "clock").value_or("") + back.Find("one", "mousesens").value_or("") +
                  back.Find("two", "message").value_or("") + back.Find("startup", "checkfont").value_or(""),
              "02Hi1");
    EXPECT_EQ(back.Serialize(), changed);
  }
}

TEST(IniFormat, BadLinesAreReportedBoundedAndLeftOut) {
  IniProblems problems;
  std::string text = "; my saver\n[one]\nBirds = 1 \nthis line is junk\n\n[two\n";
  for (int i = 0; i < 1000; ++i) text += "junk\n";
  text += "[two]\nMessage=Hi there\n";
  IniDocument doc = IniDocument::Parse(text, &problems);
  EXPECT_EQ(problems.count, 1002u);
  ASSERT_EQ(problems.first.size(), IniProblems::kDescribed);
  EXPECT_NE(problems.first[0].find("line 4"), std::string::npos) << problems.first[0];
  EXPECT_EQ(doc.Find("one", "birds"), "1");
  EXPECT_EQ(doc.Find("two", "message"), "Hi there");
  doc.Set("one", "Clock", "0");
  // The new key lands in its own section, before the blank line; bad lines are gone.
  EXPECT_EQ(doc.Serialize(), "; my saver\n[one]\nBirds = 1 \nClock=0\n\n[two]\nMessage=Hi there\n");
}

}  // namespace
}  // namespace larkspill
