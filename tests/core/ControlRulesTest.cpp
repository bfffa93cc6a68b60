// Argument splitting, the entity list and the files deleted at unload.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "core/ArgList.h"
#include "core/ControlMacros.h"
#include "core/Plugin.h"
#include "core/TextUtil.h"
#include "core/platform.h"
#if defined(_WIN32)
#include "core/Call.h"
#include "host/Providers.h"
#include "plugin/MacroList.h"
#endif

namespace {

using namespace kvl;

TEST(ArgList, QuotesStayAndEmptyItemsCount) {
  EXPECT_EQ(CountArgs("a \"b c\" d", "", ""), 3);
  EXPECT_EQ(ArgAt("a \"b c\" d", 2, "", ""), "\"b c\"");
  EXPECT_EQ(ArgAt("a  b", 2, " ", "\""), "");
  EXPECT_EQ(ArgAt("a  b", 3, " ", "\""), "b");
  EXPECT_EQ(ArgAt("a b", 0, " ", "\""), "");
  EXPECT_EQ(ArgAt("a b", -1, " ", "\""), "");
  // An unclosed quote swallows the rest of the text.
  EXPECT_EQ(CountArgs("a \"b c d", " ", "\""), 2);
}

TEST(LineBetween, TrimsEachCutAndTakesTheFirstQualifyingLine) {
  const std::string text = "Subject: none\r\nTo:  a@b  ; x\r\nTo: c@d;";
  EXPECT_EQ(LineBetween(text, "to:", ";", 1, 0, AsciiLowered), "a@b");
  EXPECT_EQ(LineBetween(text, "to:", ";", 1, 1, AsciiLowered), "c@d");
  EXPECT_EQ(LineBetween(text, "to:", ";", 2, 0, AsciiLowered), "");
  EXPECT_EQ(LineBetween("a\nb: c", "b:", "", 0, 0, AsciiLowered), "c");  // LF alone ends no line
}

TEST(SpecialChars, ParsingSkipsBadLinesAndLaterLinesOverwrite) {
  const SpecialCharTable table = ParseSpecialChars(
      "233\t\xE9\teacute\t233\r\n"
      "65\tA\r\n"
      "300\tx\tbig\t300\n"
      "abc\tx\tword\t1\n"
      "\n"
      "  38\t&\tamp\t\t\r\n"
      "38\tand\t\t9999\n"
      "$3C\t<\tlt\t60");
  const auto row = [&table](int code) { return table[code].text + "|" + table[code].named + "|" + table[code].numeric; };
  EXPECT_EQ(row(233), "\xE9|&eacute;|&#233;");
  EXPECT_EQ(row(65), "A||&#65;");
  // A later line without a name keeps the earlier name but replaces text and number.
  EXPECT_EQ(row(38), "and|&amp;|&#9999;");
  EXPECT_EQ(row(60), "<|&lt;|&#60;");
  for (int code : {0, 44, 255}) EXPECT_EQ(table[code].numeric, "") << code;
}

TEST(PluginState, InitialisationReadsTheListAndFinalisationDeletesRecordedFiles) {
  const std::filesystem::path folder = PluginFolder();
  const std::filesystem::path list = folder / "SpecialChars.lst";
  std::ofstream(list, std::ios::binary) << "233\t\xE9\teacute\t233\r\n";
  InitializePlugin();
  std::filesystem::remove(list);
  EXPECT_EQ(SpecialChars()[233].named, "&eacute;");
  EXPECT_EQ(SpecialCharCodeOf("&#233;"), 233);
  EXPECT_EQ(SpecialCharCodeOf("&nothing;"), -1);
  EXPECT_EQ(Plugin().folder, PluginFolder());

  const std::filesystem::path attached = std::filesystem::temp_directory_path() / "kvl-attached.txt";
  std::ofstream(attached) << "x";
  AddFileToDelete(attached.string());
  AddFileToDelete(attached.string());
  AddFileToDelete((folder / "no-such-file.txt").string());
  FinalizePlugin();
  EXPECT_FALSE(std::filesystem::exists(attached));
}

TEST(PluginState, RandomDrawsStayInRange) {
  for (std::uint32_t range : {1u, 2u, 100u, 0xFFFFFFFFu})
    for (int i = 0; i < 1000; ++i) EXPECT_LT(DrawRandom(range), range);
}

}  // namespace

// The macro table needs the host interface, which the native build leaves out.
#if defined(_WIN32)
namespace {

// The macro list as the mail client sees it; the plug-in puts the families' rows together
// in this order.
constexpr std::string_view kListOrder[] = {
    "KVL_PlugPath", "KVL_PlugVer", "KVL_Accounts", "KVL_AddrToACE", "KVL_AddrToIDN", "KVL_Age", "KVL_AttrGet",
    "KVL_AttrSet", "KVL_ArgCount", "KVL_ArgItem", "KVL_Beep", "KVL_ClearLines", "KVL_Const", "KVL_CRC32",
    "KVL_Decode", "KVL_DirCreate", "KVL_DirExist", "KVL_DlgFolder", "KVL_DlgInput", "KVL_DlgOpen", "KVL_DomToACE",
    "KVL_DomToIDN", "KVL_Encode", "KVL_Envir", "KVL_FileAddLn", "KVL_FileCopy", "KVL_FileDel", "KVL_FileExist",
    "KVL_FileInfo", "KVL_FileInUse", "KVL_FileLines", "KVL_FileLnCnt", "KVL_FileLong", "KVL_FileMove",
    "KVL_FileName", "KVL_FileOwner", "KVL_FileShort", "KVL_FileSize", "KVL_FileTime", "KVL_FirstNE", "KVL_For",
    "KVL_FrmDlg", "KVL_FrmDlgDef", "KVL_FrmDlgRet", "KVL_Gender", "KVL_GetLang", "KVL_GetPath", "KVL_Grep",
    "KVL_HdrMailer", "KVL_HdrRcvTime", "KVL_Host2IP", "KVL_HtmlDec", "KVL_HtmlEnc", "KVL_IDNList", "KVL_IniGet",
    "KVL_IniSet", "KVL_IP2Host", "KVL_IsUserAdmin", "KVL_KbdLayout", "KVL_LineBetw", "KVL_ListAddr",
    "KVL_ListCount", "KVL_ListName", "KVL_MD5", "KVL_MsgBox", "KVL_MsgID", "KVL_MultiDlg", "KVL_NoSubj",
    "KVL_NoTo", "KVL_Process", "KVL_Progress", "KVL_QuoteAdd", "KVL_QuoteDel", "KVL_Random", "KVL_RegGet",
    "KVL_RegSet", "KVL_REIsMatch", "KVL_RERepl", "KVL_ReX", "KVL_Rot13", "KVL_Run", "KVL_RunCmd", "KVL_Select",
    "KVL_SendKeys", "KVL_SetClipB", "KVL_SHA1", "KVL_Sig", "KVL_StrAttach", "KVL_StrC", "KVL_StrChar",
    "KVL_StrCheck", "KVL_StrCount", "KVL_StrDup", "KVL_StrIns", "KVL_StrItem", "KVL_StrItemCnt", "KVL_StrLeft",
    "KVL_StrLen", "KVL_StrLines", "KVL_StrLnCnt", "KVL_StrMid", "KVL_StrPos", "KVL_StrRepl", "KVL_StrRERepl",
    "KVL_StrRev", "KVL_StrRight", "KVL_StrTr", "KVL_StrTrim", "KVL_StrWordCnt", "KVL_StrWrap", "KVL_SubjClean",
    "KVL_SubjCount", "KVL_SysInfo", "KVL_TempDir", "KVL_TempFile", "KVL_TextDlg", "KVL_TimeAdd", "KVL_TimeBeats",
    "KVL_TimeBias", "KVL_TimeCalc", "KVL_TimeDiff", "KVL_TimeParse", "KVL_TimeQuart", "KVL_Until", "KVL_UrlAttach",
    "KVL_UrlDec", "KVL_UrlDldFile", "KVL_UrlEnc", "KVL_XtrEMLs", "KVL_XtrURLs", "KVL_Test",
};

TEST(MacroTable, RowsKeepTheListOrderEachOnceAndAreFoundByName) {
  const auto table = kvl::MacroTable();
  ASSERT_EQ(table.size(), std::size(kListOrder));
  for (std::size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i].name, kListOrder[i]);
    EXPECT_EQ(kvl::Macros().find(table[i].name), &table[i]) << table[i].name;
    EXPECT_LE(table[i].minArgs, table[i].maxArgs) << table[i].name;
  }
}

}  // namespace
#endif

// A handler's optional arguments: the last one given (n) and the first one absent (n + 1).
#if defined(_WIN32)
namespace {

TEST(CallArguments, FlagsIntegersAndTextsGivenAndAbsent) {
  kvlhost::ArgumentProvider arguments({"1", "0", "2", ""});
  const kvl::Call call(nullptr, &arguments);
  struct Row {
    int n;
    bool flag, flagWhenAbsentTrue;
    std::optional<std::int32_t> given;
    std::string textOrWhenEmpty;
  };
  for (const Row& row : {Row{1, true, true, 1, "1"}, Row{2, false, false, 0, "0"}, Row{3, false, false, 2, "2"},
                         Row{4, false, false, 0, "-"}, Row{5, false, true, std::nullopt, "-"}}) {
    EXPECT_EQ(call.flag(row.n), row.flag) << row.n;
    EXPECT_EQ(call.flag(row.n, true), row.flagWhenAbsentTrue) << row.n;
    EXPECT_EQ(call.integerIfGiven(row.n), row.given) << row.n;
    EXPECT_EQ(call.textOrWhenEmpty(row.n, "-"), row.textOrWhenEmpty) << row.n;
  }
}

}  // namespace
#endif
