#include "form_fixture.h"

#include "routes/email/email_option.h"
#include "routes/modem/modem_option.h"
#include "routes/phone/app/lazy_phone_gateway.h"
#include "routes/phone/phone_option.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

FormFixture::FormFixture() {
    QDir().mkpath(programFolder());
    QDir().mkpath(dataFolder());
}

FormFixture::~FormFixture() {
    form.reset(); // before the routes it offers
}

app::Form1& FormFixture::open(bool load) {
    QDir().mkpath(programFolder());
    QDir().mkpath(dataFolder());
    form.reset();
    if (!phone && !phoneModule)
        phoneModule = std::make_unique<phone::LazyPhoneGateway>(
            qEnvironmentVariable("PARLIVO_PROGRAM_DIR") + "/libparlivo_phone");
    routes.clear();
    routes.push_back(std::make_unique<email_route::EmailOption>(*submitter, mailbox, *settingsStore,
                                                                keyring, settingsFile));
    routes.push_back(std::make_unique<modem_route::ModemOption>(modem, *settingsStore));
    routes.push_back(std::make_unique<phone_route::PhoneOption>(
        phone ? *phone : *phoneModule, *settingsStore, keyring, settingsFile));
    QList<model::RouteOption*> offered;
    for (const auto& route : routes)
        offered << route.get();
    form = std::make_unique<app::Form1>(app::Services{desktop, *settingsStore, clock, random,
                                                      programFolder(), dataFolder(), onlineCheck,
                                                      offered});
    if (load)
        form->Form_Load();
    return *form;
}

QStringList rowsOf(const QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        const bool tickable = row->flags() & Qt::ItemIsUserCheckable;
        rows << (tickable && row->checkState(0) == Qt::Checked ? QStringLiteral("[x] ")
                                                               : QString()) +
                    row->text(0);
    }
    return rows;
}

quint32 testSeed() {
    bool set = false;
    const uint seed = qEnvironmentVariable("PARLIVO_TEST_SEED").toUInt(&set);
    return set ? seed : 20261210u;
}

QRandomGenerator& testRandom() {
    static QRandomGenerator random(testSeed());
    return random;
}

void moveOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

namespace {
QString nameOf(const QWidget* w) {
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                     : w->objectName();
}

// Whether `above` is drawn over `below`: of their branches under the nearest widget holding
// both, the one later among its children.
bool drawnAbove(const QWidget* above, const QWidget* below) {
    for (const QWidget* a = above; a->parentWidget(); a = a->parentWidget())
        for (const QWidget* b = below; b->parentWidget(); b = b->parentWidget())
            if (a->parentWidget() == b->parentWidget()) {
                const QObjectList& order = a->parentWidget()->children();
                return order.indexOf(a) > order.indexOf(b);
            }
    return false;
}
} // namespace

QStringList unreachableControls(QWidget* window) {
    // What the window shows of its own: its controls, labels and frames, not their insides.
    QList<QWidget*> shown;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (w->isVisibleTo(window) &&
            (w->parentWidget() == window || qobject_cast<QGroupBox*>(w->parentWidget())) &&
            (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
             qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QAbstractItemView*>(w) ||
             qobject_cast<QComboBox*>(w) || qobject_cast<QLabel*>(w) ||
             qobject_cast<QGroupBox*>(w)))
            shown << w;
    const auto placed = [window](const QWidget* w) {
        return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
    };
    QStringList unreachable;
    for (const QWidget* control : std::as_const(shown)) {
        if (qobject_cast<const QLabel*>(control) || qobject_cast<const QGroupBox*>(control))
            continue; // what the user reads or what holds controls, not a control
        if (!window->rect().contains(placed(control)))
            unreachable << nameOf(control) + QStringLiteral(" outside");
        for (const QWidget* other : std::as_const(shown))
            if (other != control && !other->isAncestorOf(control) &&
                !control->isAncestorOf(other) && drawnAbove(other, control) &&
                placed(other).intersects(placed(control)))
                unreachable << nameOf(control) + QStringLiteral(" under ") + nameOf(other);
    }
    return unreachable;
}

void pickInNextMenu(QObject* context, QStringList path) {
    QTimer::singleShot(0, context, [context, path]() mutable {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        const QString entry = path.takeFirst();
        QAction* found = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == entry && action->isEnabled())
                found = action;
        menu->setActiveAction(found);
        if (!found) {
            QTest::keyClick(menu, Qt::Key_Escape);
        } else if (path.isEmpty()) {
            QTest::keyClick(menu, Qt::Key_Return);
        } else {
            pickInNextMenu(context, path);
            QTest::keyClick(menu, Qt::Key_Right);
        }
    });
}
