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

}  // namespace pushnote
