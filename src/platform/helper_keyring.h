#pragma once

#include "platform/keyring.h"

#include <QObject>

namespace platform {

// The keyring asked through the program's helper (parlivo-keyring, beside the program), which
// speaks to the Secret Service (GNOME Keyring, KWallet, KeePassXC) through QtKeychain. The
// program itself loads no D-Bus; the secret passes through pipes, never the command line.
// Entries are kept under the service name (the program's) and the account.
class HelperKeyring final : public QObject, public Keyring {
  public:
    HelperKeyring(QString helperPath, QString service, int helperLimitMs = 15000);

    void read(const QString& account, Reply reply) override;
    void write(const QString& account, const QString& secret, Reply reply) override;
    void remove(const QString& account, Reply reply) override;

  private:
    void ask(const QString& request, const QString& account, const QByteArray& input, Reply reply);

    QString helperPath_;
    QString service_;
    int helperLimitMs_;
};

} // namespace platform
