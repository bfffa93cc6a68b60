// The text of HTML-only mail: what each kind of element becomes, and the bounds that keep a
// crafted document from costing more than its length.
#include "host/HtmlText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kvlhost::HtmlToText;

std::string Repeated(std::string_view piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

// Tables, links, entities and quotes of real mail are checked byte for byte in html_peers.py.
TEST(HtmlText, LaysOutEachKindOfElement) {
  const std::string deepQuote = Repeated("<blockquote>", 17) + "x";
  const std::string deepList = Repeated("<ul><li>", 10) + "x";
  const struct {
    std::string html, text;
  } cases[] = {
      {"<p>a  b\n\tc</p><p>d</p>", "a b c\r\n\r\nd"},
      {"<h1>Title</h1>text<div>one</div><div>two</div>x<br>y<br><br>z", "Title\r\n\r\ntext\r\none\r\ntwo\r\nx\r\ny\r\n\r\nz"},
      {"<br>lead and trail<p></p><br>", "lead and trail"},
      {"<ul><li>a<li>b<ol><li>c</ol></ul>after", "- a\r\n- b\r\n  - c\r\nafter"},
      {"x<blockquote><p>q1</p><p>q2<blockquote>r</blockquote></p></blockquote>y", "x\r\n\r\n> q1\r\n>\r\n> q2\r\n>\r\n> > r\r\n\r\ny"},
      {deepQuote, Repeated("> ", 16) + "x"},
      {"<pre>  a\n   b</pre>c", "  a\r\n   b\r\nc"},
      {"<a href='https://e.example/'>https://e.example</a>", "https://e.example"},
      {"<a href='mailto:a@e.example'>a@e.example</a> <a href='#top'>up</a> <a href='JavaScript:go()'>go</a>", "a@e.example up go"},
      {"<a href='https://e.example/\n p'><img src=logo.png></a>", "<https://e.example/p>"},
      {"<head><title>T</title><style>s{}</style></head>se<script>x()</script>en<span hidden>h</span>"
       "<div style='DISPLAY : none'>d</div><template>t</template><!-- c -->",
       "seen"},
      {"a\xE2\x80\x8B" "b\xC2\xAD" "c&zwnj;\xEF\xBB\xBF", "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(HtmlToText(c.html).text, c.text) << c.html;
  // List indents stop at 8 outer lists (16 blanks), quote marks at 16 levels.
  const std::string listText = HtmlToText(deepList).text;
  EXPECT_NE(listText.find("\r\n" + std::string(16, ' ') + "- x"), std::string::npos) << listText;
  EXPECT_EQ(HtmlToText(Repeated("<ul><li>", 9) + "x").text.find(std::string(17, ' ')), std::string::npos);
  EXPECT_EQ(HtmlToText(Repeated("<blockquote>", 16) + "x").text, Repeated("> ", 16) + "x");
}

TEST(HtmlText, StopsAtItsLengthAndWorkBudget) {
  // Cut at kMaxHtmlBytes, at a character's start.
  const std::string fits = std::string(kvlhost::kMaxHtmlBytes - 1, 'a') + "b";
  const kvlhost::HtmlText whole = HtmlToText(fits);
  EXPECT_FALSE(whole.cut);
  EXPECT_EQ(whole.text.back(), 'b');
  const kvlhost::HtmlText cut = HtmlToText(std::string(kvlhost::kMaxHtmlBytes - 1, 'a') + "\xC3\xA9");
  EXPECT_TRUE(cut.cut);
  EXPECT_EQ(cut.text.size(), kvlhost::kMaxHtmlBytes - 1);

  // The work a nest of elements needs: with exactly that budget it is read whole, with
  // one unit less it stops, and its text ends there.
  const std::string nest = Repeated("<div>a", 300) + "<p>end";
  const kvlhost::HtmlText free = HtmlToText(nest, 0);
  ASSERT_FALSE(free.stopped);
  EXPECT_FALSE(HtmlToText(nest, free.work).stopped);
  EXPECT_TRUE(HtmlToText(nest, free.work - 1).stopped);
  EXPECT_EQ(free.text.substr(free.text.size() - 5), "\r\nend");
  const kvlhost::HtmlText half = HtmlToText(nest, free.work / 2);
  EXPECT_TRUE(half.stopped);
  EXPECT_EQ(half.text.find("end"), std::string::npos);
  // A crafted nest far deeper than mail stops within its budget, and the tree is freed
  // without recursion.
  const std::string bomb = Repeated("<div>", 200000) + "<frameset>";
  const kvlhost::HtmlText bounded = HtmlToText(bomb);
  EXPECT_TRUE(bounded.stopped);
  EXPECT_LE(bounded.work, kvlhost::HtmlWorkBudget(bomb.size()) + 200000);
}

}  // namespace
