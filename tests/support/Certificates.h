// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Certificates for a TLS broker, made by openssl (Debian's openssl) in a
// folder of their own.

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A certificate authority and broker certificates made here: one for
// 127.0.0.1 and one for another name, both signed by the authority, and an
// authority that signed neither.
class Certificates {
public:
    bool make()
    {
        return issue(QStringLiteral("ca"), QStringLiteral("breezon test CA"), {}, false) &&
               issue(QStringLiteral("other-ca"), QStringLiteral("another CA"), {}, false) &&
               issue(QStringLiteral("good"), QStringLiteral("127.0.0.1"), QStringLiteral("IP:127.0.0.1"), true) &&
               issue(QStringLiteral("wrong-name"), QStringLiteral("broker.example"),
                     QStringLiteral("DNS:broker.example"), true);
    }
    QString path(const QString &name) const { return dir_.filePath(name); }

private:
    bool issue(const QString &name, const QString &subject, const QString &names, bool signedByCa)
    {
        QStringList args = {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                            QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                            QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-keyout"),
                            path(name + QStringLiteral(".key")), QStringLiteral("-out"),
                            path(name + QStringLiteral(".pem")), QStringLiteral("-subj"),
                            QStringLiteral("/CN=") + subject};
        if (signedByCa)
            args << QStringLiteral("-addext") << QStringLiteral("subjectAltName=") + names
                 << QStringLiteral("-addext") << QStringLiteral("basicConstraints=critical,CA:FALSE")
                 << QStringLiteral("-CA") << path(QStringLiteral("ca.pem")) << QStringLiteral("-CAkey")
                 << path(QStringLiteral("ca.key"));
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"), args);
        return openssl.waitForFinished(10000) && openssl.exitCode() == 0;
    }
    QTemporaryDir dir_;
};
