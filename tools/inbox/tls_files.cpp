#include "tls_files.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>

namespace pushnote::inbox {
namespace {

namespace fs = std::filesystem;

constexpr long kCaDays = 3650;
constexpr long kServerDays = 397;
constexpr long kSecondsPerDay = 86400;
// localhost alone: a DNS subtree would also let its subdomains through.
constexpr const char* kLoopbackNames =
    "critical,permitted;DNS:localhost,excluded;DNS:.localhost,"
    "permitted;IP:127.0.0.0/255.0.0.0,"
    "permitted;IP:::1/ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff";

struct FreeKey {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeCert {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
};
using Key = std::unique_ptr<EVP_PKEY, FreeKey>;
using Cert = std::unique_ptr<X509, FreeCert>;
using File = std::unique_ptr<FILE, CloseFile>;

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("cannot make the TLS files: " + what);
}

void Require(bool ok, const char* what) {
    if (!ok) Fail(what);
}

File OpenFile(const fs::path& path, const char* mode) {
    File file(std::fopen(path.c_str(), mode));
    return file;
}

Cert ReadCert(const fs::path& path) {
    File file = OpenFile(path, "r");
    return Cert(file ? PEM_read_X509(file.get(), nullptr, nullptr, nullptr) : nullptr);
}

Key ReadKey(const fs::path& path) {
    File file = OpenFile(path, "r");
    return Key(file ? PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr) : nullptr);
}

// Still valid a day from now.
bool Current(X509* cert) {
    if (!cert) return false;
    std::time_t tomorrow = std::time(nullptr) + kSecondsPerDay;
    return X509_cmp_time(X509_get0_notAfter(cert), &tomorrow) > 0;
}

Key NewKey() {
    Key key(EVP_RSA_gen(2048));
    Require(key != nullptr, "RSA key generation failed");
    return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    Require(extension != nullptr, "bad certificate extension");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

// A certificate for key, signed by issuerKey; issuer null for a self-signed one.
Cert NewCert(EVP_PKEY* key, const char* commonName, long days, X509* issuer, EVP_PKEY* issuerKey) {
    Cert cert(X509_new());
    Require(cert != nullptr, "out of memory");
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    Require(RAND_bytes(serial, sizeof serial) == 1, "no random bytes");
    serial[0] &= 0x7F;  // a positive number
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get()));
    BN_free(number);
    // An hour back, for clocks a little behind.
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), days * kSecondsPerDay);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("pushnote-inbox"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : name);
    X509_set_pubkey(cert.get(), key);
    X509* signer = issuer ? issuer : cert.get();
    AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
    if (issuer) {
        AddExtension(cert.get(), signer, NID_authority_key_identifier, "keyid");
        AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
        AddExtension(cert.get(), signer, NID_key_usage,
                     "critical,digitalSignature,keyEncipherment");
        AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
        AddExtension(cert.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1,IP:::1");
    } else {
        AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE,pathlen:0");
        AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
        AddExtension(cert.get(), signer, NID_name_constraints, kLoopbackNames);
        // A store that imports the CA trusts it for servers only, not for
        // code signing or mail.
        AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
    }
    Require(X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) > 0, "signing failed");
    return cert;
}

// Writes through a partial file, so a file is either whole or absent.
template <typename Write>
void WriteFile(const fs::path& path, fs::perms permissions, Write write) {
    const fs::path partial = path.string() + ".partial";
    {
        File file = OpenFile(partial, "w");
        if (!file) Fail("cannot write " + partial.string());
        fs::permissions(partial, permissions);
        Require(write(file.get()), "cannot write PEM");
    }
    fs::rename(partial, path);
}

void WriteKey(const fs::path& path, EVP_PKEY* key) {
    WriteFile(path, fs::perms::owner_read | fs::perms::owner_write, [key](FILE* file) {
        return PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    });
}

void WriteCerts(const fs::path& path, std::initializer_list<X509*> certs) {
    const fs::perms readable = fs::perms::owner_read | fs::perms::owner_write |
                               fs::perms::group_read | fs::perms::others_read;
    WriteFile(path, readable, [certs](FILE* file) {
        for (X509* cert : certs) {
            if (PEM_write_X509(file, cert) != 1) return false;
        }
        return true;
    });
}

// Whether a CA of ours carries every limit the inbox gives its CA now: name
// constraints that exclude the subdomains of localhost, and server
// authentication as its only use. An older one is replaced.
bool LimitedToLoopbackServers(X509* ca) {
    const auto* constraints = static_cast<NAME_CONSTRAINTS*>(
        X509_get_ext_d2i(ca, NID_name_constraints, nullptr, nullptr));
    const bool excludes = constraints && constraints->excludedSubtrees &&
                          sk_GENERAL_SUBTREE_num(constraints->excludedSubtrees) > 0;
    NAME_CONSTRAINTS_free(const_cast<NAME_CONSTRAINTS*>(constraints));
    return excludes && (X509_get_extension_flags(ca) & EXFLAG_XKUSAGE) &&
           X509_get_extended_key_usage(ca) == XKU_SSL_SERVER;
}

}  // namespace

TlsFiles EnsureTlsFiles(const fs::path& folder) {
    const TlsFiles files{folder / "ca.pem", folder / "server.pem", folder / "server.key"};
    const fs::path caKeyPath = folder / "ca.key";
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all);

    Cert ca = ReadCert(files.caCert);
    Key caKey = ReadKey(caKeyPath);
    const bool unconstrained = ca && !LimitedToLoopbackServers(ca.get());
    if (unconstrained) {
        std::fprintf(stderr,
                     "pushnote-inbox: replacing the development CA by one limited to localhost, "
                     "127.0.0.0/8 and ::1: trust %s again and remove the old one\n",
                     files.caCert.c_str());
    }
    if (unconstrained || !Current(ca.get()) || !caKey ||
        X509_check_private_key(ca.get(), caKey.get()) != 1) {
        caKey = NewKey();
        ca = NewCert(caKey.get(), "pushnote-inbox development CA", kCaDays, nullptr, nullptr);
        WriteKey(caKeyPath, caKey.get());
        WriteCerts(files.caCert, {ca.get()});
        fs::remove(files.serverCert);
    }

    Cert server = ReadCert(files.serverCert);
    Key serverKey = ReadKey(files.serverKey);
    const bool signedByCa = server && X509_check_issued(ca.get(), server.get()) == X509_V_OK;
    if (!Current(server.get()) || !signedByCa || !serverKey ||
        X509_check_private_key(server.get(), serverKey.get()) != 1) {
        serverKey = NewKey();
        server = NewCert(serverKey.get(), "localhost", kServerDays, ca.get(), caKey.get());
        WriteKey(files.serverKey, serverKey.get());
        WriteCerts(files.serverCert, {server.get(), ca.get()});
    }
    return files;
}

}  // namespace pushnote::inbox
