#pragma once

#include "platform/settings_store.h"

#include <QSettings>

namespace platform {

// "<organisation>.ini" in the user's configuration folder.
QString userSettingsFile(const QString& organisation);

// The settings store as an INI file read and written through QSettings. The file holds the
// password, so it is created readable and writable by its owner only, and every write is
// on disk before the call returns.
class QSettingsStore final : public SettingsStore {
  public:
    QSettingsStore(const QString& filePath, const QString& section);

    QString read(const QString& key, const QString& fallback) override;
    void write(const QString& key, const QString& text) override;

    QString fileName() const { return settings_.fileName(); }

    // Values longer than this read as unreadable: no stored value of the program comes near.
    static constexpr qsizetype kLongestValue = 4 * 1024 * 1024;

  private:
    void createPrivateFile();

    QSettings settings_;
    QString section_;
};

} // namespace platform
