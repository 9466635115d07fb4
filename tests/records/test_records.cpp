// The private files' lines: each kind written at its bound read back whole, lines of the
// version before, and what does not fit.
#include "records/kept_file.h"
#include "records/knowledge_file.h"
#include "records/list_files.h"
#include "records/pending_file.h"
#include "records/status_file.h"

#include "test_files.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {
QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

model::PendingSend send(const QStringList& addresses) {
    return {"3lq8x0f2k1z7a.1v9c4m2p8s6d@gmail.com",
            QDateTime(QDate(2026, 12, 7), QTime(21, 0), Qt::UTC),
            "07/12/2026 21:00",
            QString::fromUtf8("R\u00e9union d\u00e9plac\u00e9e"),
            addresses,
            {},
            false,
            1,
            "email"};
}
// A send with every field set: a subject of tabs, percents and commas, a report, checked, of
// three parts, by the phone.
model::PendingSend everyField() {
    auto pending = send({"1@a.example", "2@b.example"});
    pending.subject = "Tab\there, percent % and comma, too";
    pending.reported = {"1@a.example failed"};
    pending.checked = true;
    pending.parts = 3;
    pending.route = "phone";
    return pending;
}

QStringList phoneNumbers() {
    QStringList phones;
    for (int i = 0; i < 32767; ++i)
        phones << QStringLiteral("555%1").arg(i, 7, 10, QLatin1Char('0'));
    return phones;
}

// 32767 phones at seven gateways, every address reported.
model::PendingSend hugeSend() {
    auto huge = send({});
    for (const QString& phone : phoneNumbers())
        for (const char* domain :
             {"vtext.com", "vzwpix.com", "a.ca", "b.ca", "c.ca", "d.ca", "e.ca"})
            huge.addresses << phone + '@' + domain;
    for (const QString& address : std::as_const(huge.addresses))
        huge.reported << address + (address.endsWith(".ca") ? " delayed" : " failed");
    return huge;
}
} // namespace

class TestRecords : public QObject {
    Q_OBJECT
  private slots:
    void pendingSends_roundTripThroughTheirFile() {
        const model::PendingSend pending = everyField();
        const auto back =
            records::readPendingSends(records::pendingSendsText({pending}) + "broken line\n");
        QCOMPARE(back, QList<model::PendingSend>{pending});
        // A send without its Message-ID, its time or its addresses cannot be checked.
        auto noId = pending, noTime = pending, noAddresses = pending;
        noId.messageId.clear();
        noTime.sentUtc = QDateTime();
        noAddresses.addresses.clear();
        qsizetype unreadable = 0;
        QCOMPARE(records::readPendingSends(
                     records::pendingSendsText({noId, noTime, noAddresses, pending}), &unreadable),
                 QList<model::PendingSend>{pending});
        QCOMPARE(unreadable, 3);
        // Saved whole, owner-only, leaving nothing open.
        QTemporaryDir dir;
        const QString file = dir.filePath("delivery-pending.tsv");
        QVERIFY(records::savePendingSends(file, {pending}));
        QVERIFY(records::savePendingSends(file, {pending, pending}));
        QCOMPARE(descriptorsOn(file), 0);
        QCOMPARE(QFile::permissions(file) & 0x0077, QFile::Permissions());
        QCOMPARE(records::loadPendingSends(file), (QList<model::PendingSend>{pending, pending}));
        // Written within what is read: 32767 phones at seven gateways, every address reported,
        // come back whole from a file of at most 4 MiB.
        const QStringList phones = phoneNumbers();
        const model::PendingSend huge = hugeSend();
        QVERIFY(records::pendingSendsText({huge}).size() > 4 * 1024 * 1024);
        QVERIFY(records::savePendingSends(file, {pending, huge}));
        QVERIFY(QFileInfo(file).size() <= 4 * 1024 * 1024);
        QCOMPARE(records::loadPendingSends(file), (QList<model::PendingSend>{pending, huge}));
        // Six sends of 35,000 phones at one gateway: two written compact, all six read back.
        QList<model::PendingSend> six(6, send({}));
        for (int i = 0; i < 35000; ++i)
            six[0].addresses << QStringLiteral("555%1@vtext.com").arg(i, 7, 10, QLatin1Char('0'));
        for (qsizetype i = 1; i < six.size(); ++i)
            six[i].addresses = six[0].addresses;
        QVERIFY(records::savePendingSends(file, six));
        QCOMPARE(records::loadPendingSends(file), six);
        // A seventh that does not fit beside them leaves the oldest out, and the log says so.
        const QString log = dir.filePath("sent.log");
        auto seventh = huge;
        seventh.messageId = "seventh@gmail.com";
        seventh.stamp = "08/12/2026 09:00";
        QCOMPARE(records::rememberSend(file, seventh, log), QString());
        QCOMPARE(records::loadPendingSends(file), six.mid(1) + QList{seventh});
        QCOMPARE(readAll(log), "08/12/2026 09:00\r\nDelivery: message of 07/12/2026 21:00, "
                               "Subject:R\xC3\xA9union d\xC3\xA9plac\xC3\xA9"
                               "e\r\nNot checked: too many sends were awaiting their report to "
                               "keep this one, so its bounces are unknown.\r\n\r\n\r\n");
        // Lines of the version before routes were written down: by e-mail, or through the
        // modem where they name a text's parts or numbers alone.
        QStringList routes;
        for (const char* fields : {"1%40a.b\t\t0", "%2B15550000001\t\t0", "1%40a.b\t\t0\t2"})
            routes << records::readPendingSends(QByteArray("m\t2026-12-07T21:00:00Z\tt\ts\t") +
                                                fields + "\n")
                          .value(0)
                          .route;
        QCOMPARE(routes, QStringList({"email", "modem", "modem"}));
        // The parts a line names, within what a text can split into.
        QList<qsizetype> parts;
        for (const char* field : {"\n", "\t0\n", "\t2\n", "\t0\temail\n", "\t99\temail\n"})
            parts << records::readPendingSends(QByteArray("m\t2026-12-07T21:00:00Z\tt\ts\t1%40a."
                                                          "b\t\t0") +
                                               field)
                         .value(0)
                         .parts;
        QCOMPARE(parts, QList<qsizetype>({1, 1, 2, 1, 32}));
        // The last phone at one gateway only is no product of phones and gateways.
        auto uneven = huge;
        uneven.addresses = huge.addresses.mid(0, 699);
        uneven.reported = huge.reported.mid(0, 699);
        QList<model::PendingSend> kept{uneven};
        const QByteArray compact =
            records::pendingSendsTextWithin(kept, records::pendingSendsText({uneven}).size() - 1);
        QCOMPARE(records::readPendingSends(compact), QList<model::PendingSend>{uneven});
        // A crafted compact line (20,000 phones at 20,000 domains: 400 million addresses) is
        // unreadable, not a reason to run out of memory; a last line cut before its end, of
        // either file, is no record at all.
        unreadable = 0;
        const QByteArray many = records::encodedList(phones.mid(0, 20000));
        QVERIFY(records::readPendingSends("m@x\t2026-12-07T21:00:00Z\tt\ts\t*" + many + '*' + many +
                                              "\t\t0\n",
                                          &unreadable)
                    .isEmpty());
        QCOMPARE(unreadable, 1);
        // As many addresses as the file's bound holds written out are read; a reported
        // position that is no address of the send makes the line unreadable.
        QStringList domains25;
        for (int i = 0; i < 25; ++i)
            domains25 << QStringLiteral("%1.ca").arg(i);
        QCOMPARE(records::readPendingSends("m@x\t2026-12-07T21:00:00Z\tt\ts\t*" +
                                           records::encodedList(phones.mid(0, 27962)) + '*' +
                                           records::encodedList(domains25) + "\t*699049d\t0\n")
                     .value(0)
                     .addresses.size(),
                 699050);
        for (const char* reported : {"*1f", "*xf", "*0x", "*-1f"}) {
            unreadable = 0;
            QVERIFY(records::readPendingSends(
                        QByteArray("m@x\t2026-12-07T21:00:00Z\tt\ts\t*1*a\t") + reported + "\t0\n",
                        &unreadable)
                        .isEmpty());
            QCOMPARE(unreadable, 1);
        }
        const QByteArray cut = records::pendingSendsText({pending});
        QCOMPARE(records::readPendingSends(cut + cut.chopped(3), &unreadable),
                 QList<model::PendingSend>{pending});
        // With no room left, the oldest checked send goes first, then the oldest of any; only
        // a send never checked is told as left out.
        auto older = pending, oldest = pending;
        older.checked = oldest.checked = false;
        older.sentUtc = pending.sentUtc.addDays(-1);
        oldest.sentUtc = pending.sentUtc.addDays(-2);
        const qint64 line = records::pendingSendsText({pending}).size();
        for (const auto& [room, left, told] :
             {std::tuple{3, QList<model::PendingSend>{pending, older, oldest}, 0},
              {2, {older, oldest}, 0},
              {1, {older}, 1},
              {0, {}, 2}}) {
            QList<model::PendingSend> sends{pending, older, oldest}, dropped;
            records::pendingSendsTextWithin(sends, room * line, &dropped);
            QCOMPARE(sends, left);
            QCOMPARE(dropped.size(), told);
        }
    }

    // Each file is read up to its bound (4 MiB of pending sends, 16 MiB of the others); one
    // byte more and it is not read (the first three are kept aside).
    void eachFile_isReadUpToItsBound() {
        const model::PendingSend pending = everyField();
        QTemporaryDir dir;
        const QString file = dir.filePath("any.tsv");
        const model::KeptSend one{pending.sentUtc, "s", "b", {"1@a.b"}, 0, "email"};
        const std::function<qsizetype(const QString&, QString*)> readers[] = {
            [](const QString& path, QString* keptAs) {
                return records::loadPendingSends(path, keptAs).size();
            },
            [](const QString& path, QString* keptAs) {
                return records::loadKeptSends(path, keptAs).size();
            },
            [](const QString& path, QString* keptAs) {
                return records::loadKnowledge(path, keptAs).phones.size();
            },
            [](const QString& path, QString*) { return records::loadStatuses(path).size(); }};
        const QByteArray boundTexts[] = {
            records::pendingSendsText({pending}), records::keptSendsText({one}),
            "phone\t5555550100\tvtext.com\t1\t\t\n",
            records::statusText(
                {{"+15555550100", model::StatusKind::Taken, pending.sentUtc, "by e-mail", {}}})};
        for (int kind = 0; kind < 4; ++kind) {
            const qint64 bound = (kind == 0 ? 4 : 16) * 1024 * 1024;
            for (const qint64 size : {bound, bound + 1}) {
                QFile out(file);
                QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
                out.write(boundTexts[kind] + QByteArray(size - boundTexts[kind].size(), '\n'));
                out.close();
                QString keptAs;
                QCOMPARE(readers[kind](file, &keptAs), size == bound ? 1 : 0);
                QCOMPARE(keptAs.isEmpty(), size == bound || kind == 3);
                QFile::remove(file);
            }
        }
    }

    void keptTexts_roundTripEachKindOfLine() {
        const model::PendingSend pending = everyField();
        QTemporaryDir dir;
        const model::KeptSend one{pending.sentUtc, "s", "b", {"1@a.b"}, 0, "email"};
        const model::PendingSend huge = hugeSend();
        qsizetype unreadable = 0;
        // Lines of the version before routes were written down.
        QCOMPARE(
            records::readKeptSends("kept\t2026-12-07T21:00:00Z\t0\ts\tb\t1%40a.b\n"
                                   "kept\t2026-12-07T21:00:00Z\t0\ts\tb\t%2B15550000001\n"),
            (QList<model::KeptSend>{{pending.sentUtc, "s", "b", {"1@a.b"}, 0, "email"},
                                    {pending.sentUtc, "s", "b", {"+15550000001"}, 0, "modem"}}));
        // Each kind of line the kept texts add, of the largest list a send keeps, read back as
        // it was written: the text, one in flight, one gone with a refused address, one gone
        // with its text put at the end to try again.
        const QString keptFile = dir.filePath("kept-sends.tsv");
        QList<model::KeptSend> texts{{pending.sentUtc, "s", "b", huge.addresses, 0, "email"}};
        QVERIFY(records::saveKeptSends(keptFile, texts));
        texts[0].uncertain = 7;
        QVERIFY(records::keepInFlight(keptFile, texts, 0, 7));
        texts[0].addresses = huge.addresses.mid(6, 1) + huge.addresses.mid(7);
        texts[0].uncertain = 0;
        QVERIFY(records::keepGone(keptFile, texts, 0, 7, huge.addresses.mid(6, 1)));
        texts[0].addresses = texts[0].addresses.mid(1) + texts[0].addresses.mid(0, 1);
        QVERIFY(records::keepGone(keptFile, texts, 0, 1, {},
                                  texts[0].addresses.mid(0, 0) + huge.addresses.mid(6, 1)));
        QString keptAs;
        QCOMPARE(records::loadKeptSends(keptFile, &keptAs), texts);
        QCOMPARE(keptAs, QString());
        // Each damaged line of the kept texts is one line unread, the text as it was; the
        // smallest changes that are whole apply.
        const QByteArray keptOne = records::keptSendsText({one});
        for (const char* bad :
             {"kept\t2026-12-07T21:00:00Z\t0\ts\tb\t1%40a.b\temail\tx", "inflight\t0\t1\tx",
              "kept\t2026-12-07T21:00:00Z\t2\ts\tb\t1%40a.b", "gone\t0\t0", "inflight\t-1\t0",
              "inflight\tx\t0", "inflight\t0\t2", "gone\t1\t0\t"}) {
            unreadable = 0;
            QCOMPARE(records::readKeptSends(keptOne + bad + '\n', &unreadable),
                     QList<model::KeptSend>{one});
            QVERIFY2(unreadable == 1, bad);
        }
        auto inFlight = one;
        inFlight.uncertain = 1;
        for (const auto& [change, after] :
             {std::pair{"inflight\t0\t0\n", QList<model::KeptSend>{one}},
              {"inflight\t0\t1\n", {inFlight}},
              {"gone\t0\t1\t\n", {}}}) {
            unreadable = 0;
            QCOMPARE(records::readKeptSends(keptOne + change, &unreadable), after);
            QCOMPARE(unreadable, 0);
        }
        // A change to a file that is not there writes the texts whole, in a new private
        // folder where there is none.
        for (const QString& missing : {dir.filePath("again.tsv"), dir.filePath("new/kept.tsv")}) {
            QVERIFY(records::keepInFlight(missing, {inFlight}, 0, 1));
            QCOMPARE(records::loadKeptSends(missing, nullptr), QList<model::KeptSend>{inFlight});
        }
        QCOMPARE(QFile::permissions(dir.filePath("new")) & 0x0077, QFile::Permissions());
        // A line cut off by a crash is finished before the next ones.
        QFile cutOff(dir.filePath("cut"));
        QVERIFY(cutOff.open(QIODevice::WriteOnly) && cutOff.write("k") == 1);
        cutOff.close();
        QVERIFY(records::appendRecordLines(cutOff.fileName(), "line\n", 100));
        QVERIFY(records::appendRecordLines(cutOff.fileName(), "more\n", 100));
        QVERIFY(!records::appendRecordLines(cutOff.fileName(), "past\n", 17));
        QCOMPARE(readAll(cutOff.fileName()), QByteArray("k\nline\nmore\n"));
        const model::KeptSend text{pending.sentUtc, "s", "b", {"5550000002@msg.telus.com"}, 0,
                                   "email"};
        const QByteArray keptLine = records::keptSendsText({text});
        QCOMPARE(records::readKeptSends(keptLine + keptLine.left(keptLine.indexOf("telus.co") + 8)),
                 QList<model::KeptSend>{text});
    }

    void knowledge_readBackAndFilesThatCannotMoveAside() {
        const model::PendingSend pending = everyField();
        QTemporaryDir dir;
        // What was learned: an opt-out of a phone with no carrier known, a one-letter gateway,
        // the whole number that asked; a line of nine fields and a refusal without a gateway
        // are left out, and of a gateway's checks the last three are kept.
        const QByteArray at = "2026-12-07T21:00:00Z";
        const model::Knowledge known = records::readKnowledge(
            "phone\t5555550100\tvtext.com\t1\t" + at + "\ta=" + at + ",=" + at + "\t" + at +
            "\t%2B15555550100\nphone\t5555550101\t\t0\t\t\t" + at +
            "\nphone\t5555550102\tvtext.com\t1\t" + at + "\t\t" + at +
            "\t%2B1\tx\ngateway\tvtext.com\t5/1,6/2,7/3,8/4\n");
        const QDateTime t = pending.sentUtc;
        QCOMPARE(known, (model::Knowledge{
                            {{"5555550100", {"vtext.com", true, t, {{"a", t}}, t, "+15555550100"}},
                             {"5555550101", {"", false, {}, {}, t, ""}}},
                            {{"vtext.com", {{6, 2}, {7, 3}, {8, 4}}}}}));
        QCOMPARE(records::readKnowledge(records::knowledgeText(known)), known);
        // With a hundred names of this second taken, a file that cannot be read stays where
        // it is: no name is written over.
        const QString stuck = dir.filePath("stuck");
        QVERIFY(QFile(stuck).open(QIODevice::WriteOnly));
        const QDateTime second = QDateTime::currentDateTimeUtc();
        for (int s = 0; s < 3; ++s)
            for (int n = 0; n < 100; ++n) {
                const QString stem =
                    stuck + ".unreadable-" + second.addSecs(s).toString("yyyyMMdd-HHmmss");
                QVERIFY(QFile(n ? stem + QString("-%1").arg(n) : stem).open(QIODevice::WriteOnly));
            }
        if (QDateTime::currentDateTimeUtc() < second.addSecs(2))
            QCOMPARE(records::moveAside(stuck), QString());
    }

    void statuses_pastTheirBoundKeepEachPhonesLastNews() {
        const model::PendingSend pending = everyField();
        QTemporaryDir dir;
        // Statuses past their bound (16 MiB) are written whole: each phone's last eight
        // events, then within three quarters of the bound, the oldest left out first. Each
        // line is 64 bytes; nothing noted makes no file.
        const QString statusFile = dir.filePath("phone-status.tsv");
        records::noteStatuses(statusFile, {});
        QVERIFY(!QFileInfo::exists(statusFile));
        const auto event = [&](int phone, int second) {
            return model::StatusEvent{QStringLiteral("+1555%1").arg(phone, 7, 10, QLatin1Char('0')),
                                      model::StatusKind::Taken, pending.sentUtc.addSecs(second),
                                      "phone", "abcdefghijklmno"};
        };
        constexpr int kLines = 16 * 1024 * 1024 / 64 - 1;
        for (const bool onePhone : {true, false}) {
            QList<model::StatusEvent> events;
            for (int i = 0; i < kLines + 2; ++i)
                events << event(onePhone ? 1 : i / 8, i);
            QFile out(statusFile);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(records::statusText(events.mid(0, kLines)));
            out.close();
            records::noteStatuses(statusFile, events.mid(kLines));
            const model::PhoneStatuses read = records::loadStatuses(statusFile);
            if (onePhone) {
                QCOMPARE(read, (model::PhoneStatuses{{event(1, 0).phone, events.mid(kLines - 6)}}));
            } else {
                QCOMPARE(QFileInfo(statusFile).size(), 12 * 1024 * 1024);
                QCOMPARE(read.size(), 24577); // the newest 196,608 events: phones 8192 to 32768
                QCOMPARE(read.value(event(32767, 0).phone), events.mid(kLines - 7, 8));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
