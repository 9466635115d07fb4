#pragma once

#include <QString>

namespace platform {

// The per-user store of text values, addressed by key inside the program's section.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored text, or `fallback` when the key was never written or cannot be read.
    virtual QString read(const QString& key, const QString& fallback) = 0;
    // Creates or replaces the key; true when the value is on disk when this returns.
    virtual bool write(const QString& key, const QString& text) = 0;
    // Removes the key; true when it is gone from the disk when this returns.
    virtual bool remove(const QString& key) = 0;
    // Why the last write failed: a sentence naming the settings file and the reason.
    virtual QString writeProblem() const = 0;
};

} // namespace platform
