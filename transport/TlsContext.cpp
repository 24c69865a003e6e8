#include "transport/TlsContext.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace velmora {

namespace {

// Forward secrecy and authenticated encryption only, for peers that speak TLS 1.2; TLS 1.3's
// own suites are all of that kind.
constexpr const char* kTls12Ciphers =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:ECDHE-ECDSA-AES256-GCM-SHA384:"
    "ECDHE-RSA-AES256-GCM-SHA384:ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305";

SSL_CTX* newContext(bool server, TlsVersion minVersion) {
    SSL_CTX* ctx = SSL_CTX_new(server ? TLS_server_method() : TLS_client_method());
    if (!ctx) throw TlsError("TLS: " + takeTlsErrors());
    SSL_CTX_set_min_proto_version(ctx, minVersion == TlsVersion::V1_3 ? TLS1_3_VERSION : TLS1_2_VERSION);
    SSL_CTX_set_cipher_list(ctx, kTls12Ciphers);
    // TLS 1.3's own suites, AES-128-GCM first: as strong as the transport needs and the cheapest
    // on processors with AES instructions, which a bulk reply notices.
    SSL_CTX_set_ciphersuites(ctx,
                             "TLS_AES_128_GCM_SHA256:TLS_AES_256_GCM_SHA384:TLS_CHACHA20_POLY1305_SHA256");
    SSL_CTX_set_options(ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_TICKET |
                                 SSL_OP_CIPHER_SERVER_PREFERENCE);
    // Every connection makes a full handshake: no ticket arrives after it that a reader would have
    // to take for data, and a server keeps no session state.
    SSL_CTX_set_num_tickets(ctx, 0);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    // The transport's sockets do not block, and a write that stops halfway goes on from a buffer
    // that may have moved.
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    return ctx;
}

// The system's CAs, read once for the process: parsing the system bundle takes tens of
// milliseconds, which every new connection object's first open would otherwise pay before its
// handshake. Certificates are only added to it here and by OpenSSL's own lookups, under the
// store's lock, so contexts on any thread share it.
X509_STORE* systemStore() {
    static X509_STORE* store = [] {
        X509_STORE* s = X509_STORE_new();
        if (s && X509_STORE_set_default_paths(s) != 1) ERR_clear_error();
        return s;
    }();
    return store;
}

// A store of the system's CAs and the office's own CA file, for one context: the system's are
// taken from the shared store, never parsed again, and the shared store never learns the file's.
X509_STORE* storeWithCaFile(const std::string& caFile) {
    X509_STORE* store = X509_STORE_new();
    if (!store) throw TlsError("TLS: " + takeTlsErrors());
    X509_STORE* system = systemStore();
    if (system) {
        X509_STORE_lock(system);
        STACK_OF(X509_OBJECT)* objects = X509_STORE_get0_objects(system);
        for (int i = 0; i < sk_X509_OBJECT_num(objects); ++i)
            if (X509* certificate = X509_OBJECT_get0_X509(sk_X509_OBJECT_value(objects, i)))
                X509_STORE_add_cert(store, certificate);
        X509_STORE_unlock(system);
    }
    // The system's folder of CAs is looked up by name when a chain needs one, as the shared
    // store does.
    X509_LOOKUP* folder = X509_STORE_add_lookup(store, X509_LOOKUP_hash_dir());
    if (!folder || X509_LOOKUP_add_dir(folder, nullptr, X509_FILETYPE_DEFAULT) != 1) ERR_clear_error();
    if (X509_STORE_load_file(store, caFile.c_str()) != 1) {
        X509_STORE_free(store);
        throw TlsError("无法读取CA证书文件 (cannot read the CA file " + caFile + ": " + takeTlsErrors() +
                       ")");
    }
    return store;
}

}  // namespace

std::string takeTlsErrors() {
    std::string text;
    while (unsigned long code = ERR_get_error()) {
        char line[256];
        ERR_error_string_n(code, line, sizeof line);
        if (!text.empty()) text += "; ";
        const char* reason = ERR_reason_error_string(code);
        text += reason ? reason : line;
    }
    return text.empty() ? "unknown TLS failure" : text;
}

std::string certificateFingerprint(const x509_st* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!certificate || X509_digest(certificate, EVP_sha256(), digest, &length) != 1) return {};
    static const char* hex = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i) text += ':';
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

std::shared_ptr<const TlsContext> TlsContext::forServer(const TlsServerSettings& settings) {
    ERR_clear_error();
    SSL_CTX* ctx = newContext(true, settings.minVersion);
    std::shared_ptr<const TlsContext> context(new TlsContext(ctx, true));
    if (SSL_CTX_use_certificate_chain_file(ctx, settings.certificateFile.c_str()) != 1)
        throw TlsError("cannot use the certificate " + settings.certificateFile + ": " + takeTlsErrors());
    if (SSL_CTX_use_PrivateKey_file(ctx, settings.keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
        throw TlsError("cannot use the private key " + settings.keyFile + ": " + takeTlsErrors());
    if (SSL_CTX_check_private_key(ctx) != 1)
        throw TlsError("the private key " + settings.keyFile + " does not belong to the certificate " +
                       settings.certificateFile);
    return context;
}

std::shared_ptr<const TlsContext> TlsContext::forClient(const TlsClientSettings& settings) {
    ERR_clear_error();
    SSL_CTX* ctx = newContext(false, settings.minVersion);
    std::shared_ptr<const TlsContext> context(new TlsContext(ctx, false));
    // Without the system's CAs, only the CA file and the client's own trust decide.
    if (settings.caFile.empty()) {
        if (X509_STORE* system = systemStore()) SSL_CTX_set1_cert_store(ctx, system);
    } else {
        SSL_CTX_set_cert_store(ctx, storeWithCaFile(settings.caFile));
    }
    // The handshake always ends; whether the certificate is trusted is decided after it, by the CA
    // check's result and the client's own verifier.
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    return context;
}

std::string TlsContext::ownFingerprint() const {
    return certificateFingerprint(SSL_CTX_get0_certificate(ctx_));
}

TlsContext::~TlsContext() {
    SSL_CTX_free(ctx_);
}

}  // namespace velmora
