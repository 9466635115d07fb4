#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A stand-in phone running SMS Gateway for Android's local server (phone_standin.py) on
// 127.0.0.1, for one test.
class LocalPhone {
  public:
    // With `certificate` and `key`, it answers HTTPS only.
    explicit LocalPhone(const QString& certificate = {}, const QString& key = {});
    ~LocalPhone();
    quint16 port() const { return port_; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // As the stand-in takes them: "fate <number> ...", "inbox <sender> <text>", "mode ...".
    void push(const QString& line);
    // What it logged, the lines of each kind: "TEXT <number> <id>", "ASK <method> <path>",
    // "BAD <reason>".
    QStringList logged(const QString& kind) const;

  private:
    QTemporaryDir folder_;
    QProcess process_;
    quint16 port_ = 0;
};
