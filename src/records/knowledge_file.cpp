#include "records/knowledge_file.h"

#include "platform/private_files.h"
#include "recipients/phone_rules.h"
#include "records/list_files.h"

#include <QFileInfo>

namespace records {

using model::GatewayRecord;
using model::Knowledge;
using model::PhoneKnowledge;

namespace {
constexpr qint64 kLongestKnowledgeFile = 16 * 1024 * 1024;

QByteArray when(const QDateTime& utc) {
    return utc.toString(Qt::ISODate).toLatin1();
}
QDateTime whenOf(const QByteArray& text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}
} // namespace

QByteArray knowledgeText(const Knowledge& k) {
    QByteArray text;
    for (auto phone = k.phones.cbegin(); phone != k.phones.cend(); ++phone) {
        QByteArrayList refused;
        for (auto at = phone->refusedAt.cbegin(); at != phone->refusedAt.cend(); ++at)
            refused << encodedField(at.key()) + '=' + when(at.value());
        text += "phone\t" + encodedField(phone.key()) + '\t' + encodedField(phone->carrier) + '\t' +
                (phone->certain ? "1" : "0") + '\t' + when(phone->carrierLearnedUtc) + '\t' +
                refused.join(',') +
                (phone->optedOutUtc.isValid() ? '\t' + when(phone->optedOutUtc) : QByteArray()) +
                (phone->optedOutUtc.isValid() && !phone->optedOutNumber.isEmpty()
                     ? '\t' + encodedField(phone->optedOutNumber)
                     : QByteArray()) +
                '\n';
    }
    for (auto gateway = k.gateways.cbegin(); gateway != k.gateways.cend(); ++gateway) {
        QByteArrayList sends;
        for (const GatewayRecord& r : gateway.value())
            sends << QByteArray::number(r.sent) + '/' + QByteArray::number(r.refused);
        text += "gateway\t" + encodedField(gateway.key()) + '\t' + sends.join(',') + '\n';
    }
    return text;
}

Knowledge readKnowledge(const QByteArray& text) {
    Knowledge k;
    for (const QByteArray& line : text.split('\n')) {
        const QByteArrayList f = line.split('\t');
        if (f.size() >= 6 && f.size() <= 8 && f[0] == "phone" && !f[1].isEmpty()) {
            PhoneKnowledge phone;
            phone.carrier = decodedField(f[2]);
            phone.certain = f[3] == "1";
            phone.carrierLearnedUtc = whenOf(f[4]);
            for (const QByteArray& item : f[5].split(',')) {
                const qsizetype is = item.indexOf('=');
                if (is > 0 && whenOf(item.mid(is + 1)).isValid())
                    phone.refusedAt.insert(decodedField(item.left(is)), whenOf(item.mid(is + 1)));
            }
            phone.optedOutUtc = whenOf(f.value(6));
            phone.optedOutNumber = decodedField(f.value(7));
            k.phones.insert(decodedField(f[1]), phone);
        } else if (f.size() == 3 && f[0] == "gateway" && !f[1].isEmpty()) {
            QList<GatewayRecord> sends;
            for (const QByteArray& item : f[2].split(',')) {
                const QByteArrayList counts = item.split('/');
                if (counts.size() == 2)
                    sends << GatewayRecord{counts[0].toLongLong(), counts[1].toLongLong()};
            }
            k.gateways.insert(decodedField(f[1]),
                              sends.mid(qMax<qsizetype>(0, sends.size() - model::kGatewaySends)));
        }
    }
    return k;
}

Knowledge loadKnowledge(const QString& path, QString* keptAs) {
    if (path.isEmpty())
        return {};
    QString aside; // moved aside even when nobody asks where: the next save must not lose it
    return loadListFile(path, kLongestKnowledgeFile, keptAs ? keptAs : &aside,
                        [](const QByteArray& text, qsizetype* unreadable) {
                            *unreadable = 0; // a line it cannot read is left out
                            return readKnowledge(text);
                        });
}

QString knowledgeKeptAsideMessage(const QString& keptAs) {
    return QStringLiteral("Parlivo could not use what it had learned of each phone's carrier "
                          "(the file is too large, a link, or not yours). It was kept as it "
                          "was, as %1, and Parlivo learns anew from the next checks.")
        .arg(keptAs);
}

bool optedOut(const Knowledge& known, const QString& phoneRow, const QString& countryCode) {
    if (recipients::isFullAddress(phoneRow))
        return false;
    const auto phone = known.phones.constFind(recipients::lastTenDigits(phoneRow));
    if (phone == known.phones.cend() || !phone->optedOutUtc.isValid())
        return false;
    // A STOP from a whole number stops only that number, as the row would be texted whole.
    return phone->optedOutNumber.isEmpty() ||
           recipients::samePhone(recipients::internationalNumber(phoneRow, countryCode),
                                 phone->optedOutNumber);
}

void saveKnowledge(const QString& path, const Knowledge& knowledge) {
    if (path.isEmpty())
        return;
    platform::makePrivateFolder(QFileInfo(path).absolutePath());
    QString reason;
    platform::replacePrivateFile(path, knowledgeText(knowledge), &reason);
}

} // namespace records
