#include "app/main_window.h"

#include "app/input_hold.h"
#include "app/list_views.h"
#include "app/people_commands.h"
#include "app/send_progress.h"
#include "connectivity/online_check.h"
#include "core/error_report.h"
#include "core/kept_login.h"
#include "core/procedure.h"
#include "core/settings.h"
#include "core/shared.h"
#include "core/twips.h"
#include "delivery/learning.h"
#include "delivery/log_view.h"
#include "model/knowledge.h"
#include "model/route_option.h"
#include "notice/companion_notice.h"
#include "notice/home_page.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/settings_store.h"
#include "recipients/list_commands.h"
#include "recipients/summary.h"
#include "records/data_files.h"
#include "records/knowledge_file.h"
#include "records/status_file.h"
#include "sending/kept_offer.h"
#include "sending/send_command.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <algorithm>
#include <thread>

namespace app {

namespace {
using core::pixels;
using core::twips;

// The window's height as designed, and with the route choice below the buttons.
constexpr int kDesignedHeight = 6795;
constexpr int kRouteRowTop = 6780;
constexpr int kHeightWithRoutes = kRouteRowTop + 405 + 120;
// The phone list's height as designed; with the statuses' summary under it, less its line.
constexpr int kPhoneListHeight = 1725;
// The rows whose status is shown at once; the rest follow a slice each turn of the loop.
constexpr int kStatusSlice = 1000;
const QString kStatusHeader = QStringLiteral("Status");

// What a route choice's entry for setting a route up holds before the route's id.
const QString kSetUp = QStringLiteral("set up ");

const QString kListToolTip = QStringLiteral(
    "Double-click item to remove it. Move | line to right and out of window to reveal full names.");

void paintWhite(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QTreeWidget* makeList(QWidget* parent, const char* name, QRect geometry) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setGeometry(geometry);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setColumnCount(1); // its header text is set at start-up
    list->setToolTip(kListToolTip);
    return list;
}

QLabel* makeLabel(QWidget* parent, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    paintWhite(label);
    // Labels have no pointer procedure: movement over them keeps the pointer as it is.
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

QLineEdit* makeBox(QWidget* parent, const char* name, const QString& accessibleName,
                   QRect geometry) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(accessibleName);
    box->setGeometry(geometry);
    return box;
}
} // namespace

void nameApplication() {
    QApplication::setApplicationName(kProductName);
    QApplication::setOrganizationName(core::settings::kOrganisation);
    QApplication::setWindowIcon(core::applicationIcon());
}

PasswordStarStyle* PasswordStarStyle::instance() {
    // One for the whole program: a style is costly to make, and it lives with the application.
    static QPointer<PasswordStarStyle> style;
    if (!style) {
        style = new PasswordStarStyle;
        style->setParent(qApp);
    }
    return style;
}

int PasswordStarStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                 QStyleHintReturn* returnData) const {
    if (hint == SH_LineEdit_PasswordCharacter)
        return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

Form1::Form1(Services services)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint),
      services_(std::move(services)), applicationTitle_(kProductName.left(39)), pointer_(this),
      progress_(std::make_unique<SendProgressWindow>(this)),
      knowledge_(std::make_unique<model::Knowledge>()),
      statuses_(std::make_unique<model::PhoneStatuses>()) {
    setObjectName(QStringLiteral("Form1"));
    buildControls();
    // The login boxes show and edit the login of the route that keeps one (e-mail's).
    for (model::RouteOption* route : std::as_const(services_.routes))
        if (!login_)
            login_ = route->windowLogin();
    if (!login_)
        return;
    core::StoredPassword::Hooks hooks;
    hooks.writeSetting = [this](const QString& key, const QString& text) {
        storeSetting(key, text);
    };
    hooks.loaded = [this](const QString& password) {
        const QSignalBlocker quiet(Text2); // the loaded password is no change to store
        Text2->setText(password);
    };
    hooks.keptInFile = [this](const QString& message) {
        services_.desktop.messageBox(message, platform::Buttons::Ok, platform::Icon::None,
                                     applicationTitle_);
    };
    login_->showIn(hooks);
}

Form1::~Form1() = default;

QPushButton* Form1::addButton(int number, const QString& caption, QRect twipsRect,
                              void (Form1::*handler)()) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QStringLiteral("PushButton%1").arg(number));
    button->setAccessibleName(caption);
    button->setGeometry(twipsRect);
    QFont captionFont = font();
    captionFont.setPointSizeF(11.25);
    button->setFont(captionFont);
    button->setMouseTracking(true);
    button->setAttribute(Qt::WA_NoMousePropagation);
    button->installEventFilter(this);
    connect(button, &QPushButton::clicked, this,
            [this, handler] { command([this, handler] { (this->*handler)(); }); });
    buttons_.at(std::size_t(number)) = button;
    return button;
}

void Form1::buildControls() {
    setFixedSize(pixels(15960), pixels(kDesignedHeight));
    QFont textFont(QStringLiteral("Arial"), 9);
    textFont.setBold(true);
    setFont(textFont);
    setMouseTracking(true);

    buildListColumn();
    buildMessageColumn();
    wireControls();
}

// The carrier list and the phone list with their buttons, on the left.
void Form1::buildListColumn() {
    ListView2 = makeList(this, "ListView2", twips(120, 120, 7800, 2190));
    addButton(6, QStringLiteral("Add Carrier"), twips(120, 2400, 3840, 405),
              &Form1::PushButton6_Click);
    addButton(7, QStringLiteral("Delete Carrier"), twips(4080, 2400, 3840, 405),
              &Form1::PushButton7_Click);
    addButton(4, QStringLiteral("Clear List"), twips(120, 2910, 3840, 405),
              &Form1::PushButton4_Click);
    addButton(12, QStringLiteral("Load Default Carriers"), twips(4080, 2910, 3840, 405),
              &Form1::PushButton12_Click);
    addButton(9, QStringLiteral("Select All Carriers"), twips(120, 3420, 3840, 405),
              &Form1::PushButton9_Click);
    addButton(10, QStringLiteral("Unselect All Carriers"), twips(4080, 3420, 3840, 405),
              &Form1::PushButton10_Click);
    ListView1 = makeList(this, "ListView1", twips(120, 3930, 7800, kPhoneListHeight));
    // Under the phone list, while anything is known of its phones: their statuses summed up.
    lblStatus = makeLabel(this, QString(), twips(120, 3930 + kPhoneListHeight - 240, 7800, 240));
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->hide();
    addButton(5, QStringLiteral("Add Number"), twips(120, 5760, 3840, 405),
              &Form1::PushButton5_Click);
    addButton(3, QStringLiteral("Load Number/s From File"), twips(4080, 5760, 3840, 405),
              &Form1::PushButton3_Click);
    addButton(11, QStringLiteral("Clear List"), twips(120, 6270, 3840, 405),
              &Form1::PushButton11_Click);
    addButton(13, QStringLiteral("Load Sample/Example Numbers"), twips(4080, 6270, 3840, 405),
              &Form1::PushButton13_Click);
}

// The Gmail login, the subject and the body, their buttons and the route choice, on the right.
void Form1::buildMessageColumn() {
    Frame5 = new QGroupBox(QStringLiteral("Gmail Login"), this);
    Frame5->setGeometry(twips(8040, 60, 7800, 1300));
    lblLabels[0] = makeLabel(Frame5, QStringLiteral("Username:"), twips(240, 345, 1320, 270));
    Text3 = makeBox(Frame5, "Text3", QStringLiteral("Username"), twips(1440, 300, 6090, 345));
    lblLabels[1] = makeLabel(Frame5, QStringLiteral("Password:"), twips(240, 825, 1215, 270));
    Text2 = makeBox(Frame5, "Text2", QStringLiteral("Password"), twips(1440, 780, 6090, 345));
    Text2->setEchoMode(QLineEdit::Password);
    Text2->setStyle(PasswordStarStyle::instance());

    Frame1 = new QGroupBox(QStringLiteral("Subject"), this);
    Frame1->setGeometry(twips(8040, 1440, 7800, 820));
    Text4 = makeBox(Frame1, "Text4", QStringLiteral("Subject"), twips(240, 300, 7320, 345));
    Text4->setAttribute(Qt::WA_NoMousePropagation);

    Frame2 = new QGroupBox(QStringLiteral("Body"), this);
    Frame2->setGeometry(twips(8040, 2325, 7800, 3310));
    Text5 = new QPlainTextEdit(Frame2);
    Text5->setObjectName(QStringLiteral("Text5"));
    Text5->setAccessibleName(QStringLiteral("Body"));
    Text5->setGeometry(twips(240, 300, 7320, 2550));
    Text5->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text5->setTabChangesFocus(true);
    Text5->setAttribute(Qt::WA_NoMousePropagation);
    lblLabels[5] =
        makeLabel(Frame2, QStringLiteral("1000 Characters Left"), twips(240, 2940, 2520, 225));
    lblLabels[5]->setObjectName(QStringLiteral("lblLabels5"));
    lblTexts =
        makeLabel(Frame2, QStringLiteral("1 text at a gateway"), twips(3000, 2940, 4560, 225));
    lblTexts->setObjectName(QStringLiteral("lblTexts"));
    lblTexts->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblTexts->setToolTip(QStringLiteral(
        "How many texts a phone gets when a gateway splits the subject and body: 160 "
        "characters in one text, 153 in each part of a longer one, ^ { } [ ] ~ \\ | and the "
        "euro sign counting two; 70 and 67 when a character (an emoji, say) is outside the GSM "
        "alphabet."));

    addButton(1, QStringLiteral("Send Message"), twips(8040, 5760, 7800, 405),
              &Form1::PushButton1_Click);
    addButton(8, QStringLiteral("Help"), twips(8040, 6270, 3840, 405), &Form1::PushButton8_Click);
    addButton(2, QStringLiteral("View Log"), twips(12000, 6270, 3840, 405),
              &Form1::PushButton2_Click);
    lblRoute = makeLabel(this, QStringLiteral("Send by:"), twips(8040, kRouteRowTop, 1320, 405));
    lblRoute->setObjectName(QStringLiteral("lblRoute"));
    cboRoute = new QComboBox(this);
    cboRoute->setObjectName(QStringLiteral("cboRoute"));
    cboRoute->setAccessibleName(QStringLiteral("Send by"));
    cboRoute->setGeometry(twips(9360, kRouteRowTop, 6480, 405));
    lblRoute->setBuddy(cboRoute);
    lblRoute->hide();
    cboRoute->hide();
    connect(cboRoute, &QComboBox::activated, this,
            [this](int index) { command([this, index] { routeChosen(index); }); });
}

// The pointer followed over frames, lists and boxes; edits, menus and double clicks wired; the
// tab order.
void Form1::wireControls() {
    for (QGroupBox* frame : {Frame5, Frame1, Frame2}) {
        paintWhite(frame);
        frame->setMouseTracking(true);
        frame->installEventFilter(this);
    }
    for (QTreeWidget* list : {ListView1, ListView2}) {
        list->setMouseTracking(true);
        list->viewport()->setMouseTracking(true);
        list->viewport()->installEventFilter(this);
        list->setAttribute(Qt::WA_NoMousePropagation);
    }
    ListView1->setAccessibleName(QStringLiteral("Phone Number/s To Text"));
    ListView2->setAccessibleName(QStringLiteral("Select Carrier/s:"));
    for (QLineEdit* box : {Text3, Text2}) {
        box->setMouseTracking(true);
        box->setAttribute(Qt::WA_NoMousePropagation);
        box->installEventFilter(this);
    }

    connect(Text3, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (login_)
            login_->setUserName(text);
    });
    connect(Text2, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (login_)
            login_->setPassword(text);
    });
    connect(Text5, &QPlainTextEdit::textChanged, this, &Form1::keepBodyWithinLimit);
    connect(Text5, &QPlainTextEdit::textChanged, this, &Form1::Text5_Change);
    connect(Text4, &QLineEdit::textChanged, this, &Form1::showGatewayTexts);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    Text5->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Text5, &QPlainTextEdit::customContextMenuRequested, this,
            [this](const QPoint& at) { command([this, at] { messageMenu(at); }); });
    connect(ListView1, &QTreeWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { command([this, at] { phoneListMenu(at); }); });
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this,
            [this] { command([this] { ListView1_DblClick(); }); });
    connect(ListView2, &QTreeWidget::itemDoubleClicked, this,
            [this] { command([this] { ListView2_DblClick(); }); });

    // Tab order: the login first, then the message and its buttons, then the lists.
    const QList<QWidget*> order{Text3,       Text2,       Text4,        Text5,        buttons_[1],
                                buttons_[8], buttons_[2], cboRoute,     ListView2,    buttons_[6],
                                buttons_[7], buttons_[4], buttons_[12], buttons_[9],  buttons_[10],
                                ListView1,   buttons_[5], buttons_[3],  buttons_[11], buttons_[13]};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    Text3->setFocus();
}

void Form1::Form_Load() {
    core::Procedure p(services_.desktop, core::qualifiedName("Form1", "Form_Load"));
    p.step(102, [&] { core::ApplySkin(this, services_.programFolder); });
    p.step(104, [&] {
        connectivity::CheckOnline(services_.desktop, applicationTitle_, services_.onlineCheck);
    });
    p.step(106, [&] { setWindowTitle(kProductName); });
    p.step(106, [&] { setWindowIcon(QApplication::windowIcon()); });
    // One word cannot be cut down, so the whole product name is the application title.
    p.step(106, [&] { applicationTitle_ = kProductName; });
    core::loadHandCursorIfPresent(p, 108, pointer_, services_.programFolder);
    p.step(112, [&] {
        notice_ = std::make_unique<notice::Form2>(services_.desktop, services_.programFolder);
        connect(notice_.get(), &notice::Form2::closeRequested, this,
                [this] { command([this] { endProgram(); }); });
        notice_->Form_Load();
        notice_->showCentred();
    });
    p.step(116,
           [&] { notice::HomePageShow(services_.desktop, services_.clock, services_.random); });
    if (login_) {
        p.step(134, [&] { Text3->setText(login_->storedUserName()); });
        p.step(136, [&] { login_->load(); });
    }
    p.step(138,
           [&] { ListView1->headerItem()->setText(0, QStringLiteral("Phone Number/s To Text")); });
    p.step(140, [&] { ListView1->setColumnWidth(0, pixels(7000)); });
    p.step(142, [&] { ListView2->headerItem()->setText(0, QStringLiteral("Select Carrier/s:")); });
    p.step(144, [&] { ListView2->setColumnWidth(0, pixels(7000)); });
    restoreCarrierList(p);
    QString knowledgeAside;
    *knowledge_ = delivery::whatIsKnown(dataFiles(), &knowledgeAside);
    if (!knowledgeAside.isEmpty())
        services_.desktop.messageBox(records::knowledgeKeptAsideMessage(knowledgeAside),
                                     platform::Buttons::Ok, platform::Icon::None,
                                     applicationTitle_);
    showPhoneKnowledge();
    // The route choice as far as it is known without asking any device, so that the window
    // shows at its final size; the rest once it has painted.
    showRoutes(false);
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && !painted_)
            startWhenPainted_ = true;
        else
            startAfterPaint();
    });
}

void Form1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    painted_ = true;
    if (std::exchange(startWhenPainted_, false))
        QTimer::singleShot(0, this, &Form1::startAfterPaint);
}

void Form1::startAfterPaint() {
    // The statuses as kept, which routes are here, then the texts kept for them by an earlier
    // run. A route that comes or goes later is looked for again.
    lookAgain_ = new QTimer(this);
    lookAgain_->setSingleShot(true);
    lookAgain_->setInterval(300);
    connect(lookAgain_, &QTimer::timeout, this, &Form1::lookForRoutes);
    for (model::RouteOption* route : services_.routes) {
        route->watch([this] { lookAgain_->start(); });
        route->watchNews([this, route] { takeNews(route, false); });
    }
    // The statuses first: a kept text's offer may hold a box up for as long as the user likes.
    loadStatuses();
    lookForRoutes();
    // The routes that must be asked for their news are asked now and then.
    for (model::RouteOption* route : services_.routes)
        if (const int seconds = route->newsEverySeconds(); seconds > 0) {
            auto* poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, [this, route] { takeNews(route, true); });
            poll->start(seconds * 1000);
        }
}

void Form1::loadStatuses() {
    // Read aside: a list of many phones takes longer to read than the window may wait.
    model::PhoneStatuses read;
    const QString path = dataFiles().status;
    QEventLoop loop;
    std::thread reader([&] {
        read = records::loadStatuses(path);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    reader.join();
    // What a send or news noted meanwhile is newer than the file as read.
    for (auto phone = statuses_->cbegin(); phone != statuses_->cend(); ++phone)
        read[phone.key()] = phone.value();
    *statuses_ = std::move(read);
    showPhoneKnowledge();
}

void Form1::takeNews(model::RouteOption* route, bool poll) {
    if (holdingInput_ || checkingNews_) {
        if (!poll && !newsWaiting_.contains(route))
            newsWaiting_ << route;
        return;
    }
    // The window takes input meanwhile: keys and edits at once, a command when the news is in.
    checkingNews_ = true;
    if (poll)
        route->pollNews(commandContext(), *knowledge_);
    else
        route->bringNewsIntoLog(commandContext(), *knowledge_);
    checkingNews_ = false;
    showPhoneKnowledge();
    for (const std::function<void()>& command : std::exchange(afterNews_, {}))
        QTimer::singleShot(0, this, command);
    takeWhatWaited();
}

void Form1::command(const std::function<void()>& procedure) {
    if (checkingNews_)
        afterNews_ << procedure;
    else
        procedure();
}

void Form1::lookForRoutes() {
    showRoutes(true);
    QStringList here;
    const QList<model::RouteOption*> shown = choices_; // a device asked may let a look run
    for (model::RouteOption* route : shown)
        if (!route->label().isEmpty())
            here << route->id();
    QStringList arrived;
    for (const QString& id : std::as_const(here))
        if (!routesHere_.contains(id))
            arrived << id;
    routesHere_ = here;
    // A text kept for a route that just came (or at start) is offered now.
    if (!arrived.isEmpty())
        offerKeptSends(arrived);
}

void Form1::showRoutes(bool looked) {
    QString wanted = services_.settings.read(core::settings::kRoute, QString());
    if (wanted.isEmpty() && services_.settings.read(core::settings::kTextByModem, QString())
                                    .compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        wanted = QStringLiteral("modem");
    // Each entry's label and id, asked of the routes first: a route asking its device lets the
    // event loop run, and the choice is filled at once afterwards.
    QList<model::RouteOption*> choices;
    for (model::RouteOption* route : services_.routes)
        choices += looked || !route->onADevice() ? route->choices() : QList{route};
    QList<std::pair<QString, QString>> entries;
    for (model::RouteOption* route : std::as_const(choices)) {
        QString label = looked || !route->onADevice() ? route->label() : QString();
        // The route the user chose stays chosen while its device is away.
        if (label.isEmpty() && route->id() == wanted)
            label = route->awayLabel();
        if (!label.isEmpty())
            entries.append({label, route->id()});
    }
    // Then what a route offers for setting it up.
    for (model::RouteOption* route : services_.routes)
        if (const QString label = route->setUpLabel(); !label.isEmpty())
            entries.append({label, kSetUp + route->id()});
    // An entry for setting a route up is never left chosen: the route shown before it is.
    const QString current = cboRoute->currentData().toString();
    const QSignalBlocker quiet(cboRoute);
    cboRoute->clear();
    for (const auto& [label, id] : std::as_const(entries))
        cboRoute->addItem(label, id);
    choices_ = choices;
    // The route the user chose when it is here, else the one shown, else the first.
    const int chosen = cboRoute->findData(wanted);
    const int shown = current.startsWith(kSetUp) ? -1 : cboRoute->findData(current);
    cboRoute->setCurrentIndex(chosen >= 0 ? chosen : qMax(shown, 0));
    shownBefore_ = cboRoute->currentData().toString();
    // With one route there is nothing to choose: the window stays as designed.
    const bool choice = cboRoute->count() > 1;
    const QSize size(pixels(15960), pixels(choice ? kHeightWithRoutes : kDesignedHeight));
    if (size != this->size()) {
        setFixedSize(size);
        // The notice stays clear of the window as it grows or shrinks.
        if (notice_ && notice_->isVisible())
            notice_->keepClearOf(frameGeometry());
    }
    lblRoute->setVisible(choice);
    cboRoute->setVisible(choice);
    showWhatTheRouteTakes();
}

void Form1::showWhatTheRouteTakes() {
    const bool takes = chosenRoute().takesLoginAndCarriers();
    const QString unused = takes ? QString()
                                 : QStringLiteral("Used only when texts go by e-mail; \"Send by\" "
                                                  "chooses how they go.");
    Frame5->setEnabled(takes);
    Frame5->setToolTip(unused);
    ListView2->setEnabled(takes);
    ListView2->setToolTip(takes ? kListToolTip : unused);
    for (const int number : {4, 6, 7, 9, 10, 12}) {
        buttons_.at(std::size_t(number))->setEnabled(takes);
        buttons_.at(std::size_t(number))->setToolTip(unused);
    }
}

void Form1::routeChosen(int index) {
    const QString id = cboRoute->itemData(index).toString();
    if (!id.startsWith(kSetUp)) {
        shownBefore_ = id;
        storeSetting(core::settings::kRoute, id);
        showWhatTheRouteTakes();
        return;
    }
    // Setting a route up: the user tells it what it needs; on success it is chosen.
    bool ready = false;
    for (model::RouteOption* route : services_.routes)
        if (kSetUp + route->id() == id)
            whileHoldingInput([&] { ready = route->setUp(commandContext()); });
    if (ready)
        storeSetting(core::settings::kRoute, id.mid(kSetUp.size()));
    else
        cboRoute->setCurrentIndex(cboRoute->findData(shownBefore_));
    lookForRoutes();
}

model::RouteOption& Form1::chosenRoute() const {
    const QString id = cboRoute->currentData().toString();
    for (model::RouteOption* route : choices_)
        if (route->id() == id)
            return *route;
    return *services_.routes.first();
}

void Form1::offerKeptSends(const QStringList& routeIds) {
    // While a send, a view of the log or a news check runs, the offer waits for its end; with
    // nothing kept, nothing waits for the keyring.
    if (holdingInput_ || checkingNews_) {
        offersWaiting_ += routeIds;
        return;
    }
    if (!sending::keptSendWaits(dataFiles()))
        return;
    QList<model::RouteOption*> routes;
    for (model::RouteOption* route : std::as_const(choices_))
        if (routeIds.contains(route->id()))
            routes << route;
    whileHoldingInput(
        [this, routes] { sending::offerKeptSends(commandContext(), outgoingText(), routes); });
}

void Form1::restoreCarrierList(core::Procedure& p) {
    QString carriers;
    QString ticks;
    p.step(146, [&] { carriers = services_.settings.read(core::settings::kCarriers, QString()); });
    p.step(148, [&] { ticks = services_.settings.read(core::settings::kCarrierTicks, QString()); });
    const QList<recipients::CarrierRow> rows = recipients::restoredCarriers(p, carriers, ticks);
    ListView2->setUpdatesEnabled(false);
    appendCarriers(ListView2, rows);
    ListView2->setUpdatesEnabled(true);
}

void Form1::Form_QueryUnload() {
    if (login_)
        login_->finish();
    const auto rows = carrierRows(ListView2);
    storeSetting(core::settings::kCarriers, core::settings::carrierListString(rows));
    storeSetting(core::settings::kCarrierTicks, core::settings::tickListString(rows));
    services_.desktop.processEvents();
    services_.desktop.processEvents();
}

void Form1::storeSetting(const QString& key, const QString& text) {
    if (services_.settings.write(key, text) || settingsProblemShown_)
        return;
    // Told once a run; later writes keep trying, and the next run tells again.
    settingsProblemShown_ = true;
    services_.desktop.messageBox(services_.settings.writeProblem() +
                                     QStringLiteral("\r\n\r\nYour login and carrier list may "
                                                    "not be remembered at the next start."),
                                 platform::Buttons::Ok, platform::Icon::None, applicationTitle_);
}

void Form1::Form_Unload() {
    services_.desktop.endProgram();
}

void Form1::endProgram() {
    // Either window may be closed first; the carrier list is stored once either way.
    if (ending_)
        return;
    ending_ = true;
    Form_QueryUnload();
    Form_Unload();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (checkingNews_) { // closed once the news is in
        event->ignore();
        command([this] { endProgram(); });
        return;
    }
    event->accept();
    endProgram();
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    pointer_.movedOver(core::kDefaultPointer);
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && watched == ListView1->viewport()) {
        // A phone row's tip: what was learned of it, then its last news.
        const QPoint at = static_cast<QHelpEvent*>(event)->pos();
        if (const QTreeWidgetItem* row = ListView1->itemAt(at)) {
            const QString countryCode = commandContext().countryCode;
            QString tip = row->toolTip(0);
            const QStringList past =
                delivery::rowStatus(*statuses_, *knowledge_, row->text(0), countryCode, true).past;
            if (!past.isEmpty())
                tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) +
                       QStringLiteral("Last news:\n") + past.join(QLatin1Char('\n'));
            if (!tip.isEmpty())
                QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip,
                                   ListView1->viewport());
            else
                QToolTip::hideText();
            return true;
        }
    }
    if (event->type() == QEvent::MouseMove) {
        const bool overButton = qobject_cast<QPushButton*>(watched) != nullptr;
        pointer_.movedOver(overButton ? core::kHandPointer : core::kDefaultPointer);
    } else if (event->type() == QEvent::FocusIn && (watched == Text3 || watched == Text2)) {
        auto* box = static_cast<QLineEdit*>(watched);
        box->setSelection(0, int(box->text().size()));
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::keepBodyWithinLimit() {
    // Takes back what was just typed or pasted beyond the limit.
    QTextCursor cursor = Text5->textCursor();
    const qsizetype end = cursor.position();
    const qsizetype from = recipients::bodyCutFrom(Text5->toPlainText(), end);
    if (from == end)
        return;
    cursor.setPosition(int(from), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void Form1::Text5_Change() {
    lblLabels[5]->setText(recipients::charactersLeftText(Text5->toPlainText().size()));
    showGatewayTexts();
}

void Form1::showGatewayTexts() {
    lblTexts->setText(recipients::gatewayTextsLabel(
        recipients::gatewayTexts(Text4->text(), Text5->toPlainText())));
}

recipients::ListContext Form1::listContext() {
    return {services_.desktop, applicationTitle_, pointer_};
}

model::DataFiles Form1::dataFiles() const {
    return records::dataFiles(services_.programFolder, services_.dataFolder);
}

model::CommandContext Form1::commandContext() {
    return {services_.desktop,
            services_.clock,
            applicationTitle_,
            pointer_,
            services_.programFolder,
            dataFiles(),
            progress_.get(),
            knowledge_.get(),
            core::settings::countryCodeOf(
                services_.settings.read(core::settings::kCountryCode, QString())),
            statuses_.get(),
            [this] { showPhoneKnowledge(); }};
}

model::OutgoingText Form1::outgoingText() const {
    return {rowTexts(ListView1), carrierRows(ListView2), Text4->text(), Text5->toPlainText()};
}

void Form1::editPhones(const recipients::ListEdit& edit) {
    applyEdit(ListView1, edit, false);
    showPhoneKnowledge();
}

void Form1::showPhoneKnowledge() {
    // Where nothing is known of any phone, the list keeps its look: one column, no summary.
    const bool known =
        !statuses_->isEmpty() ||
        std::any_of(knowledge_->phones.cbegin(), knowledge_->phones.cend(),
                    [](const model::PhoneKnowledge& phone) { return phone.optedOutUtc.isValid(); });
    if (known && statusColumn() < 0) {
        ListView1->setColumnCount(ListView1->columnCount() + 1);
        ListView1->headerItem()->setText(ListView1->columnCount() - 1, kStatusHeader);
        ListView1->setColumnWidth(0, pixels(2400));
        ListView1->resize(ListView1->width(), pixels(kPhoneListHeight - 270));
        lblStatus->show();
    }
    if (!known && knowledge_->phones.isEmpty() && !tipsShown_)
        return;
    tipsShown_ = true;
    statusNext_ = 0;
    rowStatuses_.clear();
    showStatusSlice();
}

int Form1::statusColumn() const {
    return columnNamed(ListView1, kStatusHeader);
}

void Form1::showStatusSlice() {
    const QString countryCode = commandContext().countryCode;
    const int statusAt = statusColumn();
    const bool withStatus = statusAt > 0;
    const int end = qMin(ListView1->topLevelItemCount(), statusNext_ + kStatusSlice);
    const QSignalBlocker quiet(ListView1);
    for (; statusNext_ < end; ++statusNext_) {
        QTreeWidgetItem* row = ListView1->topLevelItem(statusNext_);
        const QString phone = row->text(0);
        // What was learned of it at once; its last news when the pointer rests on it.
        row->setToolTip(0, delivery::knowledgeTip(*knowledge_, phone, countryCode));
        if (withStatus) {
            delivery::RowStatus status =
                delivery::rowStatus(*statuses_, *knowledge_, phone, countryCode);
            row->setText(statusAt, delivery::statusCell(status));
            rowStatuses_ << std::move(status);
        }
    }
    if (statusNext_ < ListView1->topLevelItemCount()) {
        if (!statusSlices_) {
            statusSlices_ = new QTimer(this);
            statusSlices_->setSingleShot(true);
            connect(statusSlices_, &QTimer::timeout, this, &Form1::showStatusSlice);
        }
        statusSlices_->start(0);
        return;
    }
    if (withStatus)
        lblStatus->setText(delivery::statusSummary(rowStatuses_));
}

void Form1::forgetLearned(bool everyPhone) {
    if (everyPhone)
        delivery::forget(dataFiles(), *knowledge_, {});
    else if (const QTreeWidgetItem* row = ListView1->currentItem())
        delivery::forget(dataFiles(), *knowledge_, {row->text(0)});
    showPhoneKnowledge();
}

void Form1::phoneListMenu(const QPoint& at) {
    QMenu menu(this);
    QAction* one = menu.addAction(QStringLiteral("Forget What Was Learned of This Phone"));
    one->setEnabled(ListView1->currentItem() != nullptr);
    QAction* all = menu.addAction(QStringLiteral("Forget What Was Learned of Every Phone"));
    QAction* again = menu.addAction(QStringLiteral("Text This Phone Again"));
    QAction* out = menu.addAction(QStringLiteral("Leave This Phone Out"));
    out->setEnabled(ListView1->currentItem() &&
                    delivery::rowStatus(*statuses_, *knowledge_, ListView1->currentItem()->text(0),
                                        commandContext().countryCode)
                        .mayOptOut);
    QAction* copy = menu.addAction(QStringLiteral("Copy Statuses (CSV)"));
    menu.addSeparator();
    const QString addressBooks = recipients::computerContactsFolder();
    QAction* contacts = menu.addAction(QStringLiteral("Load Contacts From This Computer"));
    contacts->setEnabled(QFileInfo(addressBooks).isDir());
    QAction* saveGroup = menu.addAction(QStringLiteral("Save List as Group..."));
    saveGroup->setEnabled(ListView1->topLevelItemCount() > 0);
    QAction* loadGroup = menu.addAction(QStringLiteral("Load Groups..."));
    QAction* dropGroups = menu.addAction(QStringLiteral("Delete Groups..."));
    copy->setEnabled(ListView1->topLevelItemCount() > 0);
    again->setEnabled(ListView1->currentItem() &&
                      records::optedOut(*knowledge_, ListView1->currentItem()->text(0),
                                        commandContext().countryCode));
    QAction* chosen = menu.exec(ListView1->viewport()->mapToGlobal(at));
    if (chosen == one || chosen == all)
        forgetLearned(chosen == all);
    if (chosen == again)
        textPhoneAgain();
    if (chosen == out) {
        delivery::leaveOut(dataFiles(), *knowledge_, ListView1->currentItem()->text(0),
                           services_.clock.now().toUTC());
        showPhoneKnowledge();
    }
    if (chosen == copy)
        copyStatuses();
    if (chosen == contacts) {
        const recipients::ListEdit edit = recipients::loadComputerContacts(
            listContext(), ListView1->topLevelItemCount(), addressBooks);
        editPhones(edit);
        keepFileGroups(peopleContext(), edit.people);
    }
    if (chosen == saveGroup)
        saveListAsGroup(peopleContext(), rowPeople(ListView1));
    if (chosen == loadGroup)
        editPhones(loadGroups(peopleContext(), rowTexts(ListView1)));
    if (chosen == dropGroups)
        deleteGroups(peopleContext());
}

void Form1::messageMenu(const QPoint& at) {
    std::unique_ptr<QMenu> menu(Text5->createStandardContextMenu());
    menu->addSeparator();
    QAction* save = menu->addAction(QStringLiteral("Save This Text..."));
    QMenu* use = menu->addMenu(QStringLiteral("Use Saved Text"));
    QMenu* drop = menu->addMenu(QStringLiteral("Delete Saved Text"));
    for (const records::SavedText& saved : loadBook(peopleContext()).texts) {
        use->addAction(saved.name);
        drop->addAction(saved.name);
    }
    use->setEnabled(!use->isEmpty());
    drop->setEnabled(!drop->isEmpty());
    QAction* chosen = menu->exec(Text5->viewport()->mapToGlobal(at));
    if (!chosen)
        return;
    if (chosen == save)
        saveText(peopleContext(), Text4->text(), Text5->toPlainText());
    else if (chosen->parent() == use) {
        if (const auto saved = savedText(peopleContext(), chosen->text())) {
            Text4->setText(saved->subject);
            Text5->setPlainText(saved->body);
        }
    } else if (chosen->parent() == drop) {
        deleteText(peopleContext(), chosen->text());
    }
}

PeopleContext Form1::peopleContext() const {
    return {services_.desktop, applicationTitle_, dataFiles().people};
}

void Form1::copyStatuses() {
    const QString countryCode = commandContext().countryCode;
    const QStringList phones = rowTexts(ListView1);
    QList<delivery::RowStatus> statuses;
    statuses.reserve(phones.size());
    for (const QString& phone : phones)
        statuses << delivery::rowStatus(*statuses_, *knowledge_, phone, countryCode);
    QStringList names;
    if (const int column = columnNamed(ListView1, QStringLiteral("Name")); column > 0)
        for (int i = 0; i < ListView1->topLevelItemCount(); ++i)
            names << ListView1->topLevelItem(i)->text(column);
    QApplication::clipboard()->setText(delivery::statusCsv(phones, statuses, names));
}

void Form1::textPhoneAgain() {
    if (const QTreeWidgetItem* row = ListView1->currentItem())
        delivery::textAgain(dataFiles(), *knowledge_, row->text(0));
    showPhoneKnowledge();
}

void Form1::editCarriers(const recipients::ListEdit& edit) {
    applyEdit(ListView2, edit, true);
}

void Form1::whileHoldingInput(const std::function<void()>& procedure) {
    // The windows stay alive while the procedure runs, but take no input: no second send and
    // no list edits in the middle of one. A close asked for meanwhile comes afterwards.
    bool closeRequested = false;
    {
        const InputHold hold({this, notice_.get()});
        holdingInput_ = true;
        procedure();
        holdingInput_ = false;
        closeRequested = hold.closeRequested();
    }
    if (closeRequested) {
        endProgram();
        return;
    }
    takeWhatWaited();
}

void Form1::takeWhatWaited() {
    // A route that came meanwhile offers its kept text now; news that came is taken in.
    if (!offersWaiting_.isEmpty())
        QTimer::singleShot(0, this, [this] { offerKeptSends(std::exchange(offersWaiting_, {})); });
    for (model::RouteOption* route : std::exchange(newsWaiting_, {}))
        QTimer::singleShot(0, this, [this, route] { takeNews(route, false); });
}

void Form1::PushButton1_Click() {
    whileHoldingInput([this] {
        for (const qsizetype row :
             sending::sendMessage(commandContext(), outgoingText(), chosenRoute()))
            ListView2->topLevelItem(int(row))->setCheckState(0, Qt::Unchecked);
    });
}
void Form1::PushButton2_Click() {
    whileHoldingInput([this] {
        delivery::viewLog(commandContext(), services_.routes);
        showPhoneKnowledge(); // what the check learned
    });
}
void Form1::PushButton3_Click() {
    const recipients::ListEdit edit =
        recipients::loadNumbersFromFiles(listContext(), ListView1->topLevelItemCount());
    editPhones(edit);
    keepFileGroups(peopleContext(), edit.people);
}
void Form1::PushButton4_Click() {
    editCarriers(recipients::clearCarrierList(listContext()));
}
void Form1::PushButton5_Click() {
    editPhones(recipients::addNumber(listContext()));
}
void Form1::PushButton6_Click() {
    editCarriers(recipients::addCarrier(listContext()));
}
void Form1::PushButton7_Click() {
    editCarriers(recipients::deleteCarrier(listContext(), listState(ListView2)));
}
void Form1::PushButton8_Click() {
    // The first route with help to show: e-mail's, how to set up the Gmail account.
    const model::CommandContext c = commandContext();
    for (model::RouteOption* route : services_.routes)
        if (route->showHelp(c))
            break;
}
void Form1::PushButton9_Click() {
    editCarriers(recipients::selectAllCarriers(listContext(), ListView2->topLevelItemCount()));
}
void Form1::PushButton10_Click() {
    editCarriers(recipients::unselectAllCarriers(listContext(), ListView2->topLevelItemCount()));
}
void Form1::PushButton11_Click() {
    editPhones(recipients::clearPhoneList(listContext()));
}
void Form1::PushButton12_Click() {
    editCarriers(recipients::loadDefaultCarriers(listContext()));
}
void Form1::PushButton13_Click() {
    editPhones(recipients::loadSampleNumbers(listContext()));
}
void Form1::ListView1_DblClick() {
    editPhones(recipients::removeSelectedRow(listContext(), listState(ListView1)));
}
void Form1::ListView2_DblClick() {
    editCarriers(recipients::removeSelectedRow(listContext(), listState(ListView2)));
}

} // namespace app
