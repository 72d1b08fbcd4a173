// Whether a header line lies between a section's header and a key, and
// searches that stay usable on files of several megabytes.
#include <gtest/gtest.h>

#include <string>

#include "ini_fixture.hpp"

namespace trimbrel::testing {
namespace {

using Search = IniTest;

TEST_F(Search, FindHeaderBetween) {
  const struct {
    const char* name;
    std::string content;
    long from, to, expected;
  } cases[] = {
      {"a header line in between", "[a]\r\n[b]\r\nk=1", 3, 10, 5},
      {"none in between", "[a]\r\nx=1\r\nk=1", 3, 10, -1},
      {"a [ line starting at to", "[a]\r\nx\r\n[b]\r\nk", 3, 6, -1},
      {"the ] beyond to", "[a]\r\n[b]\r\nk=1", 3, 6, -1},
      {"the ] right before the key line", "[a]\r\n[b]\r\nk=1", 3, 9, 5},
      {"text after ] makes no header", "[a]\r\n[b] x\r\nk=1", 3, 12, -1},
      {"[ without ] then a real header", "[a]\r\n[x\r\n[b]\r\nk", 3, 13, 9},
      {"no ] + CR LF anywhere", "[a]\r\n[b\r\n[c", 3, 12, -1},
      {"a later ] on another line", "[a]\r\n[b\r\nc]\r\nk", 3, 13, -1},
      {"from beyond the CR LF", "[a]\r\n[b]\r\nk=1", 4, 10, -1},
      {"negative from", "\r\n[b]\r\nk", -5, 6, 2},
      {"to before from", "[a]\r\n[b]\r\nk", 8, 3, -1},
      {"empty", "", 0, 10, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    load(c.content);
    EXPECT_EQ(module.findHeaderBetween(c.from, c.to), c.expected);
  }
}

// Several megabytes of lines that open a header but never close it before a
// far "]" + CR LF, and of matches of the section name that do not start a
// line: each access still finds its entry at the end in one linear pass (a
// search to the far "]" per candidate would not finish here).
TEST_F(Search, ManyMegabytesOfDecoysBeforeTheEntry) {
  std::string decoys;
  while (decoys.size() < 4 * 1024 * 1024) decoys += "\r\n[x\r\nx=[s];";
  load("[a]" + decoys + "\r\ny]\r\nk=1\r\n[s]\r\nk=2");
  EXPECT_EQ(module.readEntry("a", "k", "d"), "1");
  EXPECT_EQ(module.readEntry("s", "k", "d"), "2");
  EXPECT_EQ(module.writeEntry("a", "k", "10"), 0);
  EXPECT_EQ(module.writeEntry("a", "new", "n"), 0);
  EXPECT_EQ(module.writeEntry("s", "k", "20"), 0);
  expectFile("[a]\r\nnew=n" + decoys + "\r\ny]\r\nk=10\r\n[s]\r\nk=20");
}

}  // namespace
}  // namespace trimbrel::testing
