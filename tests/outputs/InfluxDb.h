// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real InfluxDB 1.x (Debian's influxdb) for the tests, on 127.0.0.1 on
// free ports, with its files in a folder of its own, and its HTTP API:
// lines written as a client writes them, queries answered as JSON.

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QFile>
#include <QUrl>

#include "Ports.h"

class InfluxDb {
public:
    static bool installed() { return !QStandardPaths::findExecutable(QStringLiteral("influxd")).isEmpty(); }

    ~InfluxDb()
    {
        process_.terminate();
        if (!process_.waitForFinished(10000))
            process_.kill();
    }

    // Starts the server and makes the database `db`; its log when it fails.
    bool start(const QString &db, QByteArray *log)
    {
        db_ = db;
        httpPort_ = freePort();
        QFile conf(dir_.filePath(QStringLiteral("influxdb.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("reporting-disabled = true\n"
                                  "bind-address = \"127.0.0.1:%1\"\n"
                                  "[meta]\n  dir = \"%2/meta\"\n"
                                  "[data]\n  dir = \"%2/data\"\n  wal-dir = \"%2/wal\"\n  query-log-enabled = false\n"
                                  "[monitor]\n  store-enabled = false\n"
                                  "[http]\n  bind-address = \"127.0.0.1:%3\"\n  log-enabled = false\n"
                                  "[continuous_queries]\n  enabled = false\n"
                                  "[logging]\n  level = \"error\"\n")
                       .arg(freePort())
                       .arg(dir_.path())
                       .arg(httpPort_)
                       .toUtf8());
        conf.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("influxd"), {QStringLiteral("run"), QStringLiteral("-config"), conf.fileName()});
        for (int i = 0; i < 200; ++i) {
            if (request(QStringLiteral("/ping"), {}, {}, true).first == 204)
                return request(QStringLiteral("/query"), {}, "q=CREATE DATABASE " + db.toUtf8()).first == 200;
            if (process_.state() == QProcess::NotRunning)
                break;
            QThread::msleep(50);
        }
        *log = process_.readAll();
        return false;
    }

    // Writes lines of the line protocol; the HTTP status and InfluxDB's answer.
    std::pair<int, QByteArray> write(const QByteArray &lines)
    {
        return request(QStringLiteral("/write"),
                       {{QStringLiteral("db"), db_}, {QStringLiteral("precision"), QStringLiteral("ns")}}, lines);
    }
    // The first series of the answer to an InfluxQL query, as JSON.
    QJsonObject query(const QString &q)
    {
        const auto [status, body] =
            request(QStringLiteral("/query"), {{QStringLiteral("db"), db_}, {QStringLiteral("q"), q}}, {}, true);
        return QJsonDocument::fromJson(body)["results"][0]["series"][0].toObject();
    }

private:
    // One HTTP/1.0 exchange on a socket of this thread: the server answers and
    // closes. (QNetworkAccessManager would talk from a thread of Qt's, which
    // ThreadSanitizer cannot follow through Qt's own locks.)
    std::pair<int, QByteArray> request(const QString &path, const QList<std::pair<QString, QString>> &items,
                                       const QByteArray &body, bool get = false)
    {
        QByteArray target = path.toUtf8();
        for (const auto &[key, value] : items)
            target += (target.contains('?') ? '&' : '?') + key.toUtf8() + '=' + QUrl::toPercentEncoding(value);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(httpPort_));
        if (!socket.waitForConnected(5000))
            return {0, socket.errorString().toUtf8()};
        socket.write((get ? "GET " : "POST ") + target + " HTTP/1.0\r\n"
                     "Content-Type: application/x-www-form-urlencoded\r\n"
                     "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        QByteArray answer;
        while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000))
            answer += socket.readAll();
        answer += socket.readAll();
        const qsizetype headEnd = answer.indexOf("\r\n\r\n");
        if (!answer.startsWith("HTTP/") || headEnd < 0)
            return {0, answer};
        return {answer.split(' ').value(1).toInt(), answer.mid(headEnd + 4)};
    }

    QTemporaryDir dir_;
    QProcess process_;
    QString db_;
    int httpPort_ = -1;
};
