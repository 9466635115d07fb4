#include "local_dovecot.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {
int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}
} // namespace

LocalDovecot::LocalDovecot(const TestCertificates& certificates,
                           const QList<QByteArray>& messages) {
    const QString lab = lab_.path();
    QFile::setPermissions(lab, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                   QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                   QFile::ExeGroup);
    for (const char* folder : {"mail/ann/cur", "mail/ann/new", "mail/ann/tmp", "run", "state"})
        QDir(lab).mkpath(QLatin1String(folder));
    for (qsizetype i = 0; i < messages.size(); ++i)
        write(QStringLiteral("%1/mail/ann/new/%2.M%2P1.lab").arg(lab).arg(1700000000 + i),
              messages[i]);
    write(lab + "/users", "ann@gmail.com:{PLAIN}abcdefghijklmnop\n");

    // As root the mail belongs to nobody, as Dovecot's own users are there; otherwise
    // everything runs as the user running the test.
    QByteArray users;
    uid_t mailUid = getuid();
    gid_t mailGid = getgid();
    if (getuid() == 0) {
        mailUid = 65534;
        mailGid = 65534;
    } else {
        const QByteArray me = getpwuid(getuid())->pw_name;
        const QByteArray group = getgrgid(getgid())->gr_name;
        users = "default_internal_user = " + me + "\ndefault_login_user = " + me +
                "\ndefault_internal_group = " + group + "\n";
    }
    port_ = freePort();
    const QByteArray l = lab.toLocal8Bit();
    write(lab + "/dovecot.conf",
          "base_dir = " + l + "/run\nstate_dir = " + l + "/state\nlog_path = " + l +
              "/dovecot.log\nprotocols = imap\nlisten = 127.0.0.1\nssl = required\n"
              "ssl_cert = <" +
              certificates.path("server.pem").toLocal8Bit() + "\nssl_key = <" +
              certificates.path("server.key").toLocal8Bit() + "\nauth_mechanisms = plain login\n" +
              users + "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + l +
              "/users\n}\nuserdb {\n  driver = static\n  args = uid=" +
              QByteArray::number(mailUid) + " gid=" + QByteArray::number(mailGid) + " home=" + l +
              "/mail/%n\n}\nmail_location = maildir:" + l +
              "/mail/%n\nservice imap-login {\n  inet_listener imap {\n    port = 0\n  }\n"
              "  inet_listener imaps {\n    port = " +
              QByteArray::number(port_) +
              "\n    ssl = yes\n  }\n  chroot =\n}\nservice anvil {\n  chroot =\n}\n");
    if (getuid() == 0)
        QProcess::execute("chown", {"-R", "65534:65534", lab + "/mail"});
    process_.setProcessChannelMode(QProcess::MergedChannels);
    const QString dovecot = QFile::exists("/usr/sbin/dovecot") ? "/usr/sbin/dovecot" : "dovecot";
    process_.start(dovecot, {"-F", "-c", lab + "/dovecot.conf"});
    if (!process_.waitForStarted(5000)) {
        port_ = 0;
        return;
    }
    for (int i = 0; i < 100; ++i) { // listening after some 50 ms
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(port_));
        if (probe.waitForConnected(100))
            return;
        QThread::msleep(50);
    }
    qWarning("dovecot did not start: %s", process_.readAll().constData());
    port_ = 0;
}

LocalDovecot::~LocalDovecot() {
    process_.terminate();
    if (!process_.waitForFinished(3000))
        process_.kill();
    process_.waitForFinished(1000);
}

QStringList LocalDovecot::mailFiles() const {
    QStringList files;
    for (const char* folder : {"new", "cur"})
        for (const QString& name :
             QDir(lab_.path() + "/mail/ann/" + QLatin1String(folder)).entryList(QDir::Files))
            files << QLatin1String(folder) + QLatin1Char('/') + name;
    return files;
}

mail::MailOptions LocalDovecot::clientOptions(const QString& caFile) const {
    mail::MailOptions options = mail::MailOptions();
    options.host = QStringLiteral("imap.gmail.com");
    options.port = 993;
    options.connectAddress = QStringLiteral("127.0.0.1");
    options.connectPort = quint16(port_);
    options.caFile = caFile;
    options.connectTimeoutMs = 5000;
    options.stallMs = 8000;
    options.deadlineMs = 8000;
    return options;
}
