// Hostile templates end promptly, the budget does not outlive its call, and nothing
// thrown on the host's side reaches the plug-in.
#include <chrono>
#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>

#include "core/WorkBudget.h"
#include "host/Providers.h"
#include "tests/e2e/TestPlugin.h"

namespace {

using kvltest::kNoSuccess;

class WorkBudget : public kvltest::PluginTest {
 protected:
  // Milliseconds a call of the plug-in takes, with its result.
  std::pair<std::string, long long> timed(const std::string& name, const std::vector<std::string>& args) {
    const auto start = std::chrono::steady_clock::now();
    std::string result = plugin.call(name, args);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return {result, std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()};
  }
};

TEST_F(WorkBudget, NestedLoopsShareOnePassBudget) {
  // 5 outer and 5 x 49 999 inner passes are exactly the budget; one inner pass more is not.
  EXPECT_EQ(plugin.call("KVL_For", {"i", "1", "5", "<%KVL_For(j, 1, 49999, )>"}), "<><><><><>");
  EXPECT_EQ(plugin.call("KVL_For", {"i", "1", "5", "<%KVL_For(j, 1, 50000, )>"}), kNoSuccess);

  const auto [result, ms] = timed("KVL_Until", {"a", "b", "%KVL_Until(a,b,x)"});
  EXPECT_EQ(result, kNoSuccess);
  EXPECT_LT(ms, 5000);
  EXPECT_GT(plugin.session.processed.leftOutTexts(), 0u);
  // The spent budget ended with its call: the next call has a whole one.
  EXPECT_EQ(plugin.call("KVL_For", {"n", "1", "100000", ""}), "");
}

TEST_F(WorkBudget, TextHandedToTheHostIsBounded) {
  // 20 KB handed over each pass (the body sets a variable and outputs nothing).
  const auto [result, ms] = timed("KVL_Until", {"v", "b", "%_w=\"" + std::string(20000, 'x') + "\""});
  EXPECT_EQ(result, kNoSuccess);
  EXPECT_LT(ms, 5000);
  // What the host hands back counts: a 1 MiB variable read back every pass ends the
  // loop after about 256 passes (two host texts each), not after 100 000.
  plugin.session.setVariable("big", std::string(1 << 20, 'b'));
  plugin.session.processed.clear();
  EXPECT_EQ(plugin.call("KVL_Until", {"big", "stop", "x"}), kNoSuccess);
  EXPECT_LT(plugin.session.processed.size() + plugin.session.processed.leftOutTexts(), 600u);

  // Results made and arguments read inside a loop count too: each pass makes 60 MB and
  // reads them again, so two passes fit and three do not.
  const std::string body = "%KVL_StrLen(%KVL_StrDup(x,60000000))";
  EXPECT_EQ(plugin.call("KVL_For", {"i", "1", "2", body}), "6000000060000000");
  EXPECT_EQ(plugin.call("KVL_For", {"i", "1", "3", body}), kNoSuccess);
}

// A host that calls the plug-in again from every text it is handed, without a depth
// limit of its own: the plug-in's nesting bound ends the recursion.
struct RecursingHost {
  kvlhost::PluginModule& plugin;
  std::map<std::int32_t, std::string> items;
  int deepest = 0;

  std::string call(int level) {
    kvlhost::ArgumentProvider params({"i", "1", "1", "x"});
    kvlhost::ContextProvider context(items, [&](std::string_view) {
      deepest = std::max(deepest, level);
      return call(level + 1);
    });
    plugin.exec("KVL_For", 7, &context, &params);
    return context.result();
  }
};

TEST_F(WorkBudget, NestingEndsWithTheBudget) {
  RecursingHost host{plugin.module, {}};
  EXPECT_EQ(host.call(1), kNoSuccess);
  EXPECT_EQ(host.deepest, kvl::kBudgetNesting);
}

TEST_F(WorkBudget, HostFailuresStayOnTheHostsSide) {
  std::map<std::int32_t, std::string> items;
  auto run = [&](const kvlhost::TextProcessor& processor, const char* macro, std::vector<std::string> args) {
    kvlhost::ArgumentProvider params(std::move(args));
    kvlhost::ContextProvider context(items, processor);
    EXPECT_EQ(context.ProcessText("x", 1, 0, &context), -1) << "a failed expansion is a failed call";
    const std::int32_t rc = plugin.module.exec(macro, static_cast<std::int32_t>(std::strlen(macro)), &context, &params);
    EXPECT_EQ(rc, 0);
    return context.result();
  };
  const kvlhost::TextProcessor throwing = [](std::string_view) -> std::string { throw std::runtime_error("host"); };
  const kvlhost::TextProcessor exhausting = [](std::string_view) {
    std::string huge;
    huge.reserve(0x7FFFFFF0u);  // more than a 32-bit process can hold
    return huge;
  };
  for (const auto& processor : {throwing, exhausting}) {
    EXPECT_EQ(run(processor, "KVL_For", {"i", "1", "3", "x"}), "");
    EXPECT_EQ(run(processor, "KVL_Until", {"i", "", "x"}), "");
    EXPECT_EQ(run(processor, "KVL_Grep", {"a\nb", "a"}), "");
    EXPECT_EQ(run(processor, "KVL_ReX", {"abc", "(b)"}), "");
  }
}

// Process starts and downloads of a whole call tree are counted: a loop that starts
// console commands ends after five of them (under two seconds under Wine), one of
// downloads after a hundred, each with the no-success text.
TEST_F(WorkBudget, ProcessesAndDownloadsOfALoopAreBounded) {
  std::string echoed;
  for (std::uint64_t i = 1; i <= kvl::kBudgetProcesses; ++i) echoed += std::to_string(i) + " \r\n";
  EXPECT_EQ(plugin.call("KVL_For", {"i", "1", std::to_string(kvl::kBudgetProcesses), "%KVL_RunCmd(echo %_i)"}), echoed);
  EXPECT_EQ(plugin.call("KVL_For", {"i", "1", std::to_string(kvl::kBudgetProcesses + 1), "%KVL_RunCmd(echo %_i)"}),
            kNoSuccess);
  // A refused connection is a download tried all the same.
  const std::string download = "%KVL_UrlDldFile(http://127.0.0.1:1/, " + folder.path() + "d.bin)";
  EXPECT_EQ(plugin.call("KVL_For", {"i", "1", std::to_string(kvl::kBudgetDownloads), download}),
            std::string(kvl::kBudgetDownloads, '0'));
  EXPECT_EQ(plugin.call("KVL_For", {"i", "1", std::to_string(kvl::kBudgetDownloads + 1), download}), kNoSuccess);
  EXPECT_EQ(plugin.call("KVL_RunCmd", {"echo next"}), "next \r\n");  // the next call has a whole budget
}

}  // namespace
