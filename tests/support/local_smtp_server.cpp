#include "local_smtp_server.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
bool run(const QStringList& arguments, const QString& folder) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), arguments);
    p.waitForFinished(60000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << "openssl" << arguments << p.readAll();
        return false;
    }
    return true;
}

QString sourceDir() {
    return QStringLiteral(PARLIVO_SOURCE_DIR);
}
} // namespace

TestCertificates::TestCertificates() {
    const QString dir = dir_.path();
    const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
    // A certificate `name`.pem for CN=smtp.gmail.com, signed by the test CA, with the given
    // subjectAltName.
    const auto signedByTestCa = [&](const QString& name, const QByteArray& altNames) {
        QFile ext(dir + "/" + name + ".cnf");
        ext.open(QIODevice::WriteOnly);
        ext.write("subjectAltName=" + altNames + "\n");
        ext.close();
        return run(QStringList{"req"} + ec +
                       QStringList{"-keyout", name + ".key", "-out", name + ".csr", "-subj",
                                   "/CN=smtp.gmail.com"},
                   dir) &&
               run({"x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                    "-CAcreateserial", "-out", name + ".pem", "-days", "2", "-extfile",
                    name + ".cnf"},
                   dir);
    };
    ok_ = run(QStringList{"req", "-x509"} + ec +
                  QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                              "/CN=Test CA"},
              dir) &&
          signedByTestCa("server", "DNS:smtp.gmail.com,DNS:imap.gmail.com") &&
          signedByTestCa("san-other", "DNS:other.example") &&
          run(QStringList{"req", "-x509"} + ec +
                  QStringList{"-keyout", "other.key", "-out", "other.pem", "-days", "2", "-subj",
                              "/CN=Other CA"},
              dir);
}

LocalSmtpServer::LocalSmtpServer(const TestCertificates& certificates, const QString& modes,
                                 const QString& script, const QString& certificate) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start("/usr/bin/python3", {sourceDir() + "/tests/routes/email/mail/" + script,
                                        certificates.path(certificate + ".pem"),
                                        certificates.path(certificate + ".key"), modes});
    while (port_ == 0 && process_.waitForReadyRead(10000)) {
        while (process_.canReadLine()) {
            const QByteArray line = process_.readLine().trimmed();
            if (line.startsWith("PORT "))
                port_ = line.mid(5).toInt();
        }
    }
}

LocalSmtpServer::~LocalSmtpServer() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(3000))
        process_.kill();
    process_.waitForFinished(1000);
}

std::optional<ReceivedMail> LocalSmtpServer::readRecord(int waitMs) {
    for (;;) {
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(waitMs))
                return std::nullopt;
        const QByteArray line = process_.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.contains("command")) {
            commands_ << o["command"].toString();
            continue;
        }
        ReceivedMail mail{o["mail_from"].toString(),
                          {},
                          QByteArray::fromBase64(o["data"].toString().toLatin1()),
                          o["decoded"].toObject().toVariantMap()};
        for (const QJsonValue& v : o["rcpt_tos"].toArray())
            mail.recipients << v.toString();
        return mail;
    }
}

std::optional<ReceivedMail> LocalSmtpServer::nextMessage(int waitMs) {
    if (!messages_.isEmpty())
        return messages_.takeFirst();
    return readRecord(waitMs);
}

QStringList LocalSmtpServer::commands(int quietMs) {
    while (const auto mail = readRecord(quietMs))
        messages_ << *mail;
    return commands_;
}

mail::MailOptions LocalSmtpServer::clientOptions(const QString& caFile) const {
    mail::MailOptions options;
    options.connectAddress = QStringLiteral("127.0.0.1");
    options.connectPort = quint16(port_);
    options.fallbackPort = 0; // tests that try the submission port say where it is
    options.caFile = caFile;
    options.connectTimeoutMs = 3000;
    options.stallMs = 3000;
    options.deadlineMs = 20000;
    return options;
}
