// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TLS for the broker's connection: an OpenSSL context of our own, handed to
// libmosquitto, that trusts the authority of --mqtt-ca (or the system's
// store) and checks the broker's name. Its check records why a certificate
// was refused, so the message says which check failed and about which
// certificate, where libmosquitto's own says only "certificate verify
// failed" for an unknown authority, an expired certificate and a wrong name
// alike.
//
// The check runs on libmosquitto's threads; the reason is kept under a
// mutex. No Qt here.

#include <mutex>
#include <string>

struct ssl_ctx_st;

// What the failed check found: OpenSSL's verification error, the position of
// the certificate in the chain (0: the broker's own) and what it says.
struct CertificateCheck {
    int error = 0;
    int depth = 0;
    std::string subject;  // "CN=broker.example"
    std::string issuer;   // who signed it
    std::string names;    // the names it is valid for: "broker.example, 10.0.0.2"
    std::string notAfter; // its end of validity, "2025-01-31 12:00:00 UTC"
    std::string notBefore;
};

// The message for a refused certificate, `host` the name connected to and
// `trusted` what was trusted ("/etc/breezon/ca.pem" or the system's store).
std::string certificateProblem(const CertificateCheck &check, const std::string &host, const std::string &trusted);

class MqttTls {
public:
    MqttTls() = default;
    ~MqttTls();
    MqttTls(const MqttTls &) = delete;
    MqttTls &operator=(const MqttTls &) = delete;

    // Makes the context: trusts `caFile` (empty: the system's store) and
    // wants a certificate for `host`. The reason when it cannot be made.
    std::string setUp(const std::string &caFile, const std::string &host);
    ssl_ctx_st *context() const { return context_; }

    // Why the broker's certificate was refused since the last call; empty
    // when no check failed (the failure was something else).
    std::string takeFailure();

private:
    static int verify(int ok, struct x509_store_ctx_st *store);

    ssl_ctx_st *context_ = nullptr;
    std::string host_;
    std::string trusted_;
    std::mutex mutex_;
    std::string failure_;
};
