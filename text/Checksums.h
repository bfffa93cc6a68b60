#pragma once
// CRC-32 (zlib), MD5 and SHA-1 (the platform's cryptography service) of a text or
// of a file read in blocks, as upper-case hexadecimal text.
#include <string>
#include <string_view>

namespace kvl {

enum class ChecksumKind { Crc32, Md5, Sha1 };

std::string ChecksumOfText(ChecksumKind kind, std::string_view bytes);
// A file that cannot be opened or read to its end counts as no data.
std::string ChecksumOfFile(ChecksumKind kind, const std::string& path);

}  // namespace kvl
