#include "app/list_views.h"
#include "core/error_report.h"
#include "form_fixture.h"
#include "recipients/carrier_table.h"
#include "recipients/contact_file.h"
#include "records/sent_log.h"
#include "records/status_file.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {
QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

// A double click of the user's on a row: the click selects it, the second click opens it.
void doubleClick(QTreeWidget* list, int row) {
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

void select(QTreeWidget* list, int row) {
    list->topLevelItem(row)->setSelected(true);
}

QStringList namedRows(const QTreeWidget* list) {
    const int name = app::columnNamed(list, "Name");
    QStringList shown;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        shown << list->topLevelItem(i)->text(0) +
                     (name > 0 ? " | " + list->topLevelItem(i)->text(name) : QString());
    return shown;
}
} // namespace

class TestRecipientLists : public QObject {
    Q_OBJECT
    std::unique_ptr<FormFixture> f;
    app::Form1* form = nullptr;

  private slots:
    void init() {
        f = std::make_unique<FormFixture>();
        form = &f->open();
    }

    void addNumber_cleansAndAppendsWithoutQuestions() {
        f->desktop.typed = {"555 555-0100", "", "(555) 5550100", " - ", "5555550100"};
        for (int i = 0; i < 5; ++i)
            form->PushButton5_Click();
        QCOMPARE(rowsOf(form->ListView1),
                 QStringList({"5555550100", "(555)5550100", "5555550100"}));
        QCOMPARE(f->desktop.prompts.first(), QStringLiteral("Enter phone number to add: "));
        QVERIFY(f->desktop.boxes.isEmpty());
    }

    void loadFiles_appendsEveryLineOfEveryChosenFileInOrder() {
        const QString dir = f->folder.path();
        const QString crlf = writeFile(dir + "/crlf.txt", "111\r\n222\r\n333\r\n");
        const QString lf = writeFile(dir + "/lf.txt", "444\n\n555\n \t\n666\n");
        form->PushButton13_Click();
        f->desktop.chosenFiles = {{crlf}, {lf, crlf}};
        form->PushButton3_Click();
        form->PushButton3_Click();
        QCOMPARE(rowsOf(form->ListView1),
                 QStringList({"5555550100", "555-555-0199", "111", "222", "333", "444", "555",
                              "666", "111", "222", "333"}));
        QCOMPARE(f->desktop.dialogTitles.first(),
                 QStringLiteral("Load List(s) - Hold Ctrl to select multiple list files"));
        QCOMPARE(form->pointer().style(), int(core::kDefaultPointer));
        QVERIFY(f->desktop.boxes.isEmpty());
    }

    // Contacts files as their writers make them, and broken ones: each person at the mobile
    // number, else the first, the name beside it; a file of numbers reads as before.
    void loadFiles_contactsShowEachPersonBesideTheNumber_data() {
        QTest::addColumn<QString>("file");       // in tests/recipients/contacts
        QTest::addColumn<QByteArray>("written"); // or these bytes, as bad.csv or big.vcf
        QTest::addColumn<QStringList>("rows");   // "number | name", as the list shows them
        QTest::addColumn<QStringList>("groups"); // each person's, joined by "/"
        QTest::addColumn<QString>("box");
        const QByteArray none;
        QTest::newRow("Google Contacts")
            << "google.csv" << none
            << QStringList{"07700 900123 | Maria López (mobile)",
                           "(555) 123-4567 | Ana Silva (mobile)",
                           "+1-555-123-0002 | =HYPERLINK(\"http://example.com\")",
                           "0049 30 1234567 | Omar Haddad"}
            << QStringList{"Altos", "Sopranos/Altos", "", "Tenors"} << QString();
        QTest::newRow("Outlook, Windows-1252")
            << "outlook.csv" << none
            << QStringList{"(555) 222-3333 | Tom Baker (mobile)", "555 444 5555 | Renée Wong"}
            << QStringList{"Parents/U12", "U12"} << QString();
        QTest::newRow("UTF-16, semicolons, German header")
            << "telefonliste.csv" << none
            << QStringList{"+49 151 23456789 | Jürgen Müller", "0151 7654321 | Kim; Lee"}
            << QStringList{"Bässe", ""} << QString();
        QTest::newRow("vCard 3.0 by a writer, photo skipped")
            << "people.vcf" << none
            << QStringList{"07700 900123 | Maria López (mobile)", "0049 30 1234567 | Łukasz Nowak"}
            << QStringList{"Altos/Choir", "Tenors"} << QString();
        QTest::newRow("vCard 4.0")
            << "people-4.vcf" << none << QStringList{"+1-555-123-0001 | Zoë Martin"}
            << QStringList{"U12 parents"} << QString();
        QTest::newRow("a phone's cards: 2.1 quoted-printable, folded, grouped")
            << "kpeoplevcard/kdeconnect-a1b2c3/android.vcf" << none
            << QStringList{"+49 151 23456789 | Jürgen Müller (mobile)",
                           "+234 803 123 4567 | Chidi Okafor"}
            << QStringList{"", "Basses, low/Choir"} << QString();
        QTest::newRow("a quote never closed")
            << QString()
            << QByteArray("Name,Phone\r\nAna,555 0101\r\n\"Bo,555 0102\r\nCy,555 0103\r\n")
            << QStringList{"555 0101 | Ana"} << QStringList{""}
            << "Parlivo could not read all of bad.csv: a quote opened here is never closed "
               "(line 3).\r\n\r\nThe contact before it was added to the list.";
        QTest::newRow("a 10 MB photo")
            << QString()
            << "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Big Photo\r\nPHOTO;ENCODING=b:" +
                   QByteArray(10 << 20, 'A') + "\r\nTEL;TYPE=CELL:555 0104\r\nEND:VCARD\r\n"
            << QStringList{"555 0104 | Big Photo"} << QStringList{""} << QString();
        QTest::newRow("numbers with a comma: no contacts")
            << QString() << QByteArray("555 0105, 555 0106\r\n")
            << QStringList{"555 0105, 555 0106"} << QStringList{} << QString();
    }
    void loadFiles_contactsShowEachPersonBesideTheNumber() {
        QFETCH(QString, file);
        QFETCH(QByteArray, written);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, groups);
        QFETCH(QString, box);
        const QString path =
            file.isEmpty()
                ? writeFile(f->folder.path() +
                                (written.startsWith("BEGIN") ? "/big.vcf" : "/bad.csv"),
                            written)
                : qEnvironmentVariable("PARLIVO_SOURCE_DIR") + "/tests/recipients/contacts/" + file;
        f->desktop.chosenFiles = {{path}};
        form->PushButton3_Click();
        const int name = app::columnNamed(form->ListView1, "Name");
        QCOMPARE(namedRows(form->ListView1), rows);
        QVERIFY(name < 0 || form->ListView1->header()->sectionViewportPosition(name) <
                                form->ListView1->contentsRect().width() * 2 / 3); // in sight
        QCOMPARE(f->desktop.boxTexts(), box.isEmpty() ? QStringList() : QStringList{box});
        form->copyStatuses(); // the names as a spreadsheet takes them: no formula among them
        const QString csv = QApplication::clipboard()->text();
        QCOMPARE(csv.startsWith("phone,name,"), name > 0);
        QVERIFY2(!csv.contains(",=") && !csv.contains(",\"="), qPrintable(csv));
        QFile read(path);
        QVERIFY(read.open(QIODevice::ReadOnly));
        const QByteArray bytes = read.readAll();
        recipients::ContactReader reader(recipients::contactFormatOf(bytes), 100);
        reader.feed(bytes);
        reader.finish();
        QStringList kept;
        for (const recipients::Contact& person : reader.contacts())
            kept << person.groups.join('/');
        QCOMPARE(kept, groups);
    }

    // The address books the desktop mirrors from each paired phone, from the list's menu: a
    // person held by two phones is one row.
    void computerContacts_fromTheListsMenu() {
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        const QString card =
            qEnvironmentVariable("PARLIVO_SOURCE_DIR") +
            "/tests/recipients/contacts/kpeoplevcard/kdeconnect-a1b2c3/android.vcf";
        for (const QString phone : {"/kpeoplevcard/kdeconnect-a", "/kpeoplevcard/kdeconnect-b"})
            QVERIFY(QDir().mkpath(data.path() + phone) &&
                    QFile::copy(card, data.path() + phone + "/android.vcf"));
        pickInNextMenu(this, {"Load Contacts From This Computer"});
        emit form->ListView1->customContextMenuRequested(QPoint(5, 5));
        qunsetenv("XDG_DATA_HOME");
        QTRY_COMPARE(form->ListView1->topLevelItemCount(), 2);
        const int name = app::columnNamed(form->ListView1, "Name");
        QCOMPARE(form->ListView1->topLevelItem(1)->text(0) + " | " +
                     form->ListView1->topLevelItem(1)->text(name),
                 "+234 803 123 4567 | Chidi Okafor");
        QVERIFY(f->desktop.boxes.isEmpty());
    }

    // A contacts file's labels become groups; groups and texts are saved, loaded and deleted
    // from the two menus, kept in a private file, each phone once.
    void groupsAndSavedTexts_fromTheMenus() {
        const QString google =
            qEnvironmentVariable("PARLIVO_SOURCE_DIR") + "/tests/recipients/contacts/google.csv";
        f->desktop.chosenFiles = {{google}};
        form->PushButton3_Click();
        form->PushButton11_Click(); // the list cleared: the groups stay
        f->desktop.chosenItems = {{"Altos (2 phones)", "Sopranos (1 phone)"}};
        pickInNextMenu(this, {"Load Groups..."});
        emit form->ListView1->customContextMenuRequested(QPoint(5, 5));
        QTRY_COMPARE(namedRows(form->ListView1),
                     QStringList({"07700 900123 | Maria López (mobile)",
                                  "(555) 123-4567 | Ana Silva (mobile)"}));
        QCOMPARE(f->desktop.offered.value(0),
                 QStringList({"Altos (2 phones)", "Sopranos (1 phone)", "Tenors (1 phone)"}));
        f->desktop.typed = {"Front row"};
        pickInNextMenu(this, {"Save List as Group..."});
        emit form->ListView1->customContextMenuRequested(QPoint(5, 5));
        QTRY_COMPARE(f->desktop.prompts.size(), 2);

        form->Text4->setText("Rehearsal");
        form->Text5->setPlainText("Tonight at 7, hall B");
        f->desktop.typed = {"Rehearsal"};
        pickInNextMenu(this, {"Save This Text..."});
        emit form->Text5->customContextMenuRequested(QPoint(5, 5));
        QTRY_COMPARE(f->desktop.prompts.size(), 3);
        form->Text4->clear();
        form->Text5->setPlainText("something else");
        pickInNextMenu(this, {"Use Saved Text", "Rehearsal"});
        emit form->Text5->customContextMenuRequested(QPoint(5, 5));
        QTRY_COMPARE(form->Text5->toPlainText(), "Tonight at 7, hall B");
        QCOMPARE(form->Text4->text(), "Rehearsal");
        f->desktop.chosenItems = {{"Tenors (1 phone)"}};
        pickInNextMenu(this, {"Delete Groups..."});
        emit form->ListView1->customContextMenuRequested(QPoint(5, 5));
        QTRY_COMPARE(f->desktop.offered.size(), 2);

        QFile kept(f->dataFolder() + "/people.tsv");
        QCOMPARE(kept.permissions() & 0x0077, QFileDevice::Permissions());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), "member\tAltos\t07700%20900123\tMaria%20L%C3%B3pez\tmobile\n"
                                 "member\tAltos\t%28555%29%20123-4567\tAna%20Silva\tmobile\n"
                                 "member\tSopranos\t%28555%29%20123-4567\tAna%20Silva\tmobile\n"
                                 "member\tFront%20row\t07700%20900123\tMaria%20L%C3%B3pez\tmobile\n"
                                 "member\tFront%20row\t%28555%29%20123-4567\tAna%20Silva\tmobile\n"
                                 "text\tRehearsal\tRehearsal\tTonight%20at%207%2C%20hall%20B\n");
        QVERIFY(f->desktop.boxes.isEmpty());
    }

    // A reply that holds a word asking not to be texted among others is shown for the user
    // to decide, and left out when the user says so; a plain reply is not.
    void possibleOptOut_isTheUsersToDecide() {
        const QDateTime when = f->clock.time.toUTC();
        records::noteStatuses(
            f->dataFolder() + "/" + records::kStatusFileName,
            {{"+15550000001", model::StatusKind::Replied, when, "by e-mail",
              "Please STOP texting me"},
             {"+15550000002", model::StatusKind::Replied, when, "by e-mail", "See you at the end"},
             {"+15550000003", model::StatusKind::Replied, when, "by e-mail", "ok"}});
        app::Form1& again = f->open();
        app::appendRows(again.ListView1, {"5550000001", "5550000002", "5550000003"});
        const QString at = ", " + records::logStamp(f->clock.time);
        QTRY_COMPARE(again.ListView1->topLevelItem(0)->text(1),
                     "replied \u201cPlease STOP texting me\u201d (may be asking not to be texted)" +
                         at);
        QCOMPARE(again.ListView1->topLevelItem(1)->text(1),
                 "replied \u201cSee you at the end\u201d (may be asking not to be texted)" + at);
        QCOMPARE(again.ListView1->topLevelItem(2)->text(1), "replied \u201cok\u201d" + at);
        for (const int row : {2, 0}) {
            again.ListView1->setCurrentItem(again.ListView1->topLevelItem(row));
            pickInNextMenu(this, {"Leave This Phone Out"});
            emit again.ListView1->customContextMenuRequested(QPoint(5, 5));
        }
        QTRY_COMPARE(again.ListView1->topLevelItem(0)->text(1), "asked not to be texted" + at);
        QCOMPARE(again.ListView1->topLevelItem(2)->text(1), "replied \u201cok\u201d" + at);
    }

    void loadFiles_busyWhileReading() {
        const QString path = writeFile(f->folder.path() + "/a.txt", "1\r\n");
        int styleWhileShown = -1;
        f->desktop.whileBoxShown = [&](const ScriptedDesktop::Box&) {
            styleWhileShown = form->pointer().style();
        };
        f->desktop.chosenFiles = {{f->folder.path() + "/missing.txt", path}};
        form->PushButton3_Click();
        QCOMPARE(styleWhileShown, int(core::kBusyPointer));
        QCOMPARE(form->pointer().style(), int(core::kDefaultPointer));
    }

    void loadFiles_missingAndUnreadableFilesDoNotStopTheOthers() {
        const QString dir = f->folder.path();
        const QString good = writeFile(dir + "/good.txt", "777\r\n");
        QDir().mkpath(dir + "/folder.txt");
        f->desktop.chosenFiles = {
            {dir + "/gone.txt", dir + "/folder.txt", good, dir + "/gone2.txt"}};
        form->PushButton3_Click();
        QCOMPARE(rowsOf(form->ListView1), QStringList({"777"}));
        QCOMPARE(f->desktop.boxes.size(), 3);
        QCOMPARE(f->desktop.boxes[0].text, QStringLiteral("File not found"));
        QCOMPARE(f->desktop.boxes[0].title, QStringLiteral("Parlivo"));
        QVERIFY(f->desktop.boxes[1].text.startsWith(QLatin1String(
            "Path/File access error\r\nin Velmora2017/04/05.Form1.PushButton3_Click at line 138")));
        QCOMPARE(f->desktop.boxes[2].text, QStringLiteral("File not found"));
        f->desktop.boxes.clear();
        f->desktop.chosenFiles = {{dir + "/folder.txt"}};
        form->PushButton3_Click();
        QVERIFY(f->desktop.boxes[0].text.contains(QLatin1String("at line 124")));
    }

    void loadFiles_cancelAppendsNothing() {
        form->PushButton3_Click();
        QCOMPARE(form->ListView1->topLevelItemCount(), 0);
        QCOMPARE(form->pointer().style(), int(core::kDefaultPointer));
    }

    void samplesTwiceAndClear() {
        form->PushButton13_Click();
        form->PushButton13_Click();
        QCOMPARE(rowsOf(form->ListView1),
                 QStringList({"5555550100", "555-555-0199", "5555550100", "555-555-0199"}));
        form->PushButton11_Click();
        QCOMPARE(form->ListView1->topLevelItemCount(), 0);
        QCOMPARE(form->ListView1->headerItem()->text(0), QStringLiteral("Phone Number/s To Text"));
        QVERIFY(f->desktop.boxes.isEmpty());
    }

    void doubleClick_removesTheSelectedRowUnlessBusy() {
        form->show();
        form->PushButton13_Click();
        form->pointer().setStyle(core::kBusyPointer);
        doubleClick(form->ListView1, 0);
        QCOMPARE(form->ListView1->topLevelItemCount(), 2);
        form->pointer().setStyle(core::kDefaultPointer);
        doubleClick(form->ListView1, 0);
        QCOMPARE(rowsOf(form->ListView1), QStringList({"555-555-0199"}));
        form->ListView1->clearSelection();
        form->ListView1_DblClick(); // nothing selected: nothing happens
        doubleClick(form->ListView2, 6);
        QCOMPARE(rowsOf(form->ListView2), recipients::defaultCarriers().mid(0, 6));
        QVERIFY(f->desktop.boxes.isEmpty());
    }

    void addCarrier_refusesSilentlyAndKeepsBlanks() {
        form->ListView2->clear();
        f->desktop.typed = {
            "", "   ", "nodot", " sms.example.com ", "a^b.example", "sms.example.com"};
        for (int i = 0; i < 6; ++i)
            form->PushButton6_Click();
        QCOMPARE(rowsOf(form->ListView2),
                 QStringList({"[x]  sms.example.com ", "[x] sms.example.com"}));
        QCOMPARE(f->desktop.prompts.first(), QStringLiteral("Enter a carrier:"));
        QVERIFY(f->desktop.boxes.isEmpty());
    }

    void deleteCarrier_withoutSelectionDoesNothing() {
        form->PushButton7_Click();
        QCOMPARE(form->ListView2->topLevelItemCount(), 7);
        QVERIFY(f->desktop.boxes.isEmpty());
        select(form->ListView2, 1);
        form->PushButton7_Click();
        QCOMPARE(form->ListView2->topLevelItemCount(), 6);
        QVERIFY(!rowsOf(form->ListView2).contains(recipients::defaultCarriers()[1]));
        select(form->ListView2, 0); // the first row too
        form->PushButton7_Click();
        QCOMPARE(rowsOf(form->ListView2), recipients::defaultCarriers().mid(2));
    }

    void emptyList_buttonsChangeAndShowNothing() {
        form->ListView2->clear();
        form->PushButton7_Click();
        form->PushButton9_Click();
        form->PushButton10_Click();
        form->ListView2_DblClick();
        QCOMPARE(form->ListView2->topLevelItemCount(), 0);
        QVERIFY(f->desktop.boxes.isEmpty());
    }

    void clearCarriers_asksAndActsOnYesOnly() {
        f->desktop.answers = {platform::Answer::No, platform::Answer::Yes};
        form->PushButton4_Click();
        QCOMPARE(form->ListView2->topLevelItemCount(), 7);
        QCOMPARE(f->desktop.boxes[0].text,
                 QStringLiteral("Are you sure you want to clear this list?"));
        QCOMPARE(f->desktop.boxes[0].buttons, platform::Buttons::YesNo);
        QCOMPARE(f->desktop.boxes[0].icon, platform::Icon::None);
        form->PushButton4_Click();
        QCOMPARE(form->ListView2->topLevelItemCount(), 0);
        QCOMPARE(form->ListView2->headerItem()->text(0), QStringLiteral("Select Carrier/s:"));
    }

    void loadFiles_stopAtTheRowLimitAndTellOnce() {
        QStringList rows;
        for (int i = 0; i < 32760; ++i)
            rows << QString::number(i);
        app::appendRows(form->ListView1, rows);
        const QString ten =
            writeFile(f->folder.path() + "/ten.txt", "0\r1\r2\r3\r4\r5\r6\r7\r8\r9\r");
        f->desktop.chosenFiles = {{ten, ten, ten}};
        form->PushButton3_Click();
        QCOMPARE(form->ListView1->topLevelItemCount(), 32767);
        QCOMPARE(form->ListView1->topLevelItem(32766)->text(0), QStringLiteral("6"));
        QCOMPARE(f->desktop.boxes.size(), 1);
        QVERIFY(f->desktop.boxes[0].text.startsWith(
            QLatin1String("Overflow\r\nin Velmora2017/04/05.Form1.PushButton3_Click at line 138")));
        QCOMPARE(form->pointer().style(), int(core::kDefaultPointer));
    }

    void ticksAndDefaults() {
        form->PushButton9_Click();
        QCOMPARE(recipients::CountCheckedCarriers(app::carrierRows(form->ListView2)), qint16(7));
        form->PushButton12_Click();
        QCOMPARE(form->ListView2->topLevelItemCount(), 14);
        QCOMPARE(recipients::CountCheckedCarriers(app::carrierRows(form->ListView2)), qint16(7));
        QCOMPARE(rowsOf(form->ListView2).mid(7), recipients::defaultCarriers());
        form->PushButton10_Click();
        QCOMPARE(recipients::CountCheckedCarriers(app::carrierRows(form->ListView2)), qint16(0));
        QCOMPARE(rowsOf(form->ListView2).mid(0, 7), recipients::defaultCarriers());
        QCOMPARE(recipients::defaultCarriers(),
                 QStringList({"vtext.com", "vzwpix.com", "msg.fi.google.com", "email.uscc.net",
                              "cspire1.com", "msg.telus.com", "txt.bell.ca"}));
    }

    void largestLists_tickAndCountAndOneMoreRowOverflows() {
        QList<recipients::CarrierRow> many;
        for (int i = 0; i < 32767; ++i)
            many.append({QStringLiteral("c%1.example").arg(i), false});
        form->ListView2->clear();
        app::appendCarriers(form->ListView2, many);
        form->PushButton9_Click();
        QCOMPARE(recipients::CountCheckedCarriers(app::carrierRows(form->ListView2)),
                 qint16(32767));
        QVERIFY(f->desktop.boxes.isEmpty());
        app::appendCarrier(form->ListView2, "one.more", true);
        QVERIFY_THROWS_EXCEPTION(
            core::Failure, recipients::CountCheckedCarriers(app::carrierRows(form->ListView2)));
    }
};

QTEST_MAIN(TestRecipientLists)
#include "test_recipient_lists.moc"
