// Reading and writing single entries: golden, byte-exact file contents, and
// after every step the file equals the memory copy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ini_fixture.hpp"

namespace trimbrel::testing {
namespace {

using namespace std::string_literals;
using Entries = IniTest;

TEST_F(Entries, FirstWriteCreatesTheFileWithHeaderAndEntry) {
  ASSERT_TRUE(module.setPath(iniPath()));
  EXPECT_TRUE(std::filesystem::exists(iniPath()));
  expectFile("");
  EXPECT_EQ(module.writeEntry(G("主界面"), G("编辑框dpi"), "150"), 0);
  expectFile(G("[主界面]\r\n编辑框dpi=150"));
}

TEST_F(Entries, NewKeysGoDirectlyUnderTheHeaderAndKeepTheirPlace) {
  ASSERT_TRUE(module.setPath(iniPath()));
  EXPECT_EQ(module.writeEntry("s", "k1", "1"), 0);
  EXPECT_EQ(module.writeEntry("s", "k2", "2"), 0);
  expectFile(Lines({"[s]", "k2=2", "k1=1"}));
  EXPECT_EQ(module.writeEntry("s", "k1", "longer"), 0);
  expectFile(Lines({"[s]", "k2=2", "k1=longer"}));
  EXPECT_EQ(module.writeEntry("s", "k2", ""), 0);
  expectFile(Lines({"[s]", "k2=", "k1=longer"}));
}

// The first save of the main window in its initial state, then a second save
// without changes, which must not alter a single byte.
TEST_F(Entries, SavingTheMainWindowTwiceGivesTheSameBytes) {
  ASSERT_TRUE(module.setPath(iniPath()));
  const auto save = [&] {
    module.setSection(G("主界面"));
    EXPECT_TRUE(module.writeText(G("按钮打赏.标记"), ""));
    EXPECT_TRUE(module.writeText(G("编辑框dpi"), "150"));
    EXPECT_TRUE(module.writeNumber(G("组合框单位"), 1));
    EXPECT_TRUE(module.writeNumber(G("组合框基准"), 0));
    EXPECT_TRUE(module.writeNumber(G("组合框保存格式"), 1));
    EXPECT_TRUE(module.writeText(G("编辑框高"), "3.2"));
    EXPECT_TRUE(module.writeText(G("编辑框宽"), "2.6"));
    EXPECT_TRUE(module.writeText(G("按钮修改.标记"), ""));
  };
  save();
  const std::string first = G(Lines({"[主界面]", "按钮修改.标记=", "编辑框宽=2.6", "编辑框高=3.2",
                                     "组合框保存格式=1", "组合框基准=0", "组合框单位=1",
                                     "编辑框dpi=150", "按钮打赏.标记="}));
  expectFile(first);
  save();
  expectFile(first);
}

// Every byte the component does not edit stays, however odd; values grow and
// shrink in place.
TEST_F(Entries, ValuesChangeInPlaceAndEverythingElseStays) {
  const std::string before = "; comment\r\n\r\n[a]\r\nx=1\r\n  odd line\n\r\n[s]\r\nk=old\r\nz=\xFF\xFE\r\n";
  load(before);
  EXPECT_EQ(module.writeEntry("s", "k", "a much longer value"), 0);
  expectFile("; comment\r\n\r\n[a]\r\nx=1\r\n  odd line\n\r\n[s]\r\nk=a much longer value\r\nz=\xFF\xFE\r\n");
  EXPECT_EQ(module.writeEntry("a", "x", ""), 0);
  expectFile("; comment\r\n\r\n[a]\r\nx=\r\n  odd line\n\r\n[s]\r\nk=a much longer value\r\nz=\xFF\xFE\r\n");
  EXPECT_EQ(module.writeEntry("s", "k", "old"), 0);
  EXPECT_EQ(module.writeEntry("a", "x", "1"), 0);
  expectFile(before);
}

// Edits far from the end move a tail larger than one block, both ways.
TEST_F(Entries, EditsBeforeALargeTailMoveItIntact) {
  std::string tail = "\r\n[big]";
  for (int i = 0; tail.size() < 300 * 1024; ++i) tail += "\r\nline" + std::to_string(i) + "=" + std::string(i % 97, 'a' + i % 26);
  load("[s]\r\nk=v" + tail);
  const std::vector<std::string> values = {std::string(70000, 'x'), "", "short", std::string(200000, 'y'), "v"};
  for (const std::string& value : values) {
    EXPECT_EQ(module.writeEntry("s", "k", value), 0);
    expectFile("[s]\r\nk=" + value + tail);
  }
}

struct WriteCase {
  const char* name;
  std::string before;
  std::string section, key, value;
  std::string after;
};

TEST_F(Entries, WritesIntoExistingFiles) {
  const std::vector<WriteCase> cases = {
      {"second section after a last line without CR LF", "[s]\r\na=1", "t", "k", "v",
       "[s]\r\na=1\r\n[t]\r\nk=v"},
      {"second section after a last line with CR LF", "[s]\r\na=1\r\n", "t", "k", "v",
       "[s]\r\na=1\r\n\r\n[t]\r\nk=v"},
      {"a header that does not start a line is not one", "[s]\r\nx=[t]", "t", "k", "v",
       "[s]\r\nx=[t]\r\n[t]\r\nk=v"},
      {"LF-only file, header on the first line: the entry ends the header's CR LF line",
       "[s]\na=1\nb=2", "s", "a", "9", "[s]\na=1\nb=2\r\na=9"},
      {"LF-only file, header later: a new section block", "x=1\n[s]\na=1", "s", "a", "9",
       "x=1\n[s]\na=1\r\n[s]\r\na=9"},
      {"text after the header's ] stays on the header line", "[s] note\r\nb=2", "s", "a", "1",
       "[s] note\r\na=1\r\nb=2"},
      {"text after ] at the end of the file", "[s]x", "s", "a", "1", "[s]x\r\na=1"},
      {"key under a later section: new entry under the earlier one", "[a]\r\nx=1\r\n[b]\r\nk=2", "a",
       "k", "5", "[a]\r\nk=5\r\nx=1\r\n[b]\r\nk=2"},
      {"duplicate keys: the first is written", "[s]\r\nk=1\r\nk=2", "s", "k", "3",
       "[s]\r\nk=3\r\nk=2"},
      {"blanks around = are another key", "[s]\r\nk = 1", "s", "k", "2", "[s]\r\nk=2\r\nk = 1"},
      {"a value runs to CR LF, not to LF", "[s]\r\nk=1\n2\r\nm=3", "s", "k", "x", "[s]\r\nk=x\r\nm=3"},
      {"keys are case-sensitive", "[s]\r\nK=1", "s", "k", "2", "[s]\r\nk=2\r\nK=1"},
      {"a value holding a zero byte is replaced whole", "[s]\r\nk=a\0b"s, "s", "k", "c",
       "[s]\r\nk=c"},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    load(c.before);
    EXPECT_EQ(module.writeEntry(c.section, c.key, c.value), 0);
    expectFile(c.after);
    EXPECT_EQ(module.readEntry(c.section, c.key, "default"), c.value);
    module.close();
  }
}

struct ReadCase {
  const char* name;
  std::string file;
  std::string section, key;
  std::string expected;  // "default" when the key counts as absent
};

TEST_F(Entries, ReadsFromExistingFiles) {
  const std::vector<ReadCase> cases = {
      {"plain", "[s]\r\nk=v", "s", "k", "v"},
      {"empty value is not the default", "[s]\r\nk=\r\nm=1", "s", "k", ""},
      {"missing section", "[s]\r\nk=v", "t", "k", "default"},
      {"missing key", "[s]\r\nk=v", "s", "m", "default"},
      {"LF-only lines hold no keys", "[s]\na=1\nb=2", "s", "a", "default"},
      {"header after LF only does not count", "x\n[s]\r\nk=v", "s", "k", "default"},
      {"a later counting header is used", "x[s]\r\n[s]\r\nk=v", "s", "k", "v"},
      {"header with text after ] still heads its section", "[s] note\r\nk=v", "s", "k", "v"},
      {"header with text after ] does not end the section before",
       "[a]\r\n[b] x\r\nk=1", "a", "k", "1"},
      {"key under a later section is absent", "[a]\r\nx=1\r\n[b]\r\nk=2", "a", "k", "default"},
      {"the later section has it", "[a]\r\nx=1\r\n[b]\r\nk=2", "b", "k", "2"},
      {"duplicate keys: the first", "[s]\r\nk=1\r\nk=2", "s", "k", "1"},
      {"blanks around =", "[s]\r\nk = 1", "s", "k", "default"},
      {"the value stops at a zero byte", "[s]\r\nk=ab\0cd\r\nm=1"s, "s", "k", "ab"},
      {"the value runs to the end of the file", "[s]\r\nk=v\n", "s", "k", "v\n"},
      {"GBK names", G("[主界面]\r\n编辑框宽=2.6"), G("主界面"), G("编辑框宽"), "2.6"},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    load(c.file);
    EXPECT_EQ(module.readEntry(c.section, c.key, "default"), c.expected);
    expectFile(c.file);
    module.close();
  }
}

TEST_F(Entries, TextValuesKeepLineBreaksOnOneLine) {
  load(G("[s]\r\nhand=a┊*┊b"));
  module.setSection("s");
  EXPECT_TRUE(module.writeText("t", "line 1\r\nline 2\r\n"));
  expectFile(G("[s]\r\nt=line 1┊*┊line 2┊*┊\r\nhand=a┊*┊b"));
  EXPECT_EQ(module.readText("t", ""), "line 1\r\nline 2\r\n");
  EXPECT_EQ(module.readText("hand", ""), "a\r\nb");
  EXPECT_EQ(module.readText("missing", "x\r\ny"), "x\r\ny");
  // A lone LF is no line break: it stays as it is.
  EXPECT_TRUE(module.writeText("lf", "a\nb"));
  EXPECT_EQ(module.readText("lf", ""), "a\nb");
}

TEST_F(Entries, TypedValuesOfAnEmptyEntry) {
  load("[s]\r\nt=\r\nn=\r\nb=");
  module.setSection("s");
  EXPECT_EQ(module.readText("t", "default"), "");
  EXPECT_EQ(module.readNumber("n", 5), 0);
  EXPECT_FALSE(module.readBool("b", true));
}

TEST_F(Entries, NumbersAreStoredWithThirteenSignificantDigits) {
  ASSERT_TRUE(module.setPath(iniPath()));
  module.setSection("s");
  const struct {
    double value;
    const char* text;
  } cases[] = {{0.1 + 0.2, "0.3"}, {2.0, "2"}, {2.6, "2.6"}, {-1, "-1"}, {0, "0"},
               {1e20, "1e+20"}, {153.543312, "153.543312"}, {1.0 / 3, "0.3333333333333"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_TRUE(module.writeNumber("n", c.value));
    expectFile(std::string("[s]\r\nn=") + c.text);
    EXPECT_EQ(module.readNumber("n", -7), std::stod(c.text));
  }
  // A missing key gives the default as it reads back from that text form.
  EXPECT_EQ(module.readNumber("missing", 0.1 + 0.2), 0.3);
  EXPECT_NE(0.1 + 0.2, 0.3);
  load("[s]\r\na=2.6cm\r\nb=abc\r\nc=" + G("１５０"));
  EXPECT_EQ(module.readNumber("a", 0), 2.6);
  EXPECT_EQ(module.readNumber("b", 9), 0);
  EXPECT_EQ(module.readNumber("c", 0), 150);
}

TEST_F(Entries, BooleansAreTheWordsTrueAndFalse) {
  load(G("[s]\r\nyes=真\r\nno=假\r\nother=1"));
  module.setSection("s");
  EXPECT_TRUE(module.readBool("yes", false));
  EXPECT_FALSE(module.readBool("no", true));
  EXPECT_FALSE(module.readBool("other", true));
  EXPECT_TRUE(module.readBool("missing", true));
  EXPECT_FALSE(module.readBool("missing", false));
  EXPECT_TRUE(module.writeBool("no", true));
  EXPECT_TRUE(module.writeBool("yes", false));
  expectFile(G("[s]\r\nyes=假\r\nno=真\r\nother=1"));
}

TEST_F(Entries, ReopeningKeepsTheFileAndReadsWhatWasWritten) {
  ASSERT_TRUE(module.setPath(iniPath()));
  EXPECT_EQ(module.writeEntry("s", "k", "1"), 0);
  module.close();
  EXPECT_EQ(module.readEntry("s", "k", "closed"), "closed");
  ASSERT_TRUE(module.setPath(iniPath()));
  EXPECT_EQ(module.readEntry("s", "k", "d"), "1");
  expectFile("[s]\r\nk=1");
}

}  // namespace
}  // namespace trimbrel::testing
