#pragma once
// The server's own certificate: made self-signed on this machine, and described.

#include <string>
#include <vector>

namespace velmora::server {

struct CertificateRequest {
    std::vector<std::string> names;  // host names or IPv4 addresses; the first is the subject
    int days = 825;
    std::string certificateFile;
    std::string keyFile;
};

// Makes a self-signed certificate with a new P-256 key and returns its SHA-256 fingerprint. The
// key is written readable by its owner alone, each file under a temporary name first and renamed
// when complete. Refuses names that are neither a host name nor an IPv4 address, and files that
// exist already (a new certificate makes every client that trusted the old one refuse it).
std::string createSelfSignedCertificate(const CertificateRequest& request);

struct CertificateInfo {
    std::string subject;
    std::vector<std::string> names;  // its subject alternative names: host names and addresses
    std::string notAfter;            // "YYYY-MM-DD HH:MM:SS UTC"
    bool expired = false;
    std::string fingerprint;
};

// Reads the first certificate of a PEM file; fails with a message naming the file.
CertificateInfo readCertificate(const std::string& path);

}  // namespace velmora::server
