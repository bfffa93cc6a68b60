#include "mailtext/MailTextMacros.h"

#include "core/Errors.h"
#include "core/TextUtil.h"
#include "core/platform.h"
#include "mailtext/MailText.h"

namespace kvl::macros {

namespace {

// The subject argument, or the message's subject when the argument is blank.
std::string SubjectOr223(Call& call, int n) {
  std::string subject = call.textOr(n, "");
  return TrimClasses(subject, " ").empty() ? call.item(items::kSubject) : subject;
}

std::vector<std::string> WordsOf(Call& call, int n) { return PrefixWords(call.textOr(n, ""), AnsiLowered); }

std::string OrNoSuccess(std::optional<std::string> result) { return result ? std::move(*result) : std::string(ErrNoSuccess); }
}  // namespace

std::string SubjClean(Call& call) { return OrNoSuccess(CleanSubject(SubjectOr223(call, 1), WordsOf(call, 2))); }

// Argument 1 other than 0 leaves forward prefixes uncounted.
std::string SubjCount(Call& call) {
  const bool skipForwards = call.integerOr(1, 0) != 0;
  return OrNoSuccess(CountReplies(SubjectOr223(call, 2), skipForwards, WordsOf(call, 3), WordsOf(call, 4)));
}

// A message without a subject of its own (none, or only "Fwd:") gets the placeholder after it.
std::string NoSubj(Call& call) {
  const std::string placeholder = call.textOr(1, "(ohne Betreff)");
  const std::string received = AsciiLowered(Trimmed(call.item(items::kSubjectAsReceived)));
  std::string subject = call.item(items::kSubject);
  return received.empty() || received == "fwd:" ? subject + placeholder : subject;
}

std::string NoTo(Call& call) {
  const std::string name = call.item(items::kCorrespondentName);
  if (Trimmed(name).empty() && Trimmed(call.item(items::kCorrespondentAddress)).empty())
    return call.textOr(1, "(geheime Empf\xE4nger)");
  return name;
}

std::string QuoteAdd(Call& call) { return AddQuotes(call.textBuffer(1).view(), call.textOr(2, "> ")); }

std::string QuoteDel(Call& call) {
  return DeleteQuotes(call.textBuffer(1).view(), call.integerOr(2, 6), call.textOr(3, ">"));
}

}  // namespace kvl::macros
