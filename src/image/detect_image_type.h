#pragma once

namespace pushnote {

// The upload extension ("jpg" or "png") of an image path, or null when the
// path is refused. The text after the last "." of the whole path decides,
// directories included, in any letter case: JPEG and JPG upload as "jpg" with
// subtype "jpeg", PNG as "png" with subtype "png", and GIF as "jpg" with
// subtype "jpeg" once converted (needsConversion). No dot, an empty extension,
// one over 10 characters or any other extension is refused; subtype is then
// the empty text. The path may be ANSI or wide text: only its ASCII letters
// can name an accepted type.
const char* DetectImageType(const char* path, const char*& subtype, bool& needsConversion) noexcept;
const char* DetectImageType(const wchar_t* path, const char*& subtype,
                            bool& needsConversion) noexcept;

}  // namespace pushnote
