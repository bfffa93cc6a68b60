#pragma once
// The HTML form dialog's rules over plain values: its settings, the document text,
// where a navigation may go and what a posted form means. No windows.h here.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Plugin.h"

namespace kvl::dialogs {

inline constexpr std::string_view kFormDefaultCaption = "KVL Input Form";
inline constexpr std::string_view kFormDocumentName = "KVL_FrmDlg_Doc.html";
inline constexpr std::int32_t kFormMinWidth = 200, kFormMinHeight = 150;
inline constexpr std::int32_t kFormFallbackWidth = 300, kFormFallbackHeight = 250;

// The arguments of one KVL_FrmDlg call; an absent one keeps the previous setting.
struct FormArguments {
  std::string document;
  std::string caption;  // empty: the default caption
  std::optional<std::int32_t> width, height;
  std::optional<bool> resizable, maximizeButton;
};
// Takes the arguments into the settings and corrects a size below the least one.
void ApplyFormArguments(TFrmDlgParams& params, const FormArguments& arguments);

// The document's text: links lose their new-window targets, and every
// "%KVL_DEF:name%" becomes the name's value (empty when not defined).
std::string ExpandFormDefinitions(std::string_view html, const FormDefinitionList& definitions);

// Waiting for a new browser to finish its blank start page: at most 10 s, and
// not longer than 1 s once it has stopped being busy without getting ready (a
// browser without an HTML engine stays there for ever).
inline constexpr std::uint32_t kBrowserReadyWaitMs = 10000;
inline constexpr std::uint32_t kBrowserIdleWaitMs = 1000;
enum class BrowserWait { Ready, Wait, GiveUp };
// `readyState` as the browser reports it (0-4; -1 when it cannot say); `idleMs` is
// the time since it was last seen busy (since the start when never).
BrowserWait NextBrowserWait(int readyState, std::uint32_t elapsedMs, std::uint32_t idleMs);

// What the dialog does about one navigation the browser is about to make.
enum class NavigationStep {
  Load,          // let the browser go on
  ReturnToForm,  // the address leads away: show the form document again
  Accept,        // an accepting submission: close with acceptance
  Cancel,        // a cancelling submission: close without acceptance
  Stay,          // a submission without either name: its fields are kept, the form stays
};

// Whether a browser address names the document file (as a path or a file: URL).
bool IsDocumentAddress(std::string_view address, std::string_view documentPath);

// Decides about a navigation to `address` carrying `postData` (empty: none); a
// submission to the document replaces `result` with its fields.
NavigationStep BeforeNavigate(std::string_view address, std::string_view postData,
                              std::string_view documentPath, TFrmDlgResult& result);

// Reads a URL-encoded form body into `result` (posted text and decoded fields).
NavigationStep ReadFormPost(std::string_view postData, TFrmDlgResult& result);

}  // namespace kvl::dialogs
