#include "routes/phone/phone_texts.h"

namespace phone_route {

using phone::Outcome;

namespace {
QString detail(const phone::Answer& answer) {
    return answer.message.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(answer.message);
}
} // namespace

QString notReachedMessage(const phone::Answer& answer, const QString& address,
                          const QString& user) {
    QString why;
    switch (answer.outcome) {
    case Outcome::Done:
        break;
    case Outcome::NoAnswer:
        why = QStringLiteral("the phone at %1 does not answer%2. Check that SMS Gateway's local "
                             "server is on, that the phone is awake and on this network, and "
                             "that the address is the one the app shows.")
                  .arg(address, detail(answer));
        break;
    case Outcome::WrongLogin:
        why = QStringLiteral("the phone at %1 refused the user name \"%2\" or its password. Type "
                             "them as the app shows them under Local Server: choose \"Set up the "
                             "phone again…\" under \"Send by\".")
                  .arg(address, user.left(80));
        break;
    case Outcome::NotReady:
        why = QStringLiteral("SMS Gateway on the phone at %1 says it is not ready%2. Open the app "
                             "on the phone, then send again.")
                  .arg(address, detail(answer));
        break;
    case Outcome::Untrusted:
        why = QStringLiteral("the identity of %1 could not be verified, so neither the password "
                             "nor a text was sent%2.")
                  .arg(address, detail(answer));
        break;
    case Outcome::Busy:
        why = QStringLiteral("the phone at %1 has too many texts waiting%2. Let it send them, "
                             "then send again.")
                  .arg(address, detail(answer));
        break;
    case Outcome::NotOwnNetwork:
        why = answer.message + QStringLiteral(" Choose \"Set up the phone again…\" under \"Send "
                                              "by\".");
        break;
    case Outcome::Refused:
    case Outcome::Exists:
    case Outcome::BadAnswer:
        why = QStringLiteral("the phone at %1 answered in a way Parlivo cannot use%2.")
                  .arg(address, detail(answer));
        break;
    }
    return QStringLiteral("Nothing was sent: ") + why;
}

QString failedWords(const QString& error) {
    static const QList<std::pair<QString, QString>> words{
        {QStringLiteral("Invalid phone number"), QStringLiteral("the phone says the number is "
                                                                "not a valid mobile number")},
        {QStringLiteral("RESULT_ERROR_NO_SERVICE"), QStringLiteral("the phone has no service")},
        {QStringLiteral("RESULT_ERROR_RADIO_OFF"),
         QStringLiteral("the phone's radio is off (flight mode?)")},
        {QStringLiteral("RESULT_ERROR_LIMIT_EXCEEDED"),
         QStringLiteral("the phone's own limit of texts was reached")},
        {QStringLiteral("RESULT_ERROR_GENERIC_FAILURE"),
         QStringLiteral("the phone's network refused it")},
    };
    for (const auto& [said, plain] : words)
        if (error.contains(said, Qt::CaseInsensitive))
            return plain;
    return error.isEmpty()
               ? QStringLiteral("the phone could not send it")
               : QStringLiteral("the phone could not send it (%1)").arg(error.left(200));
}

QString stuckMessage(const QString& phone, int seconds) {
    return QStringLiteral("The phone took the text to %1 but has not sent it within %2 s; it may "
                          "be asleep (Android's battery saving) or its app stopped. It may still "
                          "go. The rest is kept.")
        .arg(phone)
        .arg(seconds);
}

QString notSentMessage(const QString& phone, const phone::Answer& answer, const QString& address,
                       const QString& user) {
    if (answer.outcome == Outcome::Refused)
        return QStringLiteral("the app refused it%1").arg(detail(answer));
    return notReachedMessage(answer, address, user)
        .replace(QStringLiteral("Nothing was sent: "),
                 QStringLiteral("Before the text to ") + phone + QStringLiteral(" went, "));
}

} // namespace phone_route
