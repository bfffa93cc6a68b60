#pragma once
// The host's data items that the plug-in reads and kvlhost provides, by what they hold.
// Portable (no windows.h): the template engine and the handlers use them natively too.
#include <cstdint>

namespace kvl::items {

inline constexpr std::int32_t kCorrespondentName = 218;
inline constexpr std::int32_t kCorrespondentAddress = 219;
inline constexpr std::int32_t kSubjectAsReceived = 222;
inline constexpr std::int32_t kSubject = 223;
inline constexpr std::int32_t kMessageId = 235;
inline constexpr std::int32_t kMessageText = 241;
inline constexpr std::int32_t kHeaderBlock = 243;
inline constexpr std::int32_t kBody = 254;
inline constexpr std::int32_t kInReplyTo = 265;
inline constexpr std::int32_t kReferences = 266;

}  // namespace kvl::items
