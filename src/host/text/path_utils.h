// Path and text utilities, with "/" as the path separator.
#pragma once

#include <string>

namespace vl {

// The text behind the last "." of the trimmed path, provided no "/" or ":"
// stands behind that "."; otherwise "".
std::string GetFileExtension(const std::string& path);
// Trims `path` in place and returns it without its extension and the "."
// before it; unchanged when GetFileExtension gives nothing.
std::string StripFileExtension(std::string& path);
// When both the trimmed text and the trimmed line are non-empty, "\r\n" is
// added to the text; when the trimmed line is non-empty, the result is the
// text, `indent` tabs, the line; otherwise the text unchanged.
std::string AppendTextLine(const std::string& text, const std::string& line, int indent = 0);
// Both trimmed; b when a is empty; a + ", " + b when both are non-empty; a
// when b is empty.
std::string JoinWithComma(const std::string& a, const std::string& b);
// The path with "/" appended unless it already ends with one.
std::string AddTrailingSlash(const std::string& path);
// The path without one trailing "/".
std::string StripTrailingSlash(const std::string& path);
// The part behind the last "/" (after one trailing "/" is removed); "" when
// the path holds no "/".
std::string GetLastFolder(const std::string& path);
// The folder of a file path ("" for a bare name).
std::string GetParentFolderName(const std::string& path);
// The file name part of a path.
std::string GetFileName(const std::string& path);
// `name` usable as one folder name inside another folder: "/" and "\"
// (a separator here or on the system a baseline came from) and control
// characters become "_", and a name of dots only ("." or "..") has each
// dot replaced by "_". A name from a baseline then never leads elsewhere.
std::string FolderNameFrom(const std::string& name);

}  // namespace vl
