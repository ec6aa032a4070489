#pragma once

#include <filesystem>

namespace pushnote::inbox {

// The inbox's own development CA and the server certificate it signed, for
// localhost, 127.0.0.1 and ::1. The private keys never leave the folder.
struct TlsFiles {
    std::filesystem::path caCert;      // give this to clients to trust
    std::filesystem::path serverCert;  // server certificate, then the CA
    std::filesystem::path serverKey;
};

// Makes the files in folder unless they are there and valid for another day:
// a new CA only when there is no usable one, so clients keep trusting it.
// The CA may vouch for localhost, 127.0.0.0/8 and ::1 alone (critical name
// constraints), so a client that imports it trusts it for nothing else; a CA
// made before it had them is replaced, with a one-line notice on stderr.
TlsFiles EnsureTlsFiles(const std::filesystem::path& folder);

}  // namespace pushnote::inbox
