#pragma once
// Date and time macros: mail dates, zones, shifts, spans, ages, beats, seasons.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string Age(Call& call);
std::string HdrRcvTime(Call& call);
std::string TimeAdd(Call& call);
std::string TimeBeats(Call& call);
std::string TimeBias(Call& call);
std::string TimeCalc(Call& call);
std::string TimeDiff(Call& call);
std::string TimeParse(Call& call);
std::string TimeQuart(Call& call);

}  // namespace kvl::macros
