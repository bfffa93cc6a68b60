#include "host/MacroCounts.h"

#include "PluginMacroCounts.h"

namespace kvlhost {

std::span<const MacroCounts> PluginMacroCounts() { return kPluginMacroCounts; }

}  // namespace kvlhost
