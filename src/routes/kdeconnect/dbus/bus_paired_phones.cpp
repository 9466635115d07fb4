#include "routes/kdeconnect/dbus/bus_paired_phones.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QRegularExpression>

using InterfaceProperties = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceProperties>;
Q_DECLARE_METATYPE(InterfaceProperties)
Q_DECLARE_METATYPE(ManagedObjects)

namespace paired {

namespace {
const QString kKdeConnect = QStringLiteral("org.kde.kdeconnect");
const QString kDaemonPath = QStringLiteral("/modules/kdeconnect");
const QString kDaemon = QStringLiteral("org.kde.kdeconnect.daemon");
const QString kDevice = QStringLiteral("org.kde.kdeconnect.device");
const QString kSms = QStringLiteral("org.kde.kdeconnect.device.sms");
const QString kConversations = QStringLiteral("org.kde.kdeconnect.device.conversations");
const QString kGsConnect = QStringLiteral("org.gnome.Shell.Extensions.GSConnect");
const QString kGsConnectPath = QStringLiteral("/org/gnome/Shell/Extensions/GSConnect");
const QString kGsDevice = QStringLiteral("org.gnome.Shell.Extensions.GSConnect.Device");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
// The most messages kept of what a phone's conversations showed.
constexpr qsizetype kMostHeard = 500;

QString kdeConnectPath(const QString& id) {
    return kDaemonPath + QStringLiteral("/devices/") + id;
}

QString serviceName(const PairedPhone& phone) {
    return phone.service == Service::KdeConnect ? QStringLiteral("KDE Connect")
                                                : QStringLiteral("GSConnect");
}

// GSConnect names a device's object after its id, each run of other than letters, digits and
// underscores made one underscore.
QString gsConnectPath(const QString& id) {
    static const QRegularExpression notWord(QStringLiteral("\\W+"));
    return kGsConnectPath + QStringLiteral("/Device/") +
           QString(id).replace(notWord, QStringLiteral("_"));
}

bool serviceGone(const QString& name) {
    return name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Disconnected");
}

bool answerNeverCame(const QString& name) {
    return name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Timeout");
}

// A message of a phone's conversations: (i s a(s) x i i x i x a(x s s s)), as KDE Connect's
// daemon writes it: event, body, addresses, date, type, read, thread, id, SIM, attachments.
PhoneText textOf(const QDBusArgument& argument) {
    PhoneText text;
    int event = 0, read = 0, uid = 0;
    qint64 date = 0, thread = 0, sim = 0;
    QStringList addresses;
    argument.beginStructure();
    argument >> event >> text.body;
    argument.beginArray();
    while (!argument.atEnd()) {
        QString address;
        argument.beginStructure();
        argument >> address;
        argument.endStructure();
        addresses << address;
    }
    argument.endArray();
    argument >> date >> text.kind >> read >> thread >> uid >> sim;
    argument.beginArray();
    while (!argument.atEnd()) { // attachments: not read
        qint64 part = 0;
        QString type, content, name;
        argument.beginStructure();
        argument >> part >> type >> content >> name;
        argument.endStructure();
    }
    argument.endArray();
    argument.endStructure();
    // A conversation of several phones is none of ours: each text goes to one.
    if (addresses.size() == 1)
        text.number = addresses.first();
    text.when = QDateTime::fromMSecsSinceEpoch(date, Qt::UTC);
    text.key = QStringLiteral("%1:%2").arg(thread).arg(uid);
    return text;
}

PhoneText textOf(const QVariant& value) {
    const QVariant inner =
        value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>()
            ? value.value<QDBusVariant>().variant()
            : value;
    if (inner.userType() != qMetaTypeId<QDBusArgument>())
        return {};
    return textOf(inner.value<QDBusArgument>());
}

// What tells of phones coming and going and of the messages their conversations show.
class Announcements final : public QObject {
    Q_OBJECT
  public:
    Announcements(const QDBusConnection& bus, BusPairedPhones& phones)
        : bus_(bus), phones_(phones),
          services_(kKdeConnect, bus, QDBusServiceWatcher::WatchForOwnerChange) {
        services_.addWatchedService(kGsConnect);
        for (const char* name :
             {"deviceAdded", "deviceRemoved", "deviceVisibilityChanged", "deviceListChanged"})
            bus_.connect(kKdeConnect, kDaemonPath, kDaemon, QLatin1String(name), this,
                         SLOT(changed()));
        for (const char* name : {"reachableChanged", "nameChanged", "trustedChanged"})
            bus_.connect(kKdeConnect, QString(), kDevice, QLatin1String(name), this,
                         SLOT(changed()));
        for (const char* name : {"conversationCreated", "conversationUpdated"})
            bus_.connect(kKdeConnect, QString(), kConversations, QLatin1String(name), this,
                         SLOT(shown(QDBusMessage)));
        for (const char* name : {"InterfacesAdded", "InterfacesRemoved"})
            bus_.connect(kGsConnect, kGsConnectPath, kObjectManager, QLatin1String(name), this,
                         SLOT(changed()));
        bus_.connect(kGsConnect, QString(), kProperties, QStringLiteral("PropertiesChanged"), this,
                     SLOT(changed()));
        connect(&services_, &QDBusServiceWatcher::serviceOwnerChanged, this,
                &Announcements::changed);
    }

    std::function<void()> changed_;
    std::function<void()> arrived_;

  private slots:
    void changed() {
        if (changed_)
            changed_();
    }
    void shown(const QDBusMessage& message) {
        if (!message.arguments().isEmpty())
            phones_.heard(message.path(), message.arguments().first());
        if (arrived_)
            arrived_();
    }

  private:
    QDBusConnection bus_;
    BusPairedPhones& phones_;
    QDBusServiceWatcher services_;
};
} // namespace

BusPairedPhones::BusPairedPhones(QDBusConnection bus, int callLimitMs)
    : bus_(std::move(bus)), callLimitMs_(callLimitMs) {
    qDBusRegisterMetaType<InterfaceProperties>();
    qDBusRegisterMetaType<ManagedObjects>();
}

BusPairedPhones::~BusPairedPhones() {
    announcements_.reset();
    if (bus_.name().startsWith(QLatin1String("parlivo-paired-phones-")))
        QDBusConnection::disconnectFromBus(bus_.name());
}

QDBusConnection BusPairedPhones::ownSessionBus() {
    // Read now: the bus library keeps the address it first read for the whole process.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty())
        return QDBusConnection::sessionBus();
    // A name of its own: a name already in use gives that connection, whatever its bus.
    static int made = 0;
    return QDBusConnection::connectToBus(
        address, QStringLiteral("parlivo-paired-phones-%1-%2").arg(quintptr(&made)).arg(++made));
}

QDBusMessage BusPairedPhones::call(const QString& service, const QString& path,
                                   const QString& interface, const QString& method,
                                   const QVariantList& arguments) {
    if (!bus_.isConnected())
        return QDBusMessage::createError(QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
                                         QStringLiteral("no session bus"));
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    QDBusPendingCallWatcher watcher(bus_.asyncCall(message, callLimitMs_));
    if (!watcher.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return watcher.reply();
}

QList<PairedPhone> BusPairedPhones::phones() {
    return kdeConnectPhones() + gsConnectPhones();
}

QList<PairedPhone> BusPairedPhones::kdeConnectPhones() {
    QList<PairedPhone> found;
    const QDBusMessage ids =
        call(kKdeConnect, kDaemonPath, kDaemon, QStringLiteral("devices"), {false, true});
    if (ids.type() != QDBusMessage::ReplyMessage || ids.arguments().isEmpty())
        return found;
    for (const QString& id : ids.arguments().first().toStringList()) {
        const QDBusMessage all =
            call(kKdeConnect, kdeConnectPath(id), kProperties, QStringLiteral("GetAll"), {kDevice});
        if (all.type() != QDBusMessage::ReplyMessage || all.arguments().isEmpty())
            continue;
        const QVariantMap properties = qdbus_cast<QVariantMap>(all.arguments().first());
        found << PairedPhone{id, properties.value(QStringLiteral("name")).toString(),
                             Service::KdeConnect,
                             properties.value(QStringLiteral("isReachable")).toBool()};
    }
    return found;
}

QList<PairedPhone> BusPairedPhones::gsConnectPhones() {
    QList<PairedPhone> found;
    const QDBusMessage reply =
        call(kGsConnect, kGsConnectPath, kObjectManager, QStringLiteral("GetManagedObjects"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return found;
    const auto objects = qdbus_cast<ManagedObjects>(reply.arguments().first());
    for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
        const QVariantMap device = object.value().value(kGsDevice);
        if (device.isEmpty() || !device.value(QStringLiteral("Paired")).toBool())
            continue;
        found << PairedPhone{device.value(QStringLiteral("Id")).toString(),
                             device.value(QStringLiteral("Name")).toString(), Service::GsConnect,
                             device.value(QStringLiteral("Connected")).toBool()};
    }
    return found;
}

HandOver BusPairedPhones::send(const PairedPhone& phone, const QString& number,
                               const QString& text) {
    const QString service = phone.service == Service::KdeConnect ? kKdeConnect : kGsConnect;
    if (!bus_.interface() || !bus_.interface()->isServiceRegistered(service))
        return {HandOverFate::Gone, QStringLiteral("%1 went away").arg(serviceName(phone))};
    // A text for a phone out of reach would be dropped without a word: it waits instead. Only
    // this phone is asked, not every paired one.
    bool reachable = false;
    if (phone.service == Service::KdeConnect) {
        const QDBusMessage asked =
            call(kKdeConnect, kdeConnectPath(phone.id), kProperties, QStringLiteral("Get"),
                 {kDevice, QStringLiteral("isReachable")});
        reachable = asked.type() == QDBusMessage::ReplyMessage && !asked.arguments().isEmpty() &&
                    asked.arguments().first().value<QDBusVariant>().variant().toBool();
    } else {
        for (const PairedPhone& now : gsConnectPhones())
            reachable = reachable || (now.id == phone.id && now.reachable);
    }
    if (!reachable)
        return {HandOverFate::Gone, QStringLiteral("not reachable")};
    QDBusMessage reply;
    if (phone.service == Service::KdeConnect) {
        // The daemon reads each address as a structure of one string, "(s)".
        QDBusArgument address;
        address.beginStructure();
        address << number;
        address.endStructure();
        const QString sms = kdeConnectPath(phone.id) + QStringLiteral("/sms");
        reply =
            call(kKdeConnect, sms, kSms, QStringLiteral("sendSms"),
                 {QVariantList{QVariant::fromValue(address)}, text, QVariantList{}, qint64(-1)});
        // Daemons before 20.12 take one number and the text.
        if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod"))
            reply = call(kKdeConnect, sms, kSms, QStringLiteral("sendSms"), {number, text});
    } else {
        QDBusArgument pair;
        pair.beginStructure();
        pair << number << text;
        pair.endStructure();
        reply = call(kGsConnect, gsConnectPath(phone.id), QStringLiteral("org.gtk.Actions"),
                     QStringLiteral("Activate"),
                     {QStringLiteral("sendSms"), QVariantList{QVariant::fromValue(pair)},
                      QVariant::fromValue(QVariantMap())});
    }
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {HandOverFate::Handed, {}};
    const QString name = reply.errorName();
    if (serviceGone(name))
        return {HandOverFate::Gone, QStringLiteral("%1 went away").arg(serviceName(phone))};
    if (answerNeverCame(name))
        return {HandOverFate::Uncertain,
                QStringLiteral("%1 did not answer in time").arg(serviceName(phone))};
    if (name == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
        name == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod"))
        return {HandOverFate::Gone, QStringLiteral("texting is turned off for it")};
    return {HandOverFate::Refused, reply.errorMessage().left(200)};
}

QList<PhoneText> BusPairedPhones::texts(const PairedPhone& phone) {
    if (phone.service != Service::KdeConnect)
        return {}; // GSConnect shows no messages over the bus
    const QString path = kdeConnectPath(phone.id);
    QList<PhoneText> texts = heard_.value(path);
    const QDBusMessage reply =
        call(kKdeConnect, path, kConversations, QStringLiteral("activeConversations"));
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        const QVariant list = reply.arguments().first();
        if (list.userType() == qMetaTypeId<QDBusArgument>()) {
            const QDBusArgument array = list.value<QDBusArgument>();
            array.beginArray();
            while (!array.atEnd()) {
                QDBusVariant item;
                array >> item;
                texts << textOf(item.variant());
            }
            array.endArray();
        } else {
            for (const QVariant& item : list.toList())
                texts << textOf(item);
        }
    }
    std::stable_sort(texts.begin(), texts.end(),
                     [](const PhoneText& a, const PhoneText& b) { return a.when < b.when; });
    return texts;
}

void BusPairedPhones::heard(const QString& devicePath, const QVariant& message) {
    QList<PhoneText>& texts = heard_[devicePath];
    texts << textOf(message);
    if (texts.size() > kMostHeard)
        texts.remove(0, texts.size() - kMostHeard);
}

QObject* BusPairedPhones::announcements() {
    if (!announcements_ && bus_.isConnected())
        announcements_ = std::make_unique<Announcements>(bus_, *this);
    return announcements_.get();
}

void BusPairedPhones::watch(std::function<void()> changed) {
    if (auto* told = static_cast<Announcements*>(announcements()))
        told->changed_ = std::move(changed);
}

void BusPairedPhones::watchTexts(std::function<void()> arrived) {
    if (auto* told = static_cast<Announcements*>(announcements()))
        told->arrived_ = std::move(arrived);
}

} // namespace paired

#include "bus_paired_phones.moc"
