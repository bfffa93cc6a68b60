#pragma once
// Dates as mail headers write them ("Sat, 5 Dec 2026 08:18:22 +0100 (CET)") and zones.
#include <cstdint>
#include <string_view>

#include "datetime/DateTimeValue.h"

namespace kvl::datetime {

// The date and time as written (not shifted by the zone). Unreadable text gives 0
// and leaves `zone` untouched; a zone it cannot read gives zone 0.
DateTimeValue ParseMailDate(std::string_view text, std::int32_t& zone);

// Minutes east of UTC of "+hhmm", "-hhmm" or a zone name ("cet", "(CEST)"); 0 when unreadable.
std::int32_t ZoneOffsetMinutes(std::string_view text);

}  // namespace kvl::datetime
