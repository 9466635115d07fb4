// The recipient lists at their largest: loading a 32767-line phone file, and 5,000 people
// from a contacts file, against inserting the same numbers into a bare tree widget, and how
// ticking, counting and removing grow from 8k to 32k rows; then each of 32767 phones' statuses
// (eight events each, beside a log of 100,000 records) shown again after a check: the window's
// longest pause against filling the list bare.
#include "app/list_views.h"
#include "bench_util.h"
#include "core/pointer.h"
#include "form_fixture.h"
#include "recipients/list_commands.h"
#include "records/status_file.h"
#include "scripted_desktop.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

QStringList numbers(int count) {
    QStringList rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i)
        rows << QStringLiteral("555%1").arg(i, 7, 10, QLatin1Char('0'));
    return rows;
}

QList<recipients::CarrierRow> carrierRows(int count) {
    QList<recipients::CarrierRow> rows;
    for (const QString& number : numbers(count))
        rows.append({number, false});
    return rows;
}

QString writeFile(const QTemporaryDir& dir, const char* name, const QStringList& rows,
                  const char* lineEnd) {
    const QString path = dir.filePath(QLatin1String(name));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    for (const QString& row : rows)
        file.write(row.toLatin1() + lineEnd);
    return path;
}

struct Lists {
    Lists() : pointer(&window) {
        phones = new QTreeWidget(&window);
        carriers = new QTreeWidget(&window);
        window.show();
    }
    recipients::ListContext context() { return {desktop, QStringLiteral("Parlivo"), pointer}; }
    QWidget window;
    ScriptedDesktop desktop;
    core::WindowPointer pointer;
    QTreeWidget* phones;
    QTreeWidget* carriers;
};

void growth(const char* what, const std::function<double(int)>& timeFor) {
    const double t8 = timeFor(8192);
    const double t16 = timeFor(16384);
    const double t32 = timeFor(32767);
    std::printf("%-40s 8k %8.3f ms  16k %8.3f ms  32k %8.3f ms  16k/8k %4.2f  32k/16k %4.2f "
                "(linear: about 2)\n",
                what, t8, t16, t32, t16 / t8, t32 / t16);
}

// 32767 phones, each with eight events in the status file and a log of 100,000 records beside
// it: the window's longest pause while "View Log" shows every status again, against the time
// to fill the list bare.
void statusesAfterACheck(const QStringList& rows) {
    FormFixture f;
    QList<model::StatusEvent> events;
    const QDateTime when = f.clock.time.toUTC();
    for (int e = 0; e < model::kStatusEvents; ++e)
        for (const QString& row : rows)
            events << model::StatusEvent{"+1" + row, model::StatusKind(e % 6), when.addSecs(e),
                                         "by e-mail", "the network gave up"};
    records::noteStatuses(f.dataFolder() + "/" + records::kStatusFileName, events);
    QFile log(f.programFolder() + "/sentmessages.log");
    log.open(QIODevice::WriteOnly);
    for (int i = 0; i < 100000; ++i)
        log.write("14/03/2026 09:26\r\nTo: 5550000001\r\nSubject:Hi\r\nBody:at noon\r\n\r\n\r\n");
    log.close();
    app::Form1& form = f.open();
    form.show();
    app::appendRows(form.ListView1, rows);
    const auto shown = [&] {
        return form.ListView1->topLevelItem(int(rows.size()) - 1)->text(1).startsWith("not sent");
    };
    if (!QTest::qWaitFor(shown, 60000)) // read and shown once after start
        std::printf("the statuses were not shown after start\n");
    const double pause = longestGapMs([&] {
        form.ListView1->topLevelItem(int(rows.size()) - 1)->setText(1, {});
        form.PushButton2_Click();
        if (!QTest::qWaitFor(shown, 60000))
            std::printf("the statuses were not shown again: %s | %s | %s\n",
                        qPrintable(form.ListView1->topLevelItem(int(rows.size()) - 1)->text(1)),
                        qPrintable(form.ListView1->topLevelItem(0)->text(1)),
                        qPrintable(f.desktop.boxTexts().join('|')));
    });
    QTreeWidget bare;
    bare.show();
    const double fill = medianMs(5, [&] {
        bare.clear();
        app::appendRows(&bare, rows);
        QApplication::processEvents();
    });
    std::printf("%-58s %10.1f ms  (target < 50; filling the list bare: %.1f ms) %s\n",
                "statuses of 32767 phones shown again after a check: pause", pause, fill,
                verdict(pause < 50 && shown()));
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    const QStringList rows = numbers(32767);
    const QString crlf = writeFile(dir, "crlf.txt", rows, "\r\n");
    const QString lf = writeFile(dir, "lf.txt", rows, "\n");

    // 5,000 people as Google Contacts exports them: two numbers each, labels, a note.
    const QString google = dir.filePath("contacts.csv");
    QStringList mobiles;
    {
        QFile file(google);
        file.open(QIODevice::WriteOnly);
        file.write("First Name,Middle Name,Last Name,Notes,Labels,Phone 1 - Label,Phone 1 - "
                   "Value,Phone 2 - Label,Phone 2 - Value\r\n");
        for (int i = 0; i < 5000; ++i) {
            mobiles << QStringLiteral("+1 555 %1").arg(i, 7, 10, QLatin1Char('0'));
            file.write(QStringLiteral("Jos\u00e9 %1,,P\u00e9rez,\"Choir, row %2\",Altos ::: * "
                                      "myContacts,Home,+1 555 999 0000,Mobile,%3\r\n")
                           .arg(i)
                           .arg(i % 7)
                           .arg(mobiles.last())
                           .toUtf8());
        }
    }
    for (const auto& [name, path, bareRows] :
         {std::tuple{"load 32767-line file (CR LF) into the phone list", crlf, rows},
          std::tuple{"load 32767-line file (LF) into the phone list", lf, rows},
          std::tuple{"load 5,000 contacts (Google CSV), names shown", google, mobiles}}) {
        Lists lists;
        QTreeWidget bare;
        bare.show();
        const auto [ours, baseline] = alternatingMedians(
            21,
            [&] {
                recipients::ListEdit edit;
                recipients::LoadListFromFile(lists.context(), edit, 0, path);
                app::applyEdit(lists.phones, edit, false);
                QApplication::processEvents();
            },
            [&] {
                QList<QTreeWidgetItem*> items;
                items.reserve(bareRows.size());
                for (const QString& row : bareRows)
                    items << new QTreeWidgetItem(QStringList{row});
                bare.addTopLevelItems(items);
                QApplication::processEvents();
            },
            [&] {
                lists.phones->clear();
                bare.clear();
            });
        printRatio(name, ours, baseline, 1.3);
    }

    growth("Select All Carriers", [&](int count) {
        Lists lists;
        app::appendCarriers(lists.carriers, carrierRows(count));
        const auto tickAll = [&](bool ticked) {
            const qsizetype rows = lists.carriers->topLevelItemCount();
            app::applyEdit(lists.carriers,
                           ticked ? recipients::selectAllCarriers(lists.context(), rows)
                                  : recipients::unselectAllCarriers(lists.context(), rows),
                           true);
        };
        return medianMs(
            15, [&] { tickAll(true); }, [&] { tickAll(false); });
    });
    growth("count ticked carriers", [&](int count) {
        Lists lists;
        QList<recipients::CarrierRow> rows = carrierRows(count);
        for (recipients::CarrierRow& row : rows)
            row.ticked = true;
        app::appendCarriers(lists.carriers, rows);
        return medianMs(
            21, [&] { recipients::CountCheckedCarriers(app::carrierRows(lists.carriers)); });
    });
    growth("remove one row by double click", [&](int count) {
        Lists lists;
        app::appendRows(lists.phones, numbers(count));
        return medianMs(
            21,
            [&] {
                app::applyEdit(
                    lists.phones,
                    recipients::removeSelectedRow(lists.context(), app::listState(lists.phones)),
                    false);
                QApplication::processEvents();
            },
            [&] {
                lists.phones->topLevelItem(lists.phones->topLevelItemCount() / 2)
                    ->setSelected(true);
            });
    });
    statusesAfterACheck(rows);
    return benchExitCode();
}
