#include "platform/qsettings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform {

QString userSettingsFile(const QString& organisation) {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, organisation).fileName();
}

namespace {
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;
} // namespace

QSettingsStore::QSettingsStore(const QString& filePath, const QString& section)
    : settings_(filePath, QSettings::IniFormat), section_(section) {}

QString QSettingsStore::read(const QString& key, const QString& fallback) {
    const QString path = section_ + QLatin1Char('/') + key;
    if (!settings_.contains(path))
        return fallback;
    const QVariant value = settings_.value(path);
    QString text;
    switch (value.typeId()) {
    case QMetaType::QString:
        text = value.toString();
        break;
    case QMetaType::QStringList: // a hand-written value with commas outside quotes
        text = value.toStringList().join(QLatin1String(", "));
        break;
    case QMetaType::QByteArray:
        text = QString::fromUtf8(value.toByteArray());
        break;
    default: // any other serialised type was not written by this program
        return fallback;
    }
    if (text.size() > kLongestValue)
        return fallback;
    return text;
}

void QSettingsStore::createPrivateFile() {
    const QString path = settings_.fileName();
    QFileInfo info(path);
    if (info.exists()) {
        if ((info.permissions() & ~(kOwnerOnly | QFile::ReadUser | QFile::WriteUser)) != 0)
            QFile::setPermissions(path, kOwnerOnly);
        return;
    }
    QDir().mkpath(info.absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        file.setPermissions(kOwnerOnly);
}

void QSettingsStore::write(const QString& key, const QString& text) {
    createPrivateFile();
    settings_.setValue(section_ + QLatin1Char('/') + key, text);
    settings_.sync();
}

} // namespace platform
