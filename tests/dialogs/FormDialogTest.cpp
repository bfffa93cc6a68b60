// The HTML form window through the exports, as a real window under Xvfb. The browser
// here cannot render or post a page, so the tests deliver its events to the window's
// event sink themselves, laid out as the browser lays them out, on the window's thread.
#include <windows.h>
#include <exdispid.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>

#include "core/platform.h"
#include "tests/dialogs/WindowDriver.h"
#include "tests/e2e/TestPlugin.h"

namespace {

using kvltest::WaitForWindow;
using Strings = std::vector<std::string>;

constexpr char kClass[] = "TfrmFormDlg";

std::wstring Wide(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  out.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), static_cast<int>(out.size()))));
  return out;
}

std::string FileUrl(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return "file:///" + path;
}

// Runs `work` on the thread that owns the window, from within its message handling,
// as the browser's own events arrive there.
std::function<void()>* pendingWork = nullptr;
UINT WorkMessage() {
  static const UINT message = RegisterWindowMessageA("KVL test: run on the form's thread");
  return message;
}
LRESULT CALLBACK RunPendingWork(int code, WPARAM wParam, LPARAM lParam) {
  const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && sent->message == WorkMessage() && pendingWork != nullptr) {
    (*pendingWork)();
    pendingWork = nullptr;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
void OnWindowThread(HWND window, std::function<void()> work) {
  pendingWork = &work;
  const HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, RunPendingWork, nullptr, GetWindowThreadProcessId(window, nullptr));
  ASSERT_NE(hook, nullptr);
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(window, WorkMessage(), 0, 0, SMTO_NORMAL, 5000, &answer);
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(pendingWork, nullptr) << "the work did not run";
  pendingWork = nullptr;
}

IDispatch* EventSink(HWND window) {
  static const UINT message = RegisterWindowMessageA("KVL_FrmDlg_EventSink");
  return reinterpret_cast<IDispatch*>(SendMessageA(window, message, 0, 0));
}

// BeforeNavigate2 as the browser sends it: seven arguments, last first; the address,
// the body and the other texts as references to VARIANTs, Cancel as a VARIANT_BOOL
// by reference. Answers whether the sink set Cancel.
bool DeliverNavigation(HWND window, const std::string& address, const std::string& body) {
  VARIANT url{}, flags{}, frame{}, post{}, headers{};  // all zero: VT_EMPTY
  url.vt = VT_BSTR;
  url.bstrVal = SysAllocString(Wide(address).c_str());
  flags.vt = VT_I4;
  frame.vt = VT_BSTR;
  frame.bstrVal = SysAllocString(L"");
  headers.vt = VT_BSTR;
  headers.bstrVal = SysAllocString(L"Content-Type: application/x-www-form-urlencoded\r\n");
  if (!body.empty()) {
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(body.size()));
    void* data = nullptr;
    SafeArrayAccessData(bytes, &data);
    std::memcpy(data, body.data(), body.size());
    SafeArrayUnaccessData(bytes);
    post.vt = VT_ARRAY | VT_UI1;
    post.parray = bytes;
  }
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[7]{};
  args[6].vt = VT_DISPATCH;
  VARIANT* byReference[] = {nullptr, &headers, &post, &frame, &flags, &url};
  for (int i = 1; i <= 5; ++i) {
    args[i].vt = VT_BYREF | VT_VARIANT;
    args[i].pvarVal = byReference[i];
  }
  args[0].vt = VT_BYREF | VT_BOOL;
  args[0].pboolVal = &cancel;
  DISPPARAMS params{args, nullptr, 7, 0};
  OnWindowThread(window, [&] {
    EventSink(window)->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  });
  for (VARIANT* v : {&url, &flags, &frame, &post, &headers}) VariantClear(v);
  return cancel != VARIANT_FALSE;
}

// WindowClosing: IsChildWindow, then Cancel by reference. Answers Cancel.
bool DeliverWindowClosing(HWND window) {
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[2]{};
  args[1].vt = VT_BOOL;
  args[1].boolVal = VARIANT_FALSE;
  args[0].vt = VT_BYREF | VT_BOOL;
  args[0].pboolVal = &cancel;
  DISPPARAMS params{args, nullptr, 2, 0};
  OnWindowThread(window, [&] {
    EventSink(window)->Invoke(DISPID_WINDOWCLOSING, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  });
  return cancel != VARIANT_FALSE;
}

// The whole window's "width x height", then "R" for a sizing frame, "M" for a maximize
// button and "S" for a system menu ("-" for each one missing).
std::string Shape(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  return std::to_string(rect.right - rect.left) + "x" + std::to_string(rect.bottom - rect.top) + " " +
         (style & WS_THICKFRAME ? "R" : "-") + (style & WS_MAXIMIZEBOX ? "M" : "-") + (style & WS_SYSMENU ? "S" : "-");
}

bool StaysOpen(HWND window) {
  Sleep(300);  // a close would have been posted by now
  return IsWindow(window) && IsWindowVisible(window);
}

class FormDialogs : public kvltest::WindowTest {
 protected:
  void SetUp() override {
    folder.write("form.html", "<form method=post><a href=x target=\"_blank\">%KVL_DEF:user%</a>"
                              "<input name=kvl_frmdlg_ok type=submit></form>");
    form = folder.path() + "form.html";
  }
  // Opens the form, lets `act` work on its window once it is shown, and answers the
  // macro's result.
  std::string show(const Strings& args, const std::string& caption, std::function<void(HWND)> act) {
    return WindowTest::show("KVL_FrmDlg", args, kClass, caption, [act = std::move(act)](HWND window) {
      kvltest::WaitUntil([window] { return IsWindowVisible(window) != FALSE; }, 15);
      EXPECT_TRUE(IsWindowVisible(window)) << "the form window was never shown";
      act(window);
    });
  }
  std::string form;
  // The document file the plug-in writes for the browser, under its documented name.
  const std::string document = kvl::PluginTempFolder(true) + "KVL_FrmDlg_Doc.html";
};

TEST_F(FormDialogs, AcceptedSubmissionComesBackAndTheDocumentGoes) {
  EXPECT_EQ(plugin.call("KVL_FrmDlgDef", {"user", "Anna", "city", "Bonn"}), "");
  EXPECT_EQ(plugin.call("KVL_FrmDlgDef", {"user", "Bob", "odd"}), kvltest::kCountError);
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet", {"name", "-"}), "-");
  EXPECT_EQ(show({form}, "KVL Input Form", [&](HWND window) {
              EXPECT_EQ(kvltest::FileText(document),
                        "<form method=post><a href=x >Anna</a><input name=kvl_frmdlg_ok type=submit></form>");
              RECT client{}, control{};
              GetClientRect(window, &client);
              GetClientRect(GetWindow(window, GW_CHILD), &control);
              EXPECT_TRUE(EqualRect(&client, &control) && client.right > 0) << "the browser fills the window";
              EXPECT_EQ(Shape(window), "300x250 --S");
              EXPECT_FALSE(DeliverNavigation(window, "http://example.com/", ""));  // the dialog never cancels a navigation
              EXPECT_TRUE(StaysOpen(window));
              DeliverNavigation(window, document, "");  // the initial load
              DeliverNavigation(window, FileUrl(document), "city=Paris");
              EXPECT_TRUE(StaysOpen(window));
              EXPECT_FALSE(DeliverNavigation(window, FileUrl(document), "name=Anna+Smith&code=x%2By&kvl_frmdlg_ok=OK"));
            }), "1");
  EXPECT_FALSE(std::filesystem::exists(document));
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet", {"NAME"}), "Anna Smith");
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet", {"code"}), "x+y");
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet", {"city", "-"}), "-");  // that submission was replaced
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet"), "name=Anna+Smith&code=x%2By&kvl_frmdlg_ok=OK");
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet", {"", "-"}), "name=Anna+Smith&code=x%2By&kvl_frmdlg_ok=OK");
}

TEST_F(FormDialogs, CancelEscapeCloseBoxAndScriptCloseAnswerNothing) {
  // Definitions: a removed name and an emptied list both read as empty.
  plugin.call("KVL_FrmDlgDef", {"user", "Anna"});
  plugin.call("KVL_FrmDlgDef", {"USER", ""});
  EXPECT_EQ(show({form, "Order"}, "Order", [&](HWND window) {
              EXPECT_NE(kvltest::FileText(document).find("x ></a>"), std::string::npos);
              OnWindowThread(window, [&] {  // one form at a time...
                EXPECT_EQ(plugin.call("KVL_FrmDlg", {form, "Other", "900"}), kvltest::kNoSuccess);
              });
              DeliverNavigation(window, FileUrl(document), "name=Anna&kvl_frmdlg_ok=OK");
            }), "1");
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet", {"name"}), "Anna");
  EXPECT_EQ(show({form, "Order"}, "Order", [&](HWND window) {
              EXPECT_EQ(Shape(window), "300x250 --S");  // ...and the refused call kept its size to itself
              DeliverNavigation(window, FileUrl(document), "name=Bob&kvl_frmdlg_cancel=Cancel");
            }), "0");
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet", {"name", "-"}), "-");
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet"), "");
  EXPECT_EQ(show({form, "Order"}, "Order", [&](HWND window) {
              DeliverNavigation(window, FileUrl(document), "name=Bob");  // kept until the end...
              PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
            }), "0");
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet", {"name", "-"}), "-");  // ...which takes it away
  EXPECT_EQ(show({form, "Order"}, "Order", [](HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }),
            "0");
  // The browser is told not to close the page itself.
  EXPECT_EQ(show({form, "Order"}, "Order", [](HWND window) { EXPECT_TRUE(DeliverWindowClosing(window)); }), "0");
  EXPECT_FALSE(std::filesystem::exists(document));
}

TEST_F(FormDialogs, SizesCarryOverFramesFollowTheFlagsAndAMissingFileShowsEmpty) {
  // The window's shape and the start of the document it shows.
  const auto look = [&](const std::string& shape, const std::string& shown) {
    return [&, shape, shown](HWND window) {
      EXPECT_EQ(Shape(window), shape);
      EXPECT_EQ(kvltest::FileText(document).substr(0, 5), shown);
      PostMessageA(window, WM_KEYUP, VK_ESCAPE, 0);
    };
  };
  EXPECT_EQ(show({folder.path() + "missing.html", "F", "600", "149", "1", "1"}, "F", look("600x250 RMS", "")), "0");
  EXPECT_EQ(show({form, "F"}, "F", look("600x250 RMS", "<form")), "0");  // kept from the last call
  // Given but empty reads as 0: a width below the least, and both switches off.
  EXPECT_EQ(show({form, "F", "", "200", "", "0"}, "F", look("300x200 --S", "<form")), "0");
  EXPECT_EQ(show({form, "F", "200", "150"}, "F", look("200x150 --S", "<form")), "0");
}

TEST_F(FormDialogs, ADocumentThatCannotBeWrittenShowsNoWindow) {
  std::filesystem::create_directories(document);  // a folder where the file belongs
  std::atomic<bool> windowSeen = false;
  auto watch = std::async(std::launch::async, [&] {
    if (const HWND window = WaitForWindow(kClass, "KVL Input Form", 3)) {
      windowSeen = true;
      PostMessageA(window, WM_CLOSE, 0, 0);
    }
  });
  EXPECT_EQ(plugin.call("KVL_FrmDlg", {form}), kvltest::kNoSuccess);
  watch.get();
  EXPECT_FALSE(windowSeen);
  std::filesystem::remove(document);
  EXPECT_EQ(plugin.call("KVL_FrmDlgRet"), "");
}

}  // namespace
