#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// ModemManager in its test mode on private buses with a scripted modem
// (tests/support/modem_session.py), for one test.
class LocalModem {
  public:
    // `options` as the script takes them: "--pin", "--unregistered", "--deny", "--no-modem".
    explicit LocalModem(const QStringList& options = {});
    ~LocalModem();
    bool started() const { return bus_.isConnected(); }
    // The bus ModemManager serves, as the program finds it.
    QDBusConnection bus() const { return bus_; }
    QString address() const { return address_; }
    // Each text the modem was handed: "<number> report=<0|1>", in order.
    QStringList texts() const;
    // The messaging commands the modem was asked (AT+CMGD, AT+CMGR...), in order.
    QStringList commands(const QString& prefix) const;
    // The next text to `number` gets "+CMS ERROR: 332".
    void refuse(const QString& number);
    // What the network sends the modem, as the script takes it: "report <number> <reference>
    // <status>", "incoming <number> <text>".
    void push(const QString& line);

  private:
    QTemporaryDir folder_;
    QProcess session_;
    QDBusConnection bus_{QString()};
    QString address_;
};
