#include "connectivity/command_output.h"
#include "connectivity/online_check.h"
#include "core/error_report.h"
#include "scripted_desktop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using connectivity::CaptureCommandOutput;

class TestCommandOutput : public QObject {
    Q_OBJECT
    ScriptedDesktop desktop;
    QTemporaryDir dir;

    // A stand-in program: a shell script with the given body.
    QString script(const QString& name, const QByteArray& body) {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

  private slots:
    void streams_areCapturedAsAsked() {
        const QString both = script("both.sh", "echo out; echo err >&2");
        QCOMPARE(CaptureCommandOutput(desktop, both, true, false, true), QStringLiteral("out\n"));
        QCOMPARE(CaptureCommandOutput(desktop, both, false, true, true), QStringLiteral("err\n"));
        const QString merged = CaptureCommandOutput(desktop, both, true, true, true);
        QVERIFY(merged.contains(QLatin1String("out\n")) && merged.contains(QLatin1String("err\n")));
        QCOMPARE(CaptureCommandOutput(desktop, script("quiet.sh", "true"), true, false, true),
                 QString());
    }

    void longOutput_comesBackWholeAndInOrder() {
        const QString many = script("many.sh", "i=0; while [ $i -lt 5000 ]; do echo line$i; "
                                               "i=$((i+1)); done");
        desktop.eventPasses = 0;
        const QStringList lines =
            CaptureCommandOutput(desktop, many, true, false, true).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5000);
        QCOMPARE(lines.first(), QStringLiteral("line0"));
        QCOMPARE(lines[2500], QStringLiteral("line2500"));
        QCOMPARE(lines.last(), QStringLiteral("line4999"));
        QVERIFY(desktop.eventPasses > 0); // the window kept processing events
    }

    void arguments_andClosedInput() {
        QCOMPARE(CaptureCommandOutput(desktop, "/bin/echo \"two words\" x", true, false, true),
                 QStringLiteral("two words x\n"));
        // A child reading its input sees the end at once instead of waiting for ever.
        QCOMPARE(CaptureCommandOutput(desktop, "/bin/cat", true, false, true, 5000), QString());
    }

    void missingProgram_andNeitherStream() {
        QCOMPARE(CaptureCommandOutput(desktop, dir.filePath("nothing-here"), true, false, true),
                 QStringLiteral("Failed to create process, check the path of the command line."));
        QCOMPARE(CaptureCommandOutput(desktop, QString(), true, false, true),
                 connectivity::kCannotStart);
        try {
            CaptureCommandOutput(desktop, "/bin/true", false, false, true);
            QFAIL("no failure");
        } catch (const core::Failure& failure) {
            QCOMPARE(failure.number(), 5L);
            QCOMPARE(failure.description(), QStringLiteral("Invalid procedure call or argument"));
        }
    }

    // The ping and a TCP connection to the mail server are tried together; only when
    // neither answers is the user warned.
    void onlineCheck_data() {
        QTest::addColumn<QByteArray>("ping"); // the stand-in ping's script
        QTest::addColumn<bool>("serverListens");
        QTest::addColumn<bool>("warned");
        const QByteArray reply = "echo '64 bytes from 142.250.1.1: icmp_seq=1 ttl=117'";
        const QByteArray noReply = "echo '1 packets transmitted, 0 received'";
        QTest::newRow("reply") << reply << false << false;
        QTest::newRow("capitals") << QByteArray("echo '64 BYTES FROM somewhere'") << false << false;
        QTest::newRow("no reply, server unreachable") << noReply << false << true;
        QTest::newRow("empty answer") << QByteArray("true") << false << true;
        QTest::newRow("no reply, server reachable") << noReply << true << false;
        QTest::newRow("ping never answers, server reachable")
            << QByteArray("echo PING host; exec sleep 600") << true << false;
        QTest::newRow("ping never answers, server unreachable")
            << QByteArray("echo PING host; exec sleep 600") << false << true;
        QTest::newRow("ping writes without pause")
            << QByteArray("while :; do echo 'no reply yet'; sleep 0.005; done") << false << true;
        QTest::newRow("no ping program") << QByteArray() << false << true;
    }
    void onlineCheck() {
        QFETCH(QByteArray, ping);
        QFETCH(bool, serverListens);
        QFETCH(bool, warned);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const quint16 port = server.serverPort();
        if (!serverListens)
            server.close(); // the port now refuses
        ScriptedDesktop fresh;
        const QString command = ping.isEmpty() ? dir.filePath("no-ping") : script("ping.sh", ping);
        connectivity::CheckOnline(fresh, "Parlivo", {command, "127.0.0.1", port, 1000});
        QCOMPARE(fresh.boxes.size(), warned ? 1 : 0);
        if (warned) {
            QCOMPARE(fresh.boxes[0].text,
                     QStringLiteral("You must be online to use this software accurately."));
            QCOMPARE(fresh.boxes[0].icon, platform::Icon::None);
            QCOMPARE(fresh.boxes[0].title, QStringLiteral("Parlivo"));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandOutput)
#include "test_command_output.moc"
