#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace dispatch {

// A text whose recipients did not all go out: kept before the send connects and brought up
// to date after each message the server takes, so that a stop, a refusal or a crash leaves
// exactly what has not gone.
struct KeptSend {
    QDateTime keptUtc;
    QString subject;
    QString body;
    QStringList addresses; // not yet taken by the server, in the order they go
    // The first `uncertain` addresses went in a message whose final reply never came: it may
    // have gone out.
    qsizetype uncertain = 0;
    bool operator==(const KeptSend&) const = default;
};

inline const QString kKeptFileName = QStringLiteral("kept-sends.tsv");

// One line a kept text, its fields percent-encoded and separated by tabs. Lines that cannot
// be read are left out and counted in `unreadable`.
QByteArray keptSendsText(const QList<KeptSend>& sends);
QList<KeptSend> readKeptSends(const QByteArray& text, qsizetype* unreadable = nullptr);

// The file in the user's data folder; a missing file keeps nothing. A file that cannot be
// read whole is moved aside and `keptAs` says where; the texts it could read are returned.
QList<KeptSend> loadKeptSends(const QString& path, QString* keptAs);
// Replaces the file whole (0600, never through a link); an empty list removes it. False when
// it could not be written: the file as it was stays.
bool saveKeptSends(const QString& path, const QList<KeptSend>& sends);

// The phone of each address (its part before the last "@"), each once, in order.
QStringList phonesOf(const QStringList& addresses);

} // namespace dispatch
