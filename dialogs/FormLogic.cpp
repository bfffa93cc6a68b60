#include "dialogs/FormLogic.h"

#include "core/TextUtil.h"
#include "text/Encoding.h"

namespace kvl::dialogs {

void ApplyFormArguments(TFrmDlgParams& params, const FormArguments& arguments) {
  params.document = arguments.document;
  params.caption = arguments.caption.empty() ? std::string(kFormDefaultCaption) : arguments.caption;
  if (arguments.width) params.width = *arguments.width;
  if (arguments.height) params.height = *arguments.height;
  if (arguments.resizable) params.resizable = *arguments.resizable;
  if (arguments.maximizeButton) params.maximizeButton = *arguments.maximizeButton;
  if (params.width < kFormMinWidth) params.width = kFormFallbackWidth;
  if (params.height < kFormMinHeight) params.height = kFormFallbackHeight;
}

namespace {

// Every occurrence of `attribute` (ASCII case ignored) left out, in one pass.
std::string WithoutAttribute(std::string_view text, std::string_view attribute) {
  const std::string lowered = AsciiLowered(text);
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (std::size_t hit; (hit = FindText(lowered, attribute, at)) != std::string_view::npos; at = hit + attribute.size())
    out.append(text.substr(at, hit - at));
  out.append(text.substr(at));
  return out;
}

}  // namespace

BrowserWait NextBrowserWait(int readyState, std::uint32_t elapsedMs, std::uint32_t idleMs) {
  if (readyState > 2) return BrowserWait::Ready;  // interactive or complete
  if (readyState < 0 || elapsedMs >= kBrowserReadyWaitMs || idleMs >= kBrowserIdleWaitMs) return BrowserWait::GiveUp;
  return BrowserWait::Wait;
}

std::string ExpandFormDefinitions(std::string_view html, const FormDefinitionList& definitions) {
  const std::string text = WithoutAttribute(WithoutAttribute(html, "target=\"blank\""), "target=\"_blank\"");
  constexpr std::string_view kOpening = "%KVL_DEF:";
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (;;) {
    const std::size_t start = FindText(text, kOpening, at);
    const std::size_t end = start == std::string::npos ? start : text.find('%', start + kOpening.size());
    if (end == std::string::npos) break;
    out.append(text, at, start - at);
    const std::string_view name = std::string_view(text).substr(start + kOpening.size(), end - start - kOpening.size());
    if (const std::string* value = definitions.find(Trimmed(name))) out += *value;
    at = end + 1;
  }
  out.append(text, at);
  return out;
}

bool IsDocumentAddress(std::string_view address, std::string_view documentPath) {
  std::string path(address);
  const std::string lowered = AsciiLowered(address);
  if (lowered.starts_with("file:")) {
    std::string_view rest = std::string_view(address).substr(5);
    if (rest.starts_with("///")) rest.remove_prefix(3);
    else if (rest.starts_with("//")) rest.remove_prefix(2);
    path = PercentDecoded(rest);
    for (char& c : path)
      if (c == '/') c = '\\';
  }
  return !documentPath.empty() && EqualsIgnoringAsciiCase(path, documentPath);
}

NavigationStep ReadFormPost(std::string_view postData, TFrmDlgResult& result) {
  result.postedText.assign(postData);
  result.values = FormDefinitionList{};
  bool accepted = false;
  std::size_t at = 0;
  for (bool last = false; !last;) {
    std::size_t end = postData.find('&', at);
    last = end == std::string_view::npos;
    if (last) end = postData.size();
    const std::string_view field = postData.substr(at, end - at);
    at = end + 1;
    const std::size_t equals = field.find('=');
    const std::string name = AsciiLowered(UrlDecode(field.substr(0, equals)));
    if (name == "kvl_frmdlg_cancel") return accepted ? NavigationStep::Accept : NavigationStep::Cancel;
    if (name == "kvl_frmdlg_ok") {
      accepted = true;
      continue;
    }
    const std::string_view value = equals == std::string_view::npos ? std::string_view() : field.substr(equals + 1);
    result.values.set(name, UrlDecode(value));
  }
  return accepted ? NavigationStep::Accept : NavigationStep::Stay;
}

NavigationStep BeforeNavigate(std::string_view address, std::string_view postData,
                              std::string_view documentPath, TFrmDlgResult& result) {
  if (address == "about:blank") return NavigationStep::Load;
  if (!IsDocumentAddress(address, documentPath)) return NavigationStep::ReturnToForm;
  // Some browsers end the body with a NUL of their own; it is no part of the last field.
  while (!postData.empty() && postData.back() == '\0') postData.remove_suffix(1);
  if (postData.empty()) return NavigationStep::Load;
  return ReadFormPost(postData, result);
}

}  // namespace kvl::dialogs
