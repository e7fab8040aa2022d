// SPDX-License-Identifier: GPL-3.0-or-later
#include "MqttTls.h"

#include <openssl/bio.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <ctime>
#include <utility>

namespace {

constexpr const char *kCaPath = "/etc/ssl/certs"; // Debian's store of trusted authorities

std::string nameText(const X509_NAME *name)
{
    BIO *bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253);
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string text(data, std::size_t(size));
    BIO_free(bio);
    return text;
}

std::string timeText(const ASN1_TIME *time)
{
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return "an unreadable date";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

// The DNS names and addresses of the certificate, else its common name.
std::string namesOf(X509 *cert)
{
    std::string names;
    const auto add = [&](const std::string &name) { names += (names.empty() ? "" : ", ") + name; };
    if (auto *san = static_cast<GENERAL_NAMES *>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr))) {
        for (int i = 0; i < sk_GENERAL_NAME_num(san); ++i) {
            const GENERAL_NAME *n = sk_GENERAL_NAME_value(san, i);
            if (n->type == GEN_DNS) {
                add(std::string(reinterpret_cast<const char *>(ASN1_STRING_get0_data(n->d.dNSName)),
                                std::size_t(ASN1_STRING_length(n->d.dNSName))));
            } else if (n->type == GEN_IPADD) {
                char text[INET6_ADDRSTRLEN] = {};
                const int length = ASN1_STRING_length(n->d.iPAddress);
                if (inet_ntop(length == 4 ? AF_INET : AF_INET6, ASN1_STRING_get0_data(n->d.iPAddress), text,
                              sizeof text))
                    add(text);
            }
        }
        GENERAL_NAMES_free(san);
    }
    if (names.empty()) {
        char cn[256] = {};
        if (X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, cn, sizeof cn) > 0)
            add(cn);
    }
    return names.empty() ? "no name" : names;
}

} // namespace

std::string certificateProblem(const CertificateCheck &c, const std::string &host, const std::string &trusted)
{
    const std::string which = c.depth == 0 ? "the broker's certificate (" + c.subject + ")"
                                           : "the certificate of the authority " + c.subject + " in the broker's chain";
    switch (c.error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return which + " signs itself and is not trusted by " + trusted + ": give it with --mqtt-ca";
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return which + " is signed by an unknown authority (" + c.issuer + "), not one trusted by " + trusted +
               ": give that authority with --mqtt-ca";
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return which + " expired on " + c.notAfter;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return which + " is valid only from " + c.notBefore + ": is this machine's clock right?";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "the host name does not match: the broker's certificate is for " + c.names + ", not for " + host +
               ", the host of --mqtt";
    default:
        return which + " was refused: " + X509_verify_cert_error_string(c.error);
    }
}

MqttTls::~MqttTls()
{
    if (context_)
        SSL_CTX_free(context_);
}

std::string MqttTls::setUp(const std::string &caFile, const std::string &host)
{
    host_ = host;
    trusted_ = caFile.empty() ? std::string("the system's store ") + kCaPath : caFile;
    context_ = SSL_CTX_new(TLS_client_method());
    if (!context_)
        return "TLS cannot be set up";
    const int loaded = caFile.empty() ? SSL_CTX_load_verify_locations(context_, nullptr, kCaPath)
                                      : SSL_CTX_load_verify_locations(context_, caFile.c_str(), nullptr);
    if (loaded != 1)
        return caFile.empty() ? "the system's certificate store " + std::string(kCaPath) + " cannot be used"
                              : "the certificate file " + caFile + " cannot be read";
    SSL_CTX_set_app_data(context_, this);
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, verify);
    X509_VERIFY_PARAM *param = SSL_CTX_get0_param(context_);
    unsigned char address[16];
    const bool isAddress =
        inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
    if ((isAddress ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str())
                   : X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size())) != 1)
        return "the broker's name " + host + " cannot be checked";
    return {};
}

std::string MqttTls::takeFailure()
{
    std::lock_guard lock(mutex_);
    return std::exchange(failure_, std::string());
}

int MqttTls::verify(int ok, X509_STORE_CTX *store)
{
    if (ok)
        return 1;
    auto *ssl = static_cast<SSL *>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto *self = static_cast<MqttTls *>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    CertificateCheck check;
    check.error = X509_STORE_CTX_get_error(store);
    check.depth = X509_STORE_CTX_get_error_depth(store);
    if (X509 *cert = X509_STORE_CTX_get_current_cert(store)) {
        check.subject = nameText(X509_get_subject_name(cert));
        check.issuer = nameText(X509_get_issuer_name(cert));
        check.names = namesOf(cert);
        check.notAfter = timeText(X509_get0_notAfter(cert));
        check.notBefore = timeText(X509_get0_notBefore(cert));
    }
    std::lock_guard lock(self->mutex_);
    self->failure_ = certificateProblem(check, self->host_, self->trusted_);
    return 0;
}
