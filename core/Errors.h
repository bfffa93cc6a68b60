#pragma once
// The fixed result texts by which macros report failure; each has one blank at both ends.
#include <string_view>

namespace kvl {
inline constexpr std::string_view ErrParamCount = " *** ERROR: Wrong parameter count *** ";
inline constexpr std::string_view ErrParamValue = " *** ERROR: Wrong parameter value *** ";
inline constexpr std::string_view ErrNoSuccess = " *** Action not successfully *** ";
inline constexpr std::string_view ErrGeneric = " *** ERROR *** ";
inline constexpr std::string_view ErrIdnMissing = " *** ERROR: IDN.dll not found *** ";
}  // namespace kvl
