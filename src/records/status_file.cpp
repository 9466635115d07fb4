#include "records/status_file.h"

#include "platform/private_files.h"
#include "recipients/phone_rules.h"
#include "records/list_files.h"

#include <QFileInfo>
#include <algorithm>

namespace records {

using model::StatusEvent;
using model::StatusKind;

namespace {
constexpr qint64 kLongestStatusFile = 16 * 1024 * 1024;

const QList<std::pair<StatusKind, QByteArray>> kKinds{{StatusKind::Taken, "taken"},
                                                      {StatusKind::NotSent, "not-sent"},
                                                      {StatusKind::MayHaveGone, "uncertain"},
                                                      {StatusKind::Delivered, "delivered"},
                                                      {StatusKind::NotDelivered, "not-delivered"},
                                                      {StatusKind::Replied, "replied"}};

QByteArray wordOf(StatusKind kind) {
    for (const auto& [k, word] : kKinds)
        if (k == kind)
            return word;
    return {};
}

void add(model::PhoneStatuses& statuses, const StatusEvent& event) {
    QList<StatusEvent>& events = statuses[event.phone];
    events << event;
    if (events.size() > model::kStatusEvents)
        events.remove(0, events.size() - model::kStatusEvents);
}
} // namespace

QString statusKey(const QString& phoneOrAddress, const QString& countryCode) {
    const QString phone = recipients::isFullAddress(phoneOrAddress)
                              ? recipients::phoneOf(phoneOrAddress)
                              : phoneOrAddress;
    if (!recipients::isNumber(phone))
        return phoneOrAddress.trimmed().toLower();
    return recipients::internationalNumber(phone, countryCode);
}

QByteArray statusText(const QList<StatusEvent>& events) {
    QByteArray text;
    for (const StatusEvent& e : events)
        text += encodedField(e.phone) + '\t' + wordOf(e.kind) + '\t' +
                e.whenUtc.toString(Qt::ISODate).toLatin1() + '\t' + encodedField(e.route) + '\t' +
                encodedField(e.detail) + '\n';
    return text;
}

model::PhoneStatuses readStatuses(const QByteArray& text) {
    model::PhoneStatuses statuses;
    const auto events =
        readRecords(text, nullptr, [](const QByteArrayList& f) -> std::optional<StatusEvent> {
            if (f.size() != 5)
                return std::nullopt;
            for (const auto& [kind, word] : kKinds)
                if (f[1] == word) {
                    StatusEvent e{decodedField(f[0]), kind,
                                  QDateTime::fromString(QString::fromLatin1(f[2]), Qt::ISODate),
                                  decodedField(f[3]), decodedField(f[4])};
                    if (e.phone.isEmpty() || !e.whenUtc.isValid())
                        return std::nullopt;
                    return e;
                }
            return std::nullopt;
        });
    for (const StatusEvent& e : events)
        add(statuses, e);
    return statuses;
}

model::PhoneStatuses loadStatuses(const QString& path) {
    bool whole = true;
    const auto bytes = readListFile(path, kLongestStatusFile, &whole);
    return bytes && whole ? readStatuses(*bytes) : model::PhoneStatuses();
}

void noteStatuses(const QString& path, const QList<StatusEvent>& events,
                  model::PhoneStatuses* statuses) {
    if (statuses)
        for (const StatusEvent& e : events)
            add(*statuses, e);
    if (path.isEmpty() || events.isEmpty())
        return;
    const QByteArray lines = statusText(events);
    if (appendRecordLines(path, lines, kLongestStatusFile))
        return;
    // A new file, or one grown past its bound: each phone's last events, written whole within
    // three quarters of the bound (room for what is added next), the oldest left out first.
    model::PhoneStatuses all = loadStatuses(path);
    for (const StatusEvent& e : events)
        add(all, e);
    QList<StatusEvent> kept;
    for (const QList<StatusEvent>& phone : std::as_const(all))
        kept += phone;
    std::stable_sort(kept.begin(), kept.end(), [](const StatusEvent& a, const StatusEvent& b) {
        return a.whenUtc < b.whenUtc;
    });
    QByteArray text = statusText(kept);
    qsizetype cut = 0;
    while (text.size() - cut > kLongestStatusFile * 3 / 4)
        cut = text.indexOf('\n', cut) + 1;
    text.remove(0, cut);
    platform::makePrivateFolder(QFileInfo(path).absolutePath());
    QString reason;
    platform::replacePrivateFile(path, text, &reason);
}

} // namespace records
