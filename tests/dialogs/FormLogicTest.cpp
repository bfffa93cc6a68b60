// The form dialog's rules without a window: settings, the document text, where
// navigations may go and what posted bodies mean.
#include <gtest/gtest.h>

#include "dialogs/FormLogic.h"

namespace {

using namespace kvl::dialogs;
using kvl::FormDefinitionList;
using kvl::TFrmDlgParams;
using kvl::TFrmDlgResult;

std::string ValueOf(const TFrmDlgResult& result, const std::string& name) {
  const std::string* value = result.values.find(name);
  return value ? *value : "<none>";
}

// "document|caption|width x height|R(esizable) M(aximize button)", as one text to compare.
std::string Shown(const TFrmDlgParams& p) {
  return p.document + "|" + p.caption + "|" + std::to_string(p.width) + "x" + std::to_string(p.height) + "|" +
         (p.resizable ? "R" : "-") + (p.maximizeButton ? "M" : "-");
}

// The caption is set on every call, an absent size or flag is kept, a size below the
// least one takes the default.
TEST(FormLogic, SettingsCarryOverAndSizesAreCorrectedAtTheirBounds) {
  TFrmDlgParams params;
  ApplyFormArguments(params, {"a.html", "", {}, {}, {}, {}});
  EXPECT_EQ(Shown(params), "a.html|KVL Input Form|300x250|--");
  ApplyFormArguments(params, {"b.html", "Order", 600, 150, true, true});
  EXPECT_EQ(Shown(params), "b.html|Order|600x150|RM");
  ApplyFormArguments(params, {"c.html", "", {}, {}, {}, false});
  EXPECT_EQ(Shown(params), "c.html|KVL Input Form|600x150|R-");
  ApplyFormArguments(params, {"c.html", "", 200, 149, {}, {}});
  EXPECT_EQ(Shown(params), "c.html|KVL Input Form|200x250|R-");
  ApplyFormArguments(params, {"c.html", "", 199, -5, {}, {}});
  EXPECT_EQ(Shown(params), "c.html|KVL Input Form|300x250|R-");
}

TEST(FormLogic, TheWaitForANewBrowserIsBounded) {
  EXPECT_EQ(NextBrowserWait(0, 0, 0), BrowserWait::Wait);
  EXPECT_EQ(NextBrowserWait(2, 9999, 999), BrowserWait::Wait);
  EXPECT_EQ(NextBrowserWait(3, 0, 0), BrowserWait::Ready);
  EXPECT_EQ(NextBrowserWait(4, 20000, 20000), BrowserWait::Ready);
  EXPECT_EQ(NextBrowserWait(1, 10000, 0), BrowserWait::GiveUp);
  EXPECT_EQ(NextBrowserWait(1, 1000, 1000), BrowserWait::GiveUp);  // stopped without getting ready
  EXPECT_EQ(NextBrowserWait(-1, 0, 0), BrowserWait::GiveUp);
}

TEST(FormLogic, DefinitionsExpandAndNewWindowTargetsGo) {
  FormDefinitionList definitions;
  definitions.set("user", "Anna");
  definitions.set("Eq", "a=b");
  EXPECT_EQ(ExpandFormDefinitions("Hello %KVL_DEF:user%!", definitions), "Hello Anna!");
  EXPECT_EQ(ExpandFormDefinitions("%KVL_DEF: USER %|%KVL_DEF:eq%|%KVL_DEF:none%|", definitions), "Anna|a=b||");
  EXPECT_EQ(ExpandFormDefinitions("x %KVL_DEF:user", definitions), "x %KVL_DEF:user");
  EXPECT_EQ(ExpandFormDefinitions("%KVL_DEF:user%%KVL_DEF:user", definitions), "Anna%KVL_DEF:user");
  EXPECT_EQ(ExpandFormDefinitions("%kvl_def:user%", definitions), "%kvl_def:user%");
  EXPECT_EQ(ExpandFormDefinitions("<a TARGET=\"_Blank\" href=x target=\"blank\">", definitions), "<a  href=x >");
  // The second removal sees what the first one joined.
  EXPECT_EQ(ExpandFormDefinitions("target=\"_target=\"blank\"blank\"", definitions), "");
  EXPECT_EQ(ExpandFormDefinitions("target=_blank", definitions), "target=_blank");
  definitions.set("USER", "");
  EXPECT_EQ(definitions.find("user"), nullptr);
}

TEST(FormLogic, NavigationsOnlyStayOnTheDocument) {
  const std::string document = "C:\\users\\me\\Temp\\KVL\\KVL_FrmDlg_Doc.html";
  TFrmDlgResult result;
  EXPECT_EQ(BeforeNavigate("about:blank", "", document, result), NavigationStep::Load);
  EXPECT_EQ(BeforeNavigate("http://example.com/", "", document, result), NavigationStep::ReturnToForm);
  EXPECT_EQ(BeforeNavigate("http://example.com/", "a=1", document, result), NavigationStep::ReturnToForm);
  EXPECT_EQ(BeforeNavigate(document, "", document, result), NavigationStep::Load);
  EXPECT_EQ(BeforeNavigate(std::string(1, '\0'), "", document, result), NavigationStep::ReturnToForm);
  EXPECT_EQ(BeforeNavigate("file:///C:/Users/ME/Temp/KVL/KVL_FrmDlg_Doc.html", std::string("\0", 1), document, result),
            NavigationStep::Load);
  EXPECT_TRUE(IsDocumentAddress("file://C:\\users\\me\\Temp\\KVL\\KVL_FrmDlg_Doc.html", document));
  EXPECT_TRUE(IsDocumentAddress("file:///C:/users/me/Temp/KVL/KVL%5FFrmDlg_Doc.html", document));
  EXPECT_FALSE(IsDocumentAddress("file:///C:/users/me/Temp/KVL/KVL_FrmDlg_Doc.html#top", document));
  EXPECT_FALSE(IsDocumentAddress("", ""));
  EXPECT_TRUE(result.postedText.empty());
  // A body ending in a NUL of the browser's own: the NUL is no part of the field.
  EXPECT_EQ(BeforeNavigate(document, std::string("kvl_frmdlg_ok=OK&city=Bonn\0", 27), document, result),
            NavigationStep::Accept);
  EXPECT_EQ(ValueOf(result, "city"), "Bonn");
}

TEST(FormLogic, PostedBodiesAreDecoded) {
  using Entries = std::vector<std::pair<std::string, std::string>>;
  TFrmDlgResult result;
  EXPECT_EQ(ReadFormPost("name=Anna+Smith&code=x%2By&kvl_frmdlg_ok=OK", result), NavigationStep::Accept);
  EXPECT_EQ(result.postedText, "name=Anna+Smith&code=x%2By&kvl_frmdlg_ok=OK");
  EXPECT_EQ(result.values.entries, (Entries{{"name", "Anna Smith"}, {"code", "x+y"}}));
  // Names are decoded and lowered; a value keeps every "=" after the first; a later
  // field replaces an earlier one; empty fields are not stored, and neither are
  // fields without "=".
  EXPECT_EQ(ReadFormPost("My%20Name=a=b%3D&x=1&X=2&city=&flag&%01sep=v%01w&=anon", result), NavigationStep::Stay);
  EXPECT_EQ(result.values.entries, (Entries{{"my name", "a=b="}, {"x", "2"}, {"\x01sep", "v\x01w"}, {"", "anon"}}));
  // A new submission starts a new list.
  EXPECT_EQ(ReadFormPost("a=1", result), NavigationStep::Stay);
  EXPECT_EQ(result.values.entries, (Entries{{"a", "1"}}));
  // Cancel stops the reading; after an earlier OK it still accepts what came before.
  EXPECT_EQ(ReadFormPost("a=1&KVL_FrmDlg_Cancel=Cancel&b=2&kvl_frmdlg_ok=OK", result), NavigationStep::Cancel);
  EXPECT_EQ(result.values.entries, (Entries{{"a", "1"}}));
  EXPECT_EQ(ReadFormPost("kvl%5Ffrmdlg%5Fok=1&a=1&kvl_frmdlg_cancel=&b=2", result), NavigationStep::Accept);
  EXPECT_EQ(result.values.entries, (Entries{{"a", "1"}}));
  EXPECT_EQ(ReadFormPost("&&", result), NavigationStep::Stay);
  EXPECT_TRUE(result.values.entries.empty());
}

}  // namespace
