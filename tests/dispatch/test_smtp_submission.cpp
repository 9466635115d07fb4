// The real mail layer against a local SMTP server with implicit TLS and a test CA.
#include "form_fixture.h"
#include "platform/curl_mail_submitter.h"
#include "recipients/list_rows.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTcpServer>
#include <QTest>
#include <QTreeWidget>

using platform::MailFailure;
using platform::MailMessage;

namespace {

struct Received {
    QString mailFrom;
    QStringList recipients;
    QByteArray data;
};

// One run of the test server script.
class TestServer {
public:
    TestServer(const QString& folder, const QString& mode) {
        const QString script = QString::fromLocal8Bit(qgetenv("PARLIVO_SOURCE_DIR")) +
                               "/tests/dispatch/smtp_test_server.py";
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start("/usr/bin/python3", {script, folder + "/server.pem",
                                           folder + "/server.key", mode});
        while (port == 0 && process.waitForReadyRead(10000)) {
            const QByteArray line = process.readLine().trimmed();
            if (line.startsWith("PORT "))
                port = line.mid(5).toInt();
        }
    }
    ~TestServer() {
        process.closeWriteChannel();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(1000);
    }
    std::optional<Received> nextMessage() {
        QByteArray line;
        while (line.trimmed().isEmpty()) {
            while (!process.canReadLine())
                if (!process.waitForReadyRead(5000))
                    return std::nullopt;
            line = process.readLine();
        }
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        Received r{o["mail_from"].toString(), {}, QByteArray::fromBase64(o["data"].toString().toLatin1())};
        for (const QJsonValue& v : o["rcpt_tos"].toArray())
            r.recipients << v.toString();
        return r;
    }
    QProcess process;
    int port = 0;
};

QString headerValue(const QByteArray& data, const QByteArray& name) {
    const QByteArray head = data.left(data.indexOf("\r\n\r\n"));
    QByteArray unfolded = head;
    unfolded.replace("\r\n ", " ");
    for (const QByteArray& line : unfolded.split('\n'))
        if (line.startsWith(name + ": "))
            return QString::fromUtf8(line.mid(name.size() + 2).trimmed());
    return {};
}

// The decoded bodies of the parts, by content type.
QMap<QByteArray, QString> partsOf(const QByteArray& data) {
    QMap<QByteArray, QString> parts;
    for (const QByteArray& type : {QByteArray("text/plain"), QByteArray("text/html")}) {
        const qsizetype header = data.indexOf("Content-Type: " + type);
        const qsizetype start = data.indexOf("\r\n\r\n", header) + 4;
        const qsizetype end = data.indexOf("\r\n--", start);
        parts[type] = QString::fromUtf8(QByteArray::fromBase64(data.mid(start, end - start)));
    }
    return parts;
}

bool run(const QString& program, const QStringList& arguments, const QString& folder) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    p.waitForFinished(60000);
    if (p.exitCode() != 0)
        qWarning() << p.readAll();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class TestSmtpSubmission : public QObject {
    Q_OBJECT
    QTemporaryDir certificates;
    std::unique_ptr<TestServer> server;

    platform::CurlMailOptions optionsFor(int port, const QString& ca = "ca.pem") const {
        platform::CurlMailOptions options;
        options.connectTo = {QStringLiteral("smtp.gmail.com:465:127.0.0.1:%1").arg(port)};
        options.caFile = certificates.filePath(ca);
        options.connectTimeoutSeconds = 3;
        options.stallSeconds = 3;
        return options;
    }
    static MailMessage message(const QStringList& recipients) {
        MailMessage m;
        m.userAddress = "ann@gmail.com";
        m.password = "secret";
        m.recipients = recipients;
        m.toHeader = recipients.join(',');
        m.subject = "Hello";
        m.body = "Body";
        return m;
    }

private slots:
    void initTestCase() {
        const QString dir = certificates.path();
        const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        QVERIFY(run("openssl", QStringList{"req", "-x509"} + ec +
                                   QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
                                               "-subj", "/CN=Test CA"}, dir));
        QVERIFY(run("openssl", QStringList{"req"} + ec +
                                   QStringList{"-keyout", "server.key", "-out", "server.csr",
                                               "-subj", "/CN=smtp.gmail.com"}, dir));
        QFile ext(dir + "/ext.cnf");
        QVERIFY(ext.open(QIODevice::WriteOnly));
        ext.write("subjectAltName=DNS:smtp.gmail.com\n");
        ext.close();
        QVERIFY(run("openssl", {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey",
                                "ca.key", "-CAcreateserial", "-out", "server.pem", "-days", "2",
                                "-extfile", "ext.cnf"}, dir));
        QVERIFY(run("openssl", QStringList{"req", "-x509"} + ec +
                                   QStringList{"-keyout", "other.key", "-out", "other.pem",
                                               "-days", "2", "-subj", "/CN=Other CA"}, dir));
        server = std::make_unique<TestServer>(dir, "normal");
        QVERIFY2(server->port > 0, "the test server did not start");
    }
    void cleanupTestCase() { server.reset(); }

    void send_throughTheWindow_deliversEverythingAndLogs() {
        platform::CurlMailSubmitter submitter(optionsFor(server->port));
        FormFixture f;
        f.submitter = &submitter;
        app::Form1& form = f.open();
        form.ListView2->clear();
        recipients::appendCarrier(form.ListView2, "a.example", true);
        recipients::appendCarrier(form.ListView2, "skip.example", false);
        recipients::appendCarrier(form.ListView2, "b.example", true);
        recipients::appendRows(form.ListView1, {"5555550100", "5555550199"});
        form.Text3->setText(" ann ");
        form.Text2->setText("secret ");
        form.Text4->setText(QString::fromUtf8("Grüße 😀"));
        form.Text5->setPlainText(QString::fromUtf8("Héllo\nsecond line <b>"));
        form.PushButton1_Click();
        QCOMPARE(f.desktop.boxTexts(), QStringList({"Done."}));

        const auto received = server->nextMessage();
        QVERIFY(received.has_value());
        QCOMPARE(received->mailFrom, QStringLiteral("ann@gmail.com"));
        const QStringList expected{"5555550100@a.example", "5555550100@b.example",
                                   "5555550199@a.example", "5555550199@b.example"};
        QCOMPARE(received->recipients, expected);
        const QByteArray& data = received->data;
        QCOMPARE(headerValue(data, "From"), QStringLiteral("ann@gmail.com"));
        QCOMPARE(headerValue(data, "To"), expected.join(','));
        QCOMPARE(headerValue(data, "Reply-To"), QStringLiteral("ann@gmail.com"));
        QCOMPARE(headerValue(data, "Organization"), QStringLiteral("Organization"));
        QVERIFY(headerValue(data, "Subject").startsWith(QLatin1String("=?UTF-8?B?")));
        QVERIFY(!headerValue(data, "Date").isEmpty());
        QVERIFY(!headerValue(data, "Message-ID").isEmpty());
        const auto parts = partsOf(data);
        QCOMPARE(parts["text/plain"], QString::fromUtf8("Héllo\r\nsecond line <b>"));
        QCOMPARE(parts["text/html"], QString::fromUtf8("Héllo\r\nsecond line <b>"));

        QFile log(f.programFolder() + "/sentmessages.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray record = log.readAll();
        QVERIFY(record.contains("\r\nTo: 5555550100,5555550199\r\nSubject:" +
                                QString::fromUtf8("Grüße 😀").toUtf8() + "\r\nBody:"));
        QVERIFY(record.endsWith("second line <b>\r\n\r\n\r\n"));
    }

    void over100_answeredYes_reachesEveryRecipient() {
        platform::CurlMailSubmitter submitter(optionsFor(server->port));
        FormFixture f;
        f.submitter = &submitter;
        app::Form1& form = f.open();
        QStringList phones;
        for (int i = 0; i < 101; ++i)
            phones << QStringLiteral("555%1").arg(i, 7, 10, QLatin1Char('0'));
        form.ListView2->clear();
        recipients::appendCarrier(form.ListView2, "a.example", true);
        recipients::appendRows(form.ListView1, phones);
        form.Text3->setText("ann");
        form.Text2->setText("secret");
        f.desktop.answers = {platform::Answer::No, platform::Answer::Yes};
        form.PushButton1_Click();
        QCOMPARE(f.desktop.boxes.size(), 1);
        form.PushButton1_Click();
        QCOMPARE(f.desktop.boxes.last().text, QStringLiteral("Done."));
        const auto received = server->nextMessage();
        QVERIFY(received.has_value());
        QCOMPARE(received->recipients.size(), 101);
        QCOMPARE(received->recipients.last(), phones.last() + "@a.example");
    }

    void refusals_mapToTheirKinds_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("replyPart");
        QTest::newRow("refused login") << "wrong" << QStringList({"1@a.example"})
                                       << int(MailFailure::NotDelivered) << "535";
        QTest::newRow("550 recipient") << "secret"
                                       << QStringList({"1@a.example", "reject550@a.example"})
                                       << int(MailFailure::RecipientsRefused) << "550";
        QTest::newRow("452 too many") << "secret" << QStringList({"toomany@a.example"})
                                      << int(MailFailure::RecipientsRefused) << "452 4.5.3";
        QTest::newRow("no recipient") << "secret" << QStringList() << int(MailFailure::General)
                                      << "no recipients";
        QTest::newRow("line break in subject") << "secret" << QStringList({"1@a.example"})
                                               << int(MailFailure::General) << "line break";
    }
    void refusals_mapToTheirKinds() {
        QFETCH(QString, password);
        QFETCH(QStringList, recipients);
        QFETCH(int, failure);
        QFETCH(QString, replyPart);
        platform::CurlMailSubmitter submitter(optionsFor(server->port));
        MailMessage m = message(recipients);
        m.password = password;
        if (replyPart == "line break")
            m.subject = "Hi\r\nBcc: someone@example.com";
        const auto result = submitter.submit(m);
        QCOMPARE(int(result.failure), failure);
        QVERIFY2(result.description.contains(replyPart), qPrintable(result.description));
    }

    void nothingListening_isNotDelivered() {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const int port = probe.serverPort();
        probe.close();
        platform::CurlMailSubmitter submitter(optionsFor(port));
        QCOMPARE(submitter.submit(message({"1@a.example"})).failure, MailFailure::NotDelivered);
    }

    void untrustedCertificate_isNotDelivered() {
        platform::CurlMailSubmitter submitter(optionsFor(server->port, "other.pem"));
        const auto result = submitter.submit(message({"1@a.example"}));
        QCOMPARE(result.failure, MailFailure::NotDelivered);
        QVERIFY2(result.description.contains(QLatin1String("certificate")),
                 qPrintable(result.description));
    }

    void silentServer_endsTheSendInBoundedTime() {
        TestServer silent(certificates.path(), "stall");
        QVERIFY(silent.port > 0);
        platform::CurlMailSubmitter submitter(optionsFor(silent.port));
        QElapsedTimer timer;
        timer.start();
        const auto result = submitter.submit(message({"1@a.example"}));
        QCOMPARE(result.failure, MailFailure::NotDelivered);
        QVERIFY2(timer.elapsed() < 30000, "a silent server held the send");
    }
};

QTEST_MAIN(TestSmtpSubmission)
#include "test_smtp_submission.moc"
