#pragma once

// The fixed texts of the multipart/form-data body of an image notification.
namespace pushnote::multipart {

// The same boundary for every request.
inline constexpr const char* kBoundary = "------------------------e9525679e317ad2a";
// The boundary with the two leading hyphens that mark it inside the body.
inline constexpr const char* kDelimiter = "--------------------------e9525679e317ad2a";
inline constexpr const char* kLineBreak = "\r\n";
// Follows the last delimiter.
inline constexpr const char* kClosing = "--\r\n";

}  // namespace pushnote::multipart
