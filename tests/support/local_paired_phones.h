#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A stand-in of KDE Connect's daemon or GSConnect's service on a private session bus
// (tests/support/paired_phone_session.py), for one test; the session bus this process's
// environment names from then on.
class LocalPairedPhones {
  public:
    // `options` as the script takes them: "--gsconnect", "--phone <id>=<name>"...
    explicit LocalPairedPhones(const QStringList& options);
    ~LocalPairedPhones();
    bool started() const { return !address_.isEmpty(); }
    QString address() const { return address_; }
    // What the phones were handed, a line each as the stand-in logs it.
    QStringList handed() const;
    // A line of the script's ("receive <id> <number> <text>"...), once it is done.
    void push(const QString& line);

  private:
    QTemporaryDir folder_;
    QProcess session_;
    QString address_;
};
