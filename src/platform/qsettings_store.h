#pragma once

#include "platform/settings_store.h"

#include <QSettings>
#include <memory>
#include <optional>

namespace platform {

// "<organisation>.ini" in the user's configuration folder.
QString userSettingsFile(const QString& organisation);

// The settings store as an INI file read and written through QSettings. The file may hold the
// password (where no keyring answers), so it is created readable and writable by its owner only, in
// a folder of the owner's own, and every write is on disk before the call returns. A file that is a
// link, not a regular file, or another user's is neither read nor written.
class QSettingsStore final : public SettingsStore {
  public:
    QSettingsStore(const QString& filePath, const QString& section);

    QString read(const QString& key, const QString& fallback) override;
    bool write(const QString& key, const QString& text) override;
    bool remove(const QString& key) override;
    QString writeProblem() const override { return problem_; }

    QString fileName() const { return path_; }

    // Values longer than this read as unreadable: no stored value of the program comes near.
    static constexpr qsizetype kLongestValue = 4 * 1024 * 1024;

  private:
    bool fail(const QString& reason);
    // Writes the key, or removes it when `text` is empty, with the file's checks.
    bool change(const QString& key, const std::optional<QString>& text);

    QString path_;
    QString section_;
    std::unique_ptr<QSettings> settings_; // none when the file must not be touched
    QString problem_;
};

// Removes from an INI file the values that QSettings would decode as serialised variants:
// no value of the program is one, and decoding a crafted one can ask for gigabytes.
void dropSerialisedValues(const QString& path);

} // namespace platform
