#pragma once
// The addresses family's rows of the macro table: addresses, domains, headers, lists and links.
// Name, handler, least and most argument count; the plug-in puts all rows in list order.
#include <array>

#include "core/MacroTable.h"
#include "addresses/ExtractionMacros.h"
#include "addresses/HeaderMacros.h"
#include "addresses/IdnMacros.h"
#include "addresses/ListMacros.h"

namespace kvl::addresses {

inline constexpr std::array kRows{
    MacroRow{"KVL_Accounts", macros::Accounts, 0, 2},
    MacroRow{"KVL_AddrToACE", macros::AddrToACE, 1, 1},
    MacroRow{"KVL_AddrToIDN", macros::AddrToIDN, 1, 1},
    MacroRow{"KVL_DomToACE", macros::DomToACE, 1, 1},
    MacroRow{"KVL_DomToIDN", macros::DomToIDN, 1, 1},
    MacroRow{"KVL_Gender", macros::Gender, 0, 1},
    MacroRow{"KVL_GetLang", macros::GetLang, 0, kAnyCount},
    MacroRow{"KVL_HdrMailer", macros::HdrMailer, 0, 1},
    MacroRow{"KVL_IDNList", macros::IDNList, 1, 1},
    MacroRow{"KVL_ListAddr", macros::ListAddr, 2, 2},
    MacroRow{"KVL_ListCount", macros::ListCount, 1, 1},
    MacroRow{"KVL_ListName", macros::ListName, 2, 2},
    MacroRow{"KVL_MsgID", macros::MsgID, 0, 1},
    MacroRow{"KVL_Sig", macros::Sig, 0, 0},
    MacroRow{"KVL_XtrEMLs", macros::XtrEMLs, 0, 2},
    MacroRow{"KVL_XtrURLs", macros::XtrURLs, 0, 3},
};

}  // namespace kvl::addresses
