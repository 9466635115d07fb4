#pragma once

#include <QByteArrayList>
#include <QRegularExpression>
#include <QString>

namespace mail {

struct SubmitResult;

// Server text with every echo of the login replaced by "[hidden]": the password itself, and
// every run of base64 or hex that holds the user name or the password (alone, or inside the
// login's own "\0user\0password" blob), at any alignment within the run. Every text a server
// sends that may reach a box, the log or the console passes through here.
QString withoutCredentials(const QString& text, const QString& user, const QString& password);

// The same filter made once for many texts (every reply and bounce of a check).
class CredentialFilter {
  public:
    CredentialFilter(const QString& user, const QString& password);
    QString operator()(const QString& text) const;

  private:
    QString password_;
    QRegularExpression split_;
    QByteArrayList marks_;
};

// The same for every text of a submission's outcome.
void hideCredentials(SubmitResult& result, const QString& user, const QString& password);

} // namespace mail
