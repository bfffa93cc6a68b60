#pragma once
// Message identifier, sending program, gender, signature, accounts and reply language.
#include <string>

#include "core/Call.h"

namespace kvl::macros {

std::string MsgID(Call& call);
std::string HdrMailer(Call& call);
std::string Gender(Call& call);
std::string Sig(Call& call);
std::string Accounts(Call& call);
std::string GetLang(Call& call);

}  // namespace kvl::macros
