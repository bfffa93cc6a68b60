#pragma once
// Header blocks, account lists and first names: the portable rules behind the
// header and account macros. Holds no windows.h types.
#include <optional>
#include <string>
#include <string_view>

namespace kvl::addresses {

// TABs to blanks, every CR LF-ended line trimmed, a line that the next one continues
// (it begins with a blank) joined to it by one blank, runs of blanks made one. Text
// after the last CR LF is left out.
std::string UnfoldHeaderBlock(std::string_view block);

// The value of the first header `name` (any case) in a CR LF block, the first line
// included: leading blanks and control characters removed, case kept. Empty when the
// header is missing or its line has no CR LF.
std::string HeaderValue(std::string_view block, std::string_view name);

// The sending program from the first "X-Mailer: " or "User-Agent: " line of an LF-ended
// block (a line without its LF is not read); nothing when neither is there.
std::optional<std::string> MailerName(std::string_view headerBlock);

// '1' male, '2' female, '0' a family or a firm, guessed from the ending of a first name.
char GuessGender(std::string_view firstName);

// The names of an account-order file joined by `separator`: kind 0 the lines that begin
// with exactly two backslashes, kind 1 those with three, kind 2 both; any other kind none.
std::string AccountNames(std::string_view fileText, int kind, std::string_view separator);

// Whether "|" + value + "|" stands in a list wrapped as "|a|b|"; never for an empty value.
bool Listed(std::string_view wrappedList, std::string_view value);

// Whether a comma-separated list of language codes (each trimmed, empty ones skipped)
// has a code in the wrapped list.
bool AnyCodeListed(std::string_view wrappedList, std::string_view codes);

}  // namespace kvl::addresses
