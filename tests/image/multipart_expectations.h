#pragma once

#include <cstdlib>
#include <string>

#include "base/failure.h"

// The bytes an image notification must put on the wire, written out by hand
// from the wire format rather than from the library's constants.
namespace pushnote::testing {

// An image notification refused before any network activity: the file to
// create (when fileName is set), the path to send and the expected code.
struct ImageRefusalCase {
    const char* name;
    std::string message;
    const char* fileName;
    std::string content;
    std::string imageName;
    ResultCode result;
};

inline const std::string kDelimiterLine = "--------------------------e9525679e317ad2a";

inline std::string ExpectedMessagePart(const std::string& utf8Message,
                                       const std::string& delimiterLine = kDelimiterLine) {
    return delimiterLine + "\r\nContent-Disposition: form-data; name=\"message\"\r\n\r\n" +
           utf8Message + "\r\n";
}

inline std::string ExpectedImagePart(const std::string& extension, const std::string& subtype,
                                     const std::string& image,
                                     const std::string& delimiterLine = kDelimiterLine) {
    return delimiterLine +
           "\r\nContent-Disposition: form-data; name=\"imageFile\"; filename=\"test." + extension +
           "\"\r\nContent-Type: image/" + subtype + "\r\n\r\n" + image + "\r\n" + delimiterLine +
           "--\r\n";
}

// Runs the code-page conversion the way the tests expect it: the default ANSI
// code page 1252 under Wine, a UTF-8 locale on Linux.
inline void UseTestCodePage() {
#if !defined(_WIN32)
    setenv("LC_ALL", "C.UTF-8", 1);
#endif
}

// One host byte that takes more than one byte in UTF-8, and its UTF-8 form:
// "é" in code page 1252; on Linux a byte that is no UTF-8 and becomes U+FFFD.
#if defined(_WIN32)
inline const std::string kWideningByte = "\xE9";
inline const std::string kWideningByteUtf8 = "\xC3\xA9";
#else
inline const std::string kWideningByte = "\xFF";
inline const std::string kWideningByteUtf8 = "\xEF\xBF\xBD";
#endif

}  // namespace pushnote::testing
