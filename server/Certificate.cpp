#include "server/Certificate.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "transport/Errors.h"
#include "transport/TlsContext.h"

namespace velmora::server {

namespace {

template <typename T, void (*Free)(T*)>
struct Freer {
    void operator()(T* p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Freer<X509, X509_free>>;
using BignumPtr = std::unique_ptr<BIGNUM, Freer<BIGNUM, BN_free>>;
using NamesPtr = std::unique_ptr<GENERAL_NAMES, Freer<GENERAL_NAMES, GENERAL_NAMES_free>>;

[[noreturn]] void fail(const std::string& what) {
    throw VelmoraError(what + ": " + takeTlsErrors());
}

bool isIpv4(const std::string& name) {
    in_addr address{};
    return inet_pton(AF_INET, name.c_str(), &address) == 1;
}

// Letters, digits and hyphens in dot-separated labels: nothing else may reach the certificate.
bool isHostName(const std::string& name) {
    if (name.empty() || name.size() > 253 || name.front() == '.' || name.back() == '.') return false;
    size_t label = 0;
    for (char c : name) {
        if (c == '.') {
            if (label == 0) return false;
            label = 0;
            continue;
        }
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (!ok || ++label > 63) return false;
    }
    return true;
}

void addExtension(X509* certificate, int nid, const std::string& value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, certificate, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!extension || X509_add_ext(certificate, extension, -1) != 1) {
        X509_EXTENSION_free(extension);
        fail("cannot add a certificate extension");
    }
    X509_EXTENSION_free(extension);
}

CertPtr selfSigned(EVP_PKEY* key, const CertificateRequest& request) {
    CertPtr certificate(X509_new());
    if (!certificate) fail("cannot make a certificate");
    X509* x = certificate.get();
    X509_set_version(x, 2);
    BignumPtr serial(BN_new());
    if (!serial || BN_rand(serial.get(), 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1 ||
        !BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(x)))
        fail("cannot make a serial number");
    // A few minutes back, for a client whose clock runs a little behind.
    X509_gmtime_adj(X509_getm_notBefore(x), -300);
    X509_time_adj_ex(X509_getm_notAfter(x), request.days, 0, nullptr);
    X509_set_pubkey(x, key);
    X509_NAME* subject = X509_get_subject_name(x);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(request.names.front().c_str()), -1, -1,
                               0);
    X509_set_issuer_name(x, subject);
    std::string alternatives;
    for (const std::string& name : request.names)
        alternatives += (alternatives.empty() ? "" : ",") + std::string(isIpv4(name) ? "IP:" : "DNS:") + name;
    addExtension(x, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(x, NID_key_usage, "critical,digitalSignature");
    addExtension(x, NID_ext_key_usage, "serverAuth");
    addExtension(x, NID_subject_alt_name, alternatives);
    addExtension(x, NID_subject_key_identifier, "hash");
    if (X509_sign(x, key, EVP_sha256()) == 0) fail("cannot sign the certificate");
    return certificate;
}

// Writes a PEM file under a temporary name in its folder with mode, then renames it into place.
template <typename Write>
void writeFileAtomically(const std::string& path, mode_t mode, Write write) {
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());  // mode 0600 from the start
    if (fd < 0) throw VelmoraError(formatText("cannot write %s: %s", path.c_str(), std::strerror(errno)));
    FILE* file = ::fdopen(fd, "w");
    bool written =
        file && ::fchmod(fd, mode) == 0 && write(file) == 1 && std::fflush(file) == 0 && ::fsync(fd) == 0;
    int error = errno;
    if (file)
        std::fclose(file);
    else
        ::close(fd);
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        if (written) error = errno;
        ::unlink(temporary.c_str());
        throw VelmoraError(formatText("cannot write %s: %s", path.c_str(), std::strerror(error)));
    }
}

std::string utcText(const ASN1_TIME* time) {
    std::tm parts{};
    if (ASN1_TIME_to_tm(time, &parts) != 1) return "?";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

}  // namespace

std::string createSelfSignedCertificate(const CertificateRequest& request) {
    if (request.names.empty()) throw VelmoraError("a certificate needs at least one name");
    for (const std::string& name : request.names)
        if (!isIpv4(name) && !isHostName(name))
            throw VelmoraError(formatText("'%s' is neither a host name nor an IPv4 address", name.c_str()));
    for (const std::string* path : {&request.certificateFile, &request.keyFile}) {
        struct stat info {};
        if (::stat(path->c_str(), &info) == 0)
            throw VelmoraError(
                formatText("%s exists already; a new certificate makes every client that trusted "
                           "the old one refuse the server until it is trusted again. Remove or "
                           "move it first to replace it",
                           path->c_str()));
    }
    ERR_clear_error();
    KeyPtr key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    if (!key) fail("cannot make a P-256 key");
    CertPtr certificate = selfSigned(key.get(), request);
    writeFileAtomically(request.keyFile, 0600, [&](FILE* f) {
        return PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    writeFileAtomically(request.certificateFile, 0644,
                        [&](FILE* f) { return PEM_write_X509(f, certificate.get()); });
    return certificateFingerprint(certificate.get());
}

CertificateInfo readCertificate(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) throw VelmoraError(formatText("cannot read %s: %s", path.c_str(), std::strerror(errno)));
    ERR_clear_error();
    CertPtr certificate(PEM_read_X509(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    if (!certificate) fail(path + " holds no PEM certificate");
    X509* x = certificate.get();
    CertificateInfo info;
    char subject[512] = "";
    X509_NAME_oneline(X509_get_subject_name(x), subject, sizeof subject);
    info.subject = subject;
    NamesPtr names(static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(x, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; names && i < sk_GENERAL_NAME_num(names.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(names.get(), i);
        if (name->type == GEN_DNS) {
            const ASN1_IA5STRING* dns = name->d.dNSName;
            info.names.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                                    static_cast<size_t>(ASN1_STRING_length(dns)));
        } else if (name->type == GEN_IPADD && ASN1_STRING_length(name->d.iPAddress) == 4) {
            char text[INET_ADDRSTRLEN] = "";
            inet_ntop(AF_INET, ASN1_STRING_get0_data(name->d.iPAddress), text, sizeof text);
            info.names.emplace_back(text);
        }
    }
    info.notAfter = utcText(X509_get0_notAfter(x));
    info.expired = X509_cmp_current_time(X509_get0_notAfter(x)) < 0;
    info.fingerprint = certificateFingerprint(x);
    return info;
}

}  // namespace velmora::server
