#include "routes/email/mail/lazy_mail_module.h"

namespace mail {

LazyMailSubmitter::LazyMailSubmitter(QString modulePath, const platform::Clock* clock,
                                     MailOptions options)
    : module_(modulePath), clock_(clock), options_(std::move(options)) {}

LazyMailSubmitter::~LazyMailSubmitter() = default;

MailSubmitter* LazyMailSubmitter::loaded(QString* problem) {
    if (!loaded_) {
        const auto create =
            reinterpret_cast<MailModuleFactory>(module_.resolve(kMailModuleFactory));
        if (!create) {
            *problem = QStringLiteral("The mail component could not be loaded: %1")
                           .arg(module_.errorString());
            return nullptr;
        }
        loaded_.reset(create(&options_, clock_));
    }
    return loaded_.get();
}

SubmitResult LazyMailSubmitter::submit(const MailMessage& message) {
    QString problem;
    MailSubmitter* mail = loaded(&problem);
    return mail ? mail->submit(message) : SubmitResult{MailFailure::General, problem};
}

BatchResult LazyMailSubmitter::submitEach(const MailMessage& common,
                                          const QList<QStringList>& recipientGroups,
                                          const BatchSteps& steps) {
    QString problem;
    if (MailSubmitter* mail = loaded(&problem))
        return mail->submitEach(common, recipientGroups, steps);
    BatchResult result;
    result.stop = {MailFailure::General, problem};
    return result;
}

LazyMailboxReader::LazyMailboxReader(QString modulePath, MailOptions options)
    : module_(modulePath), options_(std::move(options)) {}

LazyMailboxReader::~LazyMailboxReader() = default;

MailboxResult LazyMailboxReader::readBounces(const QString& user, const QString& password,
                                             const QDate& since, const QStringList& replyDomains) {
    if (!loaded_) {
        const auto create =
            reinterpret_cast<MailboxModuleFactory>(module_.resolve(kMailboxModuleFactory));
        if (!create)
            return {MailboxFailure::Other, module_.errorString(), {}};
        loaded_.reset(create(&options_));
    }
    return loaded_->readBounces(user, password, since, replyDomains);
}

} // namespace mail
