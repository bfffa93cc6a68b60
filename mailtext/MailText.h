#pragma once
// Reply and forward prefixes of subjects, and quote marks at the start of lines.
// Pure routines: the macros in MailTextMacros.cpp read the host's data around them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvl {

// Prefix words as a caller gives them: items cut at "|", lowered by `lower`.
std::vector<std::string> PrefixWords(std::string_view list, std::string (*lower)(std::string_view));

// The subject without its chain of prefixes ("Re: AW: Fwd: x" -> "x"), the remainder
// in its own letter case. `extra` words follow the built-in ones. Nothing when the
// words' look-ups along the chain would cost far more than the texts' length.
std::optional<std::string> CleanSubject(std::string_view subject, const std::vector<std::string>& extra);

// The replies a prefix chain stands for ("Re[3]:" counts 3); forward prefixes count
// unless `skipForwards`. Empty when the subject is empty after its leading blanks;
// nothing when the look-ups would cost too much, as for CleanSubject.
std::optional<std::string> CountReplies(std::string_view subject, bool skipForwards,
                                        const std::vector<std::string>& extraWords,
                                        const std::vector<std::string>& extraForwards);

// `prefix` before every line; every line ends in CR LF.
std::string AddQuotes(std::string_view text, std::string_view prefix);

// Removes from every line its leading run of quote marks (each within `window`
// characters of the one before) and one blank after the last; lines end in CR LF.
std::string DeleteQuotes(std::string_view text, std::int64_t window, std::string_view mark);

}  // namespace kvl
