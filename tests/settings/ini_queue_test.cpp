// Event handlers run inside reads and writes (through the message pump) and
// may start writes of their own; those wait in the queue for the running one.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "ini_fixture.hpp"

namespace trimbrel::testing {
namespace {

using Queue = IniTest;

TEST_F(Queue, AWriteFromAnEventHandlerWaitsForTheRunningOne) {
  ASSERT_TRUE(module.setPath(iniPath()));
  int nestedResult = 0;
  int pumps = 0;
  module.setMessagePump([&] {
    if (++pumps != 1) return;
    // The running write has not touched the file yet.
    nestedResult = module.writeEntry("s", "k", "from handler");
    EXPECT_EQ(nestedResult, 3);
    EXPECT_EQ(module.writeEntry("s", "later", "2"), 3);
    expectFile("");
  });
  EXPECT_EQ(module.writeEntry("s", "k", "running"), 0);
  // Carried out after the running write, in arrival order: the handler's
  // value wins, and "later" is the newest key, so it stands first.
  expectFile("[s]\r\nlater=2\r\nk=from handler");
  EXPECT_EQ(ConfigModuleInspector::pendingWrites(module), 0u);
  EXPECT_EQ(module.drainWrites(), -1);
}

TEST_F(Queue, TypedWritesReportQueuedAsNotDone) {
  ASSERT_TRUE(module.setPath(iniPath()));
  module.setSection("s");
  bool nested = true;
  module.setMessagePump([&] {
    if (nested) {
      nested = false;
      EXPECT_FALSE(module.writeNumber("n", 2));
    }
  });
  EXPECT_TRUE(module.writeBool("b", true));
  expectFile(G("[s]\r\nn=2\r\nb=真"));
}

TEST_F(Queue, DrainingFromAHandlerDoesNotRunAWriteTwice) {
  ASSERT_TRUE(module.setPath(iniPath()));
  int pumps = 0;
  module.setMessagePump([&] {
    if (++pumps == 1) {
      EXPECT_EQ(module.writeEntry("s", "b", "2"), 3);
      EXPECT_EQ(module.drainWrites(), 3);
    }
  });
  EXPECT_EQ(module.writeEntry("s", "a", "1"), 0);
  expectFile("[s]\r\nb=2\r\na=1");
}

TEST_F(Queue, AReadBetweenPassesSeesTheNewKeyEmpty) {
  ASSERT_TRUE(module.setPath(iniPath()));
  std::vector<std::string> seen;
  bool reading = false;
  module.setMessagePump([&] {
    if (reading) return;
    reading = true;
    seen.push_back(module.readEntry("s", "k", "absent"));
    reading = false;
  });
  EXPECT_EQ(module.writeEntry("s", "k", "v"), 0);
  // Before the section exists, after it was appended, after the key was added.
  EXPECT_EQ(seen, (std::vector<std::string>{"absent", "absent", ""}));
}

TEST_F(Queue, ASectionThatKeepsVanishingEndsInTwoMessageBoxes) {
  load("[a]\r\nx=1");
  std::vector<std::tuple<MessageBoxStyle, std::string, std::string>> boxes;
  module.setMessageBox([&](MessageBoxStyle style, const std::string& title, const std::string& text) {
    boxes.emplace_back(style, title, text);
  });
  int pumps = 0;
  module.setMessagePump([&] {
    ++pumps;
    module.close();  // every pass finds an empty memory copy again
  });
  const std::string section("s\0t", 3);
  EXPECT_EQ(module.writeEntry(section, "k", "v"), -1);
  EXPECT_EQ(pumps, 11);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], std::make_tuple(MessageBoxStyle::Exclamation, G("Kelvra："),
                                      G("配置模块出现意外，可能导致无法正常保存！详情请咨询Kelvra。")));
  // The second box shows the memory copy up to its first zero byte.
  EXPECT_EQ(boxes[1], std::make_tuple(MessageBoxStyle::Plain, G("信息："), std::string("[s")));
  EXPECT_EQ(memory(), "[" + section + "]");
  EXPECT_EQ(fileBytes(), "[a]\r\nx=1");
}

// The message box runs its own message loop, so handlers may write from it.
TEST_F(Queue, AWriteFromTheMessageBoxWaitsForTheFailedOne) {
  load("[a]\r\nx=1");
  bool vanishing = true;
  module.setMessagePump([&] {
    if (vanishing) module.close();
  });
  int boxes = 0;
  module.setMessageBox([&](MessageBoxStyle, const std::string&, const std::string&) {
    if (++boxes != 1) return;
    vanishing = false;
    ASSERT_TRUE(module.setPath(iniPath()));
    EXPECT_EQ(module.writeEntry("t", "k", "v"), 3);
    expectFile("[a]\r\nx=1");
  });
  EXPECT_EQ(module.writeEntry("s", "k", "v"), -1);
  EXPECT_EQ(boxes, 2);
  expectFile("[a]\r\nx=1\r\n[t]\r\nk=v");
}

TEST_F(Queue, TheFailureIsReportedWithoutAMessageBoxHandlerToo) {
  load("[a]\r\nx=1");
  module.setMessagePump([&] { module.close(); });
  EXPECT_EQ(module.writeEntry("s", "k", "v"), -1);
}

}  // namespace
}  // namespace trimbrel::testing
