#include "platform/fonts/text_cache.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "scene/scene_display.h"

namespace larkspill {
namespace {

using ::testing::AllOf, ::testing::Gt, ::testing::HasSubstr, ::testing::Lt, ::testing::StartsWith,
    ::testing::ThrowsMessage;

// Rendered once while drawn alike, in a bounded cache; cut just past its place; any face or size.
TEST(TextCacheTest, TextsRenderOnceCutToTheirPlaceInAnyFaceAndSize) {
  TextCache texts;
  ASSERT_TRUE(texts.Start());
  for (int frame = 0; frame < 3; ++frame)
    for (int size : {30, 14}) {
      texts.SetFont("Arial", size);
      ASSERT_TRUE(texts.Render("12:00:00", kYellow, 150));
    }
  EXPECT_EQ(std::pair(texts.font_opens(), texts.text_renders()), std::pair(2, 2));
  for (int32_t colour : {kYellow, 0xFFFFFF}) texts.Render("12:00:01", colour, 150);
  EXPECT_EQ(texts.text_renders(), 4);
  for (size_t i = 0; i < TextCache::kCacheSize; ++i) texts.Render(std::to_string(i), kYellow, 150);
  texts.Render("12:00:00", kYellow, 150);
  EXPECT_EQ(texts.text_renders(), 5 + static_cast<int>(TextCache::kCacheSize));

  std::string message;
  while (message.size() < 200 * 1024) message += "A long message with \xC3\xBC and words. ";
  texts.SetFont("No Such Face Anywhere", 24);
  for (int32_t width : {100, 799}) {
    const auto cut = texts.Render(message, kYellow, width);
    EXPECT_THAT(cut ? cut->surface->w : 0, AllOf(Gt(width), Lt(width + 30)));
  }
  for (int32_t size : {0, -5, 100000, INT32_MAX}) {
    texts.SetFont("Arial", size);
    EXPECT_TRUE(texts.Render(message, kYellow, 800)) << size;
  }
  EXPECT_EQ(texts.font_opens(), 5);  // and the fallback face at 24, Arial clamped to 1 and 400
}

}  // namespace
}  // namespace larkspill
