// A route of the tests' own, added by one line in a route list (tests/CMakeLists.txt): the
// program as main wires it offers it, and a send through it takes the one flow every route
// takes, from the window to the route's wire, the log and each phone's status.
#include "app/list_views.h"
#include "app/program.h"
#include "form_fixture.h"
#include "records/sent_log.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>

namespace route_lists {
QList<model::RouteMaker> parlivo_routes_with_relay();
}

class TestRelayRoute : public QObject {
    Q_OBJECT
  private slots:
    void fourthRoute_takesTheOneFlowFromTheWindowToItsWire() {
        FormFixture f;
        app::ProgramParts parts;
        parts.programFolder = f.programFolder();
        parts.dataFolder = f.dataFolder();
        parts.desktop = &f.desktop;
        parts.settings = &f.settings;
        parts.clock = &f.clock;
        parts.onlineCheck = f.onlineCheck;
        parts.keyring = false;
        parts.routes = route_lists::parlivo_routes_with_relay();
        app::Program program(parts);
        app::Form1& form = program.window();
        program.start();
        QStringList offered;
        for (int i = 0; i < form.cboRoute->count(); ++i)
            offered << form.cboRoute->itemText(i);
        QCOMPARE(offered, QStringList({"E-mail through Gmail to the carriers' gateways",
                                       "Texts through the tests' relay",
                                       "Texts through your Android phone (set up…)"}));
        form.cboRoute->setFocus(); // chosen as a user chooses, and kept
        QTest::keyClick(form.cboRoute, Qt::Key_Down);
        QCOMPARE(f.settings.values.value("Send By"), "relay");
        QVERIFY(!form.Frame5->isEnabled() && !form.ListView2->isEnabled());
        QCOMPARE(unreachableControls(&form), QStringList());

        app::appendRows(form.ListView1, {"555-123-0001", "+44 20 7946 0018", "ann@example.com"});
        form.Text4->setText("Hi");
        form.Text5->setPlainText("at noon");
        form.PushButton1_Click();
        QCOMPARE(f.desktop.boxTexts(),
                 QStringList({"The relay texts phone numbers only; these rows are left out of "
                              "this send: ann@example.com. Nothing else takes them.",
                              "Done."}));
        QFile wire(f.programFolder() + "/relay-wire.txt");
        QVERIFY(wire.open(QIODevice::ReadOnly));
        QCOMPARE(wire.readAll(), "+15551230001 Hi\nat noon\n+442079460018 Hi\nat noon\n");
        QFile log(f.programFolder() + "/sentmessages.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QByteArray records;
        for (const char* phone : {"+15551230001", "+442079460018"})
            records += (records::logStamp(f.clock.time) + "\r\nTo: " + phone +
                        "\r\nBy: the tests' relay\r\nSubject:Hi\r\nBody:at noon\r\n\r\n\r\n")
                           .toLocal8Bit();
        QCOMPARE(log.readAll(), records);
        QTRY_COMPARE(form.ListView1->topLevelItem(1)->text(1),
                     "sent through the relay, " + records::logStamp(f.clock.time));
    }
};

QTEST_MAIN(TestRelayRoute)
#include "test_relay_route.moc"
