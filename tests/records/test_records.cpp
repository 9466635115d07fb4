// The private files' lines: each kind written at its bound read back whole, lines of the
// version before, and what does not fit.
#include "records/kept_file.h"
#include "records/list_files.h"
#include "records/pending_file.h"

#include "test_files.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {
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
} // namespace

class TestRecords : public QObject {
    Q_OBJECT
  private slots:
    void pendingSends_roundTripThroughTheirFile() {
        auto pending = send({"1@a.example", "2@b.example"});
        pending.subject = "Tab\there, percent % and comma, too";
        pending.reported = {"1@a.example failed"};
        pending.checked = true;
        pending.parts = 3; // a text of three parts
        pending.route = "phone";
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
        // Up to 4 MiB the list is read; one byte more and it is kept aside unread.
        for (const qsizetype size : {4 * 1024 * 1024, 4 * 1024 * 1024 + 1}) {
            const QByteArray text = records::pendingSendsText({pending});
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            out.write(text + QByteArray(size - text.size(), '\n'));
            out.close();
            QString keptAs;
            QCOMPARE(records::loadPendingSends(file, &keptAs).size(), size % 2 == 0 ? 1 : 0);
            QCOMPARE(keptAs.isEmpty(), size % 2 == 0);
        }
        // Written within what is read: 32767 phones at seven gateways, every address reported,
        // come back whole from a file of at most 4 MiB.
        QStringList phones;
        for (int i = 0; i < 32767; ++i)
            phones << QStringLiteral("555%1").arg(i, 7, 10, QLatin1Char('0'));
        auto huge = send({});
        for (const QString& phone : std::as_const(phones))
            for (const char* domain :
                 {"vtext.com", "vzwpix.com", "a.ca", "b.ca", "c.ca", "d.ca", "e.ca"})
                huge.addresses << phone + '@' + domain;
        for (const QString& address : std::as_const(huge.addresses))
            huge.reported << address + (address.endsWith(".ca") ? " delayed" : " failed");
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
        // Lines of the version before routes were written down: by e-mail, or through the
        // modem where they name a text's parts or numbers alone.
        QStringList routes;
        for (const char* fields : {"1%40a.b\t\t0", "%2B15550000001\t\t0", "1%40a.b\t\t0\t2"})
            routes << records::readPendingSends(QByteArray("m\t2026-12-07T21:00:00Z\tt\ts\t") +
                                                fields + "\n")
                          .value(0)
                          .route;
        QCOMPARE(routes, QStringList({"email", "modem", "modem"}));
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
        const QByteArray cut = records::pendingSendsText({pending});
        QCOMPARE(records::readPendingSends(cut + cut.chopped(3), &unreadable),
                 QList<model::PendingSend>{pending});
        const model::KeptSend text{pending.sentUtc, "s", "b", {"5550000002@msg.telus.com"}, 0,
                                   "email"};
        const QByteArray keptLine = records::keptSendsText({text});
        QCOMPARE(records::readKeptSends(keptLine + keptLine.left(keptLine.indexOf("telus.co") + 8)),
                 QList<model::KeptSend>{text});
        // With no room left, the oldest checked send goes first, then the oldest of any.
        auto older = pending, oldest = pending;
        older.checked = false;
        older.sentUtc = pending.sentUtc.addDays(-1);
        oldest.sentUtc = pending.sentUtc.addDays(-2);
        const qint64 line = records::pendingSendsText({pending}).size();
        for (const auto& [room, left, told] :
             {std::tuple{3, 3, 0}, {2, 2, 0}, {1, 1, 0}, {0, 0, 1}}) {
            QList<model::PendingSend> sends{oldest, older, pending}, dropped;
            records::pendingSendsTextWithin(sends, room * line, &dropped);
            QCOMPARE(sends.size(), left);
            QCOMPARE(dropped.size(), told); // only a send never checked is told as left out
            if (left == 1)
                QCOMPARE(sends, QList<model::PendingSend>{older});
        }
    }
};

QTEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
