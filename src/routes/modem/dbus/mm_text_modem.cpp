#include "routes/modem/dbus/mm_text_modem.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

using InterfaceProperties = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceProperties>;
Q_DECLARE_METATYPE(InterfaceProperties)
Q_DECLARE_METATYPE(ManagedObjects)

namespace modem {

namespace {
const QString kService = QStringLiteral("org.freedesktop.ModemManager1");
const QString kRoot = QStringLiteral("/org/freedesktop/ModemManager1");
const QString kModem = QStringLiteral("org.freedesktop.ModemManager1.Modem");
const QString kMessaging = QStringLiteral("org.freedesktop.ModemManager1.Modem.Messaging");
const QString kSms = QStringLiteral("org.freedesktop.ModemManager1.Sms");
const QString kErrors = QStringLiteral("org.freedesktop.ModemManager1.Error.");

// ModemManager's modem states that matter here.
constexpr int kStateLocked = 2;
constexpr int kStateDisabled = 3;
constexpr int kStateRegistered = 8;
constexpr uint kLockNone = 1;
constexpr qint64 kRegistrationLimitMs = 10000;

bool serviceGone(const QString& name) {
    return name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Disconnected") ||
           name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
           name == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod");
}

ModemProblem problemOf(const QDBusMessage& failure) {
    const QString name = failure.errorName();
    if (name.endsWith(QLatin1String(".Unauthorized")) ||
        name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied"))
        return ModemProblem::NotAllowed;
    if (name.contains(QLatin1String("SimPin")) || name.contains(QLatin1String("SimPuk")))
        return ModemProblem::SimLocked;
    if (serviceGone(name) || name == QLatin1String("org.freedesktop.DBus.Error.NotSupported"))
        return ModemProblem::NoService;
    return ModemProblem::Failed;
}

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// ModemManager's announcements of modems added and removed, of messages a modem stored, and
// of itself coming and going.
class Announcements final : public QObject {
    Q_OBJECT
  public:
    Announcements(const QDBusConnection& bus, std::function<void(bool message)> told)
        : bus_(bus), told_(std::move(told)),
          service_(kService, bus, QDBusServiceWatcher::WatchForOwnerChange) {
        const QString manager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
        bus_.connect(kService, kRoot, manager, QStringLiteral("InterfacesAdded"), this,
                     SLOT(announced()));
        bus_.connect(kService, kRoot, manager, QStringLiteral("InterfacesRemoved"), this,
                     SLOT(announced()));
        // A message a modem stored, received or ours, on whichever modem.
        bus_.connect(kService, QString(), kMessaging, QStringLiteral("Added"), this,
                     SLOT(stored()));
        connect(&service_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this] { told_(false); });
    }

  private slots:
    void announced() { told_(false); }
    void stored() { told_(true); }

  private:
    QDBusConnection bus_;
    std::function<void(bool)> told_;
    QDBusServiceWatcher service_;
};
} // namespace

QString plainWords(const QString& errorName, const QString& message) {
    static const QMap<QString, QString> words{
        {QStringLiteral("Message.NetworkTimeout"),
         QStringLiteral("the network did not answer in time")},
        {QStringLiteral("Message.NoNetwork"), QStringLiteral("the modem has no network")},
        {QStringLiteral("Message.SmscAddressUnknown"),
         QStringLiteral("the modem does not know its message centre")},
        {QStringLiteral("Message.MemoryFull"), QStringLiteral("the modem's storage is full")},
        {QStringLiteral("Message.SimPin"), QStringLiteral("the SIM waits for its PIN")},
        {QStringLiteral("Message.SimNotInserted"), QStringLiteral("the modem has no SIM")},
        {QStringLiteral("Message.NotAllowed"), QStringLiteral("the network does not allow it")},
        {QStringLiteral("Core.Unauthorized"),
         QStringLiteral("this session is not allowed to send texts")},
        {QStringLiteral("MobileEquipment.SimPin"), QStringLiteral("the SIM waits for its PIN")},
    };
    const QString key = errorName.startsWith(kErrors) ? errorName.mid(kErrors.size()) : errorName;
    if (words.contains(key))
        return words.value(key);
    if (serviceGone(errorName))
        return QStringLiteral("the modem went away");
    return QStringLiteral("the modem or the network refused it (%1)")
        .arg(message.isEmpty() ? key : message.left(200));
}

MmTextModem::MmTextModem(QDBusConnection bus, int callLimitMs)
    : bus_(std::move(bus)), callLimitMs_(callLimitMs) {
    qDBusRegisterMetaType<InterfaceProperties>();
    qDBusRegisterMetaType<ManagedObjects>();
}

QDBusMessage MmTextModem::call(const QString& path, const QString& interface, const QString& method,
                               const QVariantList& arguments) {
    if (!bus_.isConnected())
        return QDBusMessage::createError(QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
                                         QStringLiteral("no system bus"));
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    QDBusPendingCallWatcher watcher(bus_.asyncCall(message, callLimitMs_));
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return watcher.reply();
}

QVariant MmTextModem::property(const QString& path, const QString& interface, const QString& name) {
    const QDBusMessage reply = call(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

QString MmTextModem::modemPath(QDBusMessage* failure) {
    const QDBusMessage reply = call(kRoot, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                    QStringLiteral("GetManagedObjects"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        if (failure)
            *failure = reply;
        return {};
    }
    const auto objects = qdbus_cast<ManagedObjects>(reply.arguments().first());
    // One that texts now, else one that may once enabled or unlocked.
    for (const QString& needed : {kMessaging, kModem})
        for (auto object = objects.cbegin(); object != objects.cend(); ++object)
            if (object.value().contains(needed))
                return object.key().path();
    return {};
}

QString MmTextModem::available() {
    modem_ = modemPath(nullptr);
    if (modem_.isEmpty())
        return {};
    return (property(modem_, kModem, QStringLiteral("Manufacturer")).toString() + QLatin1Char(' ') +
            property(modem_, kModem, QStringLiteral("Model")).toString())
        .simplified();
}

ModemReady MmTextModem::prepare() {
    QDBusMessage failure;
    modem_ = modemPath(&failure);
    if (modem_.isEmpty())
        return failure.type() == QDBusMessage::ErrorMessage
                   ? ModemReady{problemOf(failure), failure.errorMessage()}
                   : ModemReady{ModemProblem::NoModem, {}};
    const uint lock = property(modem_, kModem, QStringLiteral("UnlockRequired")).toUInt();
    int state = property(modem_, kModem, QStringLiteral("State")).toInt();
    if (state == kStateLocked || (lock != 0 && lock != kLockNone))
        return {ModemProblem::SimLocked, {}};
    if (state == kStateDisabled) {
        const QDBusMessage enabled = call(modem_, kModem, QStringLiteral("Enable"), {true});
        if (enabled.type() == QDBusMessage::ErrorMessage)
            return {problemOf(enabled), enabled.errorMessage()};
    }
    // Registration with the network follows the enabling by a while.
    QElapsedTimer waited;
    waited.start();
    while ((state = property(modem_, kModem, QStringLiteral("State")).toInt()) < kStateRegistered &&
           waited.elapsed() < kRegistrationLimitMs)
        waitMs(100);
    if (state < kStateRegistered)
        return {ModemProblem::NotRegistered, {}};
    return {};
}

TextResult MmTextModem::send(const QString& number, const QString& text) {
    // A modem not yet made ready that cannot be made ready now is as good as gone.
    if (modem_.isEmpty() && prepare().problem != ModemProblem::None)
        return {TextFate::Refused, {}, QStringLiteral("the modem is not ready"), true};
    const QVariantMap properties{{QStringLiteral("number"), number},
                                 {QStringLiteral("text"), text},
                                 {QStringLiteral("delivery-report-request"), true}};
    const QDBusMessage created =
        call(modem_, kMessaging, QStringLiteral("Create"), {QVariant::fromValue(properties)});
    if (created.type() != QDBusMessage::ReplyMessage || created.arguments().isEmpty())
        return {TextFate::Refused,
                {},
                plainWords(created.errorName(), created.errorMessage()),
                serviceGone(created.errorName()),
                problemOf(created) == ModemProblem::NotAllowed};
    const QString sms = created.arguments().first().value<QDBusObjectPath>().path();
    const QDBusMessage sent = call(sms, kSms, QStringLiteral("Send"));
    TextResult result;
    if (sent.type() == QDBusMessage::ReplyMessage) {
        result.fate = TextFate::Taken;
        result.reference =
            QString::number(property(sms, kSms, QStringLiteral("MessageReference")).toUInt());
    } else {
        // The modem gone while the text was handed over: it may have gone out.
        result.fate = serviceGone(sent.errorName()) ? TextFate::Uncertain : TextFate::Refused;
        result.reason = plainWords(sent.errorName(), sent.errorMessage());
    }
    call(modem_, kMessaging, QStringLiteral("Delete"), {QVariant::fromValue(QDBusObjectPath(sms))});
    return result;
}

QList<ModemMessage> MmTextModem::received() {
    if (modem_.isEmpty())
        modem_ = modemPath(nullptr);
    if (modem_.isEmpty())
        return {};
    constexpr uint kDeliver = 1;
    constexpr uint kStatusReport = 3;
    constexpr uint kReceived = 3; // MM_SMS_STATE_RECEIVED
    QList<ModemMessage> messages;
    const auto paths = qdbus_cast<QList<QDBusObjectPath>>(
        property(modem_, kMessaging, QStringLiteral("Messages")));
    for (const QDBusObjectPath& path : paths) {
        const QDBusMessage reply =
            call(path.path(), QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("GetAll"), {kSms});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            continue;
        const QVariantMap p = qdbus_cast<QVariantMap>(reply.arguments().first());
        const uint type = p.value(QStringLiteral("PduType")).toUInt();
        if (type != kDeliver && type != kStatusReport)
            continue; // a text of ours
        // A text of several parts is left alone until ModemManager has every part: read
        // before, it is empty, and deleting it makes the modem start the text anew.
        if (p.value(QStringLiteral("State")).toUInt() != kReceived)
            continue;
        ModemMessage message;
        message.path = path.path();
        message.report = type == kStatusReport;
        message.number = p.value(QStringLiteral("Number")).toString();
        message.reference = QString::number(p.value(QStringLiteral("MessageReference")).toUInt());
        message.deliveryState = p.value(QStringLiteral("DeliveryState")).toUInt();
        message.text = p.value(QStringLiteral("Text")).toString();
        message.when =
            QDateTime::fromString(p.value(QStringLiteral("Timestamp")).toString(), Qt::ISODate);
        messages << message;
    }
    // In the order the modem took them: its objects are numbered as they come.
    const auto number = [](const ModemMessage& m) { return m.path.section('/', -1).toLongLong(); };
    std::sort(messages.begin(), messages.end(),
              [&](const ModemMessage& a, const ModemMessage& b) { return number(a) < number(b); });
    return messages;
}

QObject* MmTextModem::announcements() {
    if (!watcher_)
        watcher_ = std::make_unique<Announcements>(bus_, [this](bool message) {
            const auto& told = message ? arrived_ : changed_;
            if (told)
                told();
        });
    return watcher_.get();
}

void MmTextModem::watch(std::function<void()> changed) {
    changed_ = std::move(changed);
    announcements();
}

void MmTextModem::watchMessages(std::function<void()> arrived) {
    arrived_ = std::move(arrived);
    announcements();
}

void MmTextModem::remove(const QString& path) {
    if (!modem_.isEmpty())
        call(modem_, kMessaging, QStringLiteral("Delete"),
             {QVariant::fromValue(QDBusObjectPath(path))});
}

} // namespace modem

#include "mm_text_modem.moc"
