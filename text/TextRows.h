#pragma once
// The text family's rows of the macro table: text: measuring, editing, lists, encodings, checksums.
// Name, handler, least and most argument count; the plug-in puts all rows in list order.
#include <array>

#include "core/MacroTable.h"
#include "text/TextMacros.h"

namespace kvl::text {

inline constexpr std::array kRows{
    MacroRow{"KVL_CRC32", macros::CRC32, 2, 3},
    MacroRow{"KVL_Decode", macros::Decode, 2, kAnyCount},
    MacroRow{"KVL_Encode", macros::Encode, 2, kAnyCount},
    MacroRow{"KVL_HtmlDec", macros::HtmlDec, 1, 2},
    MacroRow{"KVL_HtmlEnc", macros::HtmlEnc, 1, 2},
    MacroRow{"KVL_MD5", macros::MD5, 2, 3},
    MacroRow{"KVL_Random", macros::Random, 0, 2},
    MacroRow{"KVL_Rot13", macros::Rot13, 1, 1},
    MacroRow{"KVL_SHA1", macros::SHA1, 2, 3},
    MacroRow{"KVL_StrAttach", macros::StrAttach, 2, 2},
    MacroRow{"KVL_StrC", macros::StrC, 1, 1},
    MacroRow{"KVL_StrChar", macros::StrChar, 1, kAnyCount},
    MacroRow{"KVL_StrCheck", macros::StrCheck, 2, 3},
    MacroRow{"KVL_StrCount", macros::StrCount, 2, 3},
    MacroRow{"KVL_StrDup", macros::StrDup, 2, 2},
    MacroRow{"KVL_StrIns", macros::StrIns, 2, 4},
    MacroRow{"KVL_StrItem", macros::StrItem, 3, 3},
    MacroRow{"KVL_StrItemCnt", macros::StrItemCnt, 2, 2},
    MacroRow{"KVL_StrLeft", macros::StrLeft, 2, 2},
    MacroRow{"KVL_StrLen", macros::StrLen, 1, 1},
    MacroRow{"KVL_StrLines", macros::StrLines, 1, 3},
    MacroRow{"KVL_StrLnCnt", macros::StrLnCnt, 0, 1},
    MacroRow{"KVL_StrMid", macros::StrMid, 2, 3},
    MacroRow{"KVL_StrPos", macros::StrPos, 2, 3},
    MacroRow{"KVL_StrRepl", macros::StrRepl, 3, 5},
    MacroRow{"KVL_StrRev", macros::StrRev, 1, 1},
    MacroRow{"KVL_StrRight", macros::StrRight, 2, 2},
    MacroRow{"KVL_StrTr", macros::StrTr, 2, 4},
    MacroRow{"KVL_StrTrim", macros::StrTrim, 1, 3},
    MacroRow{"KVL_StrWordCnt", macros::StrWordCnt, 1, 1},
    MacroRow{"KVL_StrWrap", macros::StrWrap, 1, 3},
    MacroRow{"KVL_UrlAttach", macros::UrlAttach, 2, 2},
    MacroRow{"KVL_UrlDec", macros::UrlDec, 1, 1},
    MacroRow{"KVL_UrlDldFile", macros::UrlDldFile, 2, 2},
    MacroRow{"KVL_UrlEnc", macros::UrlEnc, 1, 2},
};

}  // namespace kvl::text
