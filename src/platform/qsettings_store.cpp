#include "platform/qsettings_store.h"

#include "platform/private_files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QString userSettingsFile(const QString& organisation) {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, organisation).fileName();
}

namespace {
constexpr qint64 kLongestFile = 64 * 1024 * 1024;

bool isSerialisedVariant(const QByteArray& line) {
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return false;
    QByteArray value = line.mid(equals + 1).trimmed();
    if (value.startsWith('"'))
        value = value.mid(1);
    return value.startsWith("@Variant(");
}

// Creates the file 0600 without following a link; an existing file is tightened to 0600.
void createPrivateFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600);
        ::close(fd);
    }
}
} // namespace

void dropSerialisedValues(const QString& path) {
    QFile file(path);
    if (file.size() > kLongestFile || !file.open(QIODevice::ReadOnly))
        return;
    const QByteArrayList lines = file.readAll().split('\n');
    file.close();
    QByteArray kept;
    bool dropped = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (isSerialisedVariant(lines[i])) {
            dropped = true;
            continue;
        }
        kept += lines[i];
        if (i + 1 < lines.size())
            kept += '\n';
    }
    if (!dropped)
        return;
    QSaveFile save(path);
    if (save.open(QIODevice::WriteOnly)) {
        save.write(kept);
        save.commit();
    }
}

QSettingsStore::QSettingsStore(const QString& filePath, const QString& section)
    : path_(filePath), section_(section) {
    if (const auto unsafe = unsafeToWrite(filePath)) {
        problem_ = QStringLiteral("The settings file %1 is not used: %2.").arg(filePath, *unsafe);
        return;
    }
    dropSerialisedValues(filePath);
    settings_ = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
}

QString QSettingsStore::read(const QString& key, const QString& fallback) {
    const QString path = section_ + QLatin1Char('/') + key;
    if (!settings_ || !settings_->contains(path))
        return fallback;
    const QVariant value = settings_->value(path);
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

bool QSettingsStore::fail(const QString& reason) {
    problem_ = QStringLiteral("The settings could not be saved to %1: %2.").arg(path_, reason);
    return false;
}

bool QSettingsStore::write(const QString& key, const QString& text) {
    return change(key, text);
}

bool QSettingsStore::remove(const QString& key) {
    return change(key, std::nullopt);
}

bool QSettingsStore::change(const QString& key, const std::optional<QString>& text) {
    if (!settings_)
        return false; // the problem was set when the file was found unsafe
    if (!makePrivateFolder(QFileInfo(path_).absolutePath()))
        return fail(QStringLiteral("its folder could not be created"));
    if (const auto unsafe = unsafeToWrite(path_))
        return fail(*unsafe);
    createPrivateFile(path_);
    if (text)
        settings_->setValue(section_ + QLatin1Char('/') + key, *text);
    else
        settings_->remove(section_ + QLatin1Char('/') + key);
    settings_->sync();
    if (settings_->status() == QSettings::NoError)
        return true;
    QSaveFile probe(path_);
    if (!probe.open(QIODevice::WriteOnly))
        return fail(probe.errorString());
    probe.cancelWriting();
    return fail(QStringLiteral("the file could not be written (is the disk full?)"));
}

} // namespace platform
