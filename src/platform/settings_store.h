#pragma once

#include <QString>

namespace platform {

// The per-user store of text values, addressed by key inside the program's section.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored text, or `fallback` when the key was never written or cannot be read.
    virtual QString read(const QString& key, const QString& fallback) = 0;
    // Creates or replaces the key; the value is on disk when this returns.
    virtual void write(const QString& key, const QString& text) = 0;
};

} // namespace platform
