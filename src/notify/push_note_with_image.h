#pragma once

#include "base/failure.h"
#include "http/http_client.h"
#include "http/service_endpoint.h"

namespace pushnote {

// Sends the message and the image at imagePath as a multipart/form-data body
// to the service. JPEG and PNG files go as they are; a GIF is converted to a
// .jpg beside it first, which is sent and stays on disk. The message is
// checked before the image, and every image check comes before any network
// activity.
ResultCode PushNoteWithImage(const char* message, const char* imagePath,
                             const ServiceEndpoint& service, http::Client& client) noexcept;

// The same for wide text: the message goes straight to UTF-8 (its limit
// counted in wchar_t units) and the path reaches every file name.
ResultCode PushNoteWithImageW(const wchar_t* message, const wchar_t* imagePath,
                              const ServiceEndpoint& service, http::Client& client) noexcept;

}  // namespace pushnote
