#include "platform/helper_keyring.h"

#include <QProcess>
#include <QTimer>

namespace platform {

HelperKeyring::HelperKeyring(QString helperPath, QString service, int helperLimitMs)
    : helperPath_(std::move(helperPath)), service_(std::move(service)),
      helperLimitMs_(helperLimitMs) {}

void HelperKeyring::read(const QString& account, Reply reply) {
    ask(QStringLiteral("read"), account, {}, std::move(reply));
}

void HelperKeyring::write(const QString& account, const QString& secret, Reply reply) {
    ask(QStringLiteral("write"), account, secret.toUtf8(), std::move(reply));
}

void HelperKeyring::remove(const QString& account, Reply reply) {
    ask(QStringLiteral("remove"), account, {}, std::move(reply));
}

void HelperKeyring::ask(const QString& request, const QString& account, const QByteArray& input,
                        Reply reply) {
    auto* helper = new QProcess(this);
    auto answered = std::make_shared<bool>(false);
    const auto answer = [helper, answered, reply](Answer what, const QString& secret) {
        if (*answered)
            return;
        *answered = true;
        reply(what, secret);
        helper->deleteLater();
    };
    connect(helper, &QProcess::finished, this,
            [helper, answer](int exitCode, QProcess::ExitStatus status) {
                if (status != QProcess::NormalExit)
                    return answer(Answer::Unavailable, QString());
                if (exitCode == 0)
                    return answer(Answer::Done, QString::fromUtf8(helper->readAllStandardOutput()));
                answer(exitCode == 2 ? Answer::NotFound : Answer::Unavailable, QString());
            });
    connect(helper, &QProcess::errorOccurred, this, [answer](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            answer(Answer::Unavailable, QString());
    });
    // A keyring that never answers: the helper is ended, and the request counts as refused.
    auto* limit = new QTimer(helper);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, helper, [helper, answer] {
        helper->kill();
        answer(Answer::Unavailable, QString());
    });
    limit->start(helperLimitMs_);
    helper->setProcessChannelMode(QProcess::SeparateChannels);
    helper->setStandardErrorFile(QProcess::nullDevice());
    helper->start(helperPath_, {request, service_, account});
    if (!input.isEmpty())
        helper->write(input);
    helper->closeWriteChannel();
}

} // namespace platform
