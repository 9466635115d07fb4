// The recipient lists at their largest: loading a 32767-line phone file against inserting
// the same strings into a bare tree widget, and how ticking, counting and removing grow
// from 8k to 32k rows.
#include "app/list_views.h"
#include "bench_util.h"
#include "core/pointer.h"
#include "recipients/list_commands.h"
#include "scripted_desktop.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
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

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir dir;
    const QStringList rows = numbers(32767);
    const QString crlf = writeFile(dir, "crlf.txt", rows, "\r\n");
    const QString lf = writeFile(dir, "lf.txt", rows, "\n");

    for (const auto& [name, path] :
         {std::pair{"load 32767-line file (CR LF) into the phone list", crlf},
          std::pair{"load 32767-line file (LF) into the phone list", lf}}) {
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
                items.reserve(rows.size());
                for (const QString& row : rows)
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
    return benchExitCode();
}
