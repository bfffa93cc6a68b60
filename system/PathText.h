#pragma once
// Taking a path apart as text ("C:\Data\Mail\note.txt"); the file need not exist.
#include <string>
#include <string_view>

namespace kvl::files {

std::string DrivePart(std::string_view path);      // "C:", "\\server\share" or empty
std::string FolderPart(std::string_view path);     // up to and including the last "\" or ":"
std::string NamePart(std::string_view path);       // "note.txt"
std::string ExtensionPart(std::string_view path);  // ".txt", or empty

// The part a KVL_FileName selector names (D, P, V, F, E; anything else N); "T" is not
// text and is not handled here.
std::string PathPart(std::string_view path, char selector);

// q = bytes / unit to two decimals, as the shortest general form with the separator.
std::string SizeInUnits(double bytes, double unit, char decimalSeparator);

}  // namespace kvl::files
