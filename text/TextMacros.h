#pragma once
// Text macros: measuring and cutting, editing, lists, encodings, checksums and attachments.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

// Measuring and extraction
std::string StrLen(Call& call);
std::string StrLeft(Call& call);
std::string StrRight(Call& call);
std::string StrMid(Call& call);
std::string StrPos(Call& call);
std::string StrCount(Call& call);
std::string StrChar(Call& call);
std::string StrC(Call& call);
std::string StrCheck(Call& call);
std::string StrRev(Call& call);
std::string StrDup(Call& call);
std::string StrWordCnt(Call& call);
std::string Random(Call& call);

// Editing
std::string StrIns(Call& call);
std::string StrRepl(Call& call);
std::string StrTr(Call& call);
std::string StrTrim(Call& call);
std::string StrWrap(Call& call);
std::string Rot13(Call& call);

// Lists and lines
std::string StrItem(Call& call);
std::string StrItemCnt(Call& call);
std::string StrLines(Call& call);
std::string StrLnCnt(Call& call);

// Encodings
std::string Encode(Call& call);
std::string Decode(Call& call);
std::string HtmlEnc(Call& call);
std::string HtmlDec(Call& call);
std::string UrlEnc(Call& call);
std::string UrlDec(Call& call);

// Checksums and attachments
std::string CRC32(Call& call);
std::string MD5(Call& call);
std::string SHA1(Call& call);
std::string StrAttach(Call& call);
std::string UrlAttach(Call& call);
std::string UrlDldFile(Call& call);

}  // namespace kvl::macros
