#include "sending/send_flow.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "core/procedure.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "recipients/phone_rules.h"
#include "records/kept_file.h"
#include "records/knowledge_file.h"
#include "records/pending_file.h"
#include "records/sent_log.h"
#include "records/status_file.h"
#include "sending/allowance.h"
#include "sending/send_texts.h"

#include <QHash>
#include <QSet>
#include <optional>

namespace sending {

using model::PhoneFate;
using model::PhoneOutcome;
using model::Targets;

namespace {

void tell(const model::CommandContext& c, const QString& text) {
    c.desktop.messageBox(text, platform::Buttons::Ok, platform::Icon::None, c.applicationTitle);
}

// What the pending sends keep of a batch the route took at `when`.
model::PendingSend pendingSend(const Send& s, const QString& reference, const QDateTime& when,
                               const Targets& taken) {
    return {
        reference, when.toUTC(), records::logStamp(when), s.text.subject, model::addressesOf(taken),
        {},        false,        s.route.partsOf(s.text), s.route.id()};
}

// Each phone once, in order.
QStringList distinct(const QStringList& phones) {
    QStringList once;
    QSet<QString> seen;
    for (const QString& phone : phones)
        if (!seen.contains(phone)) {
            seen.insert(phone);
            once << phone;
        }
    return once;
}

// The phones whose outcome is one of `fates`, each once.
QStringList phonesWith(const QList<PhoneOutcome>& outcomes,
                       std::initializer_list<PhoneFate> fates) {
    QStringList phones;
    for (const PhoneOutcome& outcome : outcomes)
        if (std::find(fates.begin(), fates.end(), outcome.fate) != fates.end())
            phones << outcome.target.phone;
    return distinct(phones);
}

// Each phone of `targets` once, its key in the statuses.
QStringList statusKeys(const model::CommandContext& c, const Targets& targets) {
    QStringList keys;
    for (const model::PhoneTarget& target : targets)
        if (const QString key = records::statusKey(target.phone, c.countryCode);
            !keys.contains(key))
            keys << key;
    return keys;
}

// What became of the phones of `targets`, told to their statuses.
void note(const Send& s, const Targets& targets, model::StatusKind kind,
          const QString& detail = {}) {
    QList<model::StatusEvent> events;
    const QDateTime now = s.c.clock.now().toUTC();
    const QString by = s.route.words().by;
    for (const QString& key : statusKeys(s.c, targets))
        events << model::StatusEvent{key, kind, now, by,
                                     detail.section(QLatin1Char('\n'), 0, 0).trimmed().left(120)};
    records::noteStatuses(s.c.files.status, events, s.c.statuses);
}

QList<PhoneOutcome> outcomesOf(const Targets& targets, PhoneFate fate,
                               const QString& reference = {}) {
    QList<PhoneOutcome> outcomes;
    for (const model::PhoneTarget& target : targets)
        outcomes << PhoneOutcome{target, fate, reference};
    return outcomes;
}

// A send of several batches while it runs: the rest kept in the kept-texts file, each batch
// taken logged, remembered and taken out of the rest, in that order.
class BatchSend {
  public:
    BatchSend(const Send& send, const Targets& now, const Targets& later, const QDateTime& keptUtc,
              qsizetype replacing)
        : s_(send), c_(send.c), now_(now), rest_(now + later), replacing_(replacing),
          batches_(send.route.batches(now)), alone_(batches_.size() == 1 && later.isEmpty()),
          progress_(alone_ ? nullptr : send.c.progress),
          words_(send.route.words()), whole_{records::asKept(keptUtc),
                                             send.text.subject,
                                             send.text.body,
                                             model::addressesOf(rest_),
                                             0,
                                             send.route.id()} {}

    QList<PhoneOutcome> run() {
        if (!keepWhole())
            return {};
        const model::RouteResult result = sendBatches();
        return finish(result);
    }

  private:
    // The whole rest is kept before anything goes: a send cut short then knows what is left.
    bool keepWhole() {
        kept_ = loadKeptTexts(c_, s_.ledger.sends());
        mine_ = replacing_ >= 0 && replacing_ < kept_.size() ? replacing_ : kept_.size();
        if (mine_ == kept_.size()) {
            kept_ << whole_;
        } else {
            // A kept text sent again keeps its mark until something of it goes.
            keptUncertain_ = qMin(kept_[mine_].uncertain, whole_.addresses.size());
            kept_[mine_] = whole_;
            kept_[mine_].uncertain = keptUncertain_;
        }
        if (records::saveKeptSends(c_.files.kept, kept_))
            return true;
        c_.pointer.setStyle(core::kDefaultPointer);
        tell(c_, QStringLiteral("Parlivo could not write its list of recipients still to go (%1), "
                                "so nothing was sent: a send cut short would not know what is "
                                "left. Free some disk space and send again.")
                     .arg(c_.files.kept));
        return false;
    }

    model::RouteResult sendBatches() {
        if (batches_.isEmpty())
            return {};
        model::RouteSteps steps;
        steps.sending = [this](int index) { sending(index); };
        steps.taken = [this](int index, const QString& reference, const QStringList& refused) {
            taken(index, reference, refused);
        };
        steps.refused = [this](int index, const QString& reason) { refused(index, reason); };
        steps.goOn = [this] { return !logFailure_ && !(progress_ && progress_->stopAsked()); };
        if (progress_)
            showProgress(0);
        model::TextToSend text = s_.text;
        text.keptUtc = whole_.keptUtc;
        const model::RouteResult result = s_.route.sendEach(text, batches_, steps);
        if (progress_)
            progress_->close();
        return result;
    }

    void showProgress(int batchesDone) {
        progress_->show({batchesDone, int(batches_.size()), done_, model::recipientCount(now_),
                         words_.batches,
                         s_.route.secondsLeft(int(batches_.size()) - batchesDone, s_.text)});
    }

    // A route may send the next batch before the one before is told: all of them in flight
    // are the first of the rest, and marked uncertain until told.
    void sending(int index) {
        inFlight_ += model::recipientCount(batches_[index]);
        ++batchesInFlight_;
        kept_[mine_].uncertain = inFlight_;
        records::keepInFlight(c_.files.kept, kept_, mine_, inFlight_);
    }

    // A batch told: the rest without it, those still in flight marked again.
    void told(qsizetype size, const QStringList& refused, const QStringList& toEnd) {
        inFlight_ = qMax<qsizetype>(0, inFlight_ - size);
        batchesInFlight_ = qMax(0, batchesInFlight_ - 1);
        kept_[mine_].addresses = model::addressesOf(rest_);
        kept_[mine_].uncertain = inFlight_;
        records::keepGone(c_.files.kept, kept_, mine_, size, refused, toEnd);
        if (inFlight_ > 0) // a "gone" line clears the mark
            records::keepInFlight(c_.files.kept, kept_, mine_, inFlight_);
    }

    // The log first, then the pending sends, then the kept rest: a crash between them leaves
    // this batch named uncertain, never lost.
    void taken(int index, const QString& reference, const QStringList& refused) {
        const Targets& batch = batches_[index];
        const Targets sent = model::without(batch, refused);
        const QDateTime when = c_.clock.now();
        try {
            const QStringList phones = distinct(model::phonesOf(sent));
            records::WriteSentLog(
                c_.files.log, records::sentLogRecord(when, phones.join(QLatin1Char(',')),
                                                     s_.text.subject, s_.text.body, words_.inLog));
        } catch (const core::Failure& failure) {
            if (alone_) // a send of one batch: its numbered statement reports it, and it ends
                core::showErrorReport(c_.desktop, core::qualifiedName("Form1", "PushButton1_Click"),
                                      kLogLine, failure.description());
            else if (!logFailure_) // the send stops after the batch in flight
                logFailure_ = failure;
        }
        if (!reference.isEmpty()) // what a report or a reply could be tied to
            s_.ledger.remember(pendingSend(s_, reference, when, sent));
        const qsizetype size = model::recipientCount(batch);
        rest_ = model::onlyAt(batch, refused) + model::afterRecipients(rest_, size);
        told(size, refused, {});
        outcomes_ += outcomesOf(sent, PhoneFate::Taken, reference);
        note(s_, sent, model::StatusKind::Taken, s_.route.words().taken);
        refused_ += refused;
        done_ += size;
        if (progress_)
            showProgress(index + 1);
    }

    // A batch refused while the send goes on: kept at the end of the rest, to go another time.
    void refused(int index, const QString& reason) {
        const Targets& batch = batches_[index];
        const qsizetype size = model::recipientCount(batch);
        rest_ = model::afterRecipients(rest_, size) + batch;
        told(size, {}, model::addressesOf(batch));
        for (const model::PhoneTarget& target : batch)
            refusedPhones_.insert(target.phone, reason);
        note(s_, batch, model::StatusKind::NotSent, reason);
        done_ += size;
        if (progress_)
            showProgress(index + 1);
    }

    QList<PhoneOutcome> finish(const model::RouteResult& result) {
        KeptEnd end = keepWhatIsLeft(result);
        c_.pointer.setStyle(core::kDefaultPointer);
        if (end.nothingWent && result.failure)
            throw *result.failure;
        QList<PhoneOutcome> outcomes = outcomes_;
        outcomes +=
            outcomesOf(model::firstRecipients(end.left, end.uncertain), PhoneFate::Uncertain);
        for (const model::PhoneTarget& target : model::afterRecipients(end.left, end.uncertain)) {
            bool refused = refusedPhones_.contains(target.phone);
            for (const QString& address : target.addresses())
                refused = refused || refused_.contains(address);
            outcomes << PhoneOutcome{target, refused ? PhoneFate::Refused : PhoneFate::NotSent,
                                     refusedPhones_.value(target.phone)};
        }
        noteLeft(result, end);
        tellOutcome(result, outcomes);
        return outcomes;
    }

    struct KeptEnd {
        bool nothingWent = false;
        Targets left;
        qsizetype uncertain = 0;
    };
    // What is left stays kept, with the batch in flight marked when its answer never came,
    // and each refused phone with it; a send of which nothing went and nothing was refused
    // keeps nothing new.
    KeptEnd keepWhatIsLeft(const model::RouteResult& result) {
        KeptSend& rest = kept_[mine_];
        KeptEnd end;
        end.nothingWent = !batches_.isEmpty() && result.taken == 0 && !result.nextMayHaveGone &&
                          refusedPhones_.isEmpty();
        if (end.nothingWent)
            rest.uncertain = keptUncertain_; // nothing of it went: as it was kept
        else if (!result.nextMayHaveGone)
            rest.uncertain = 0;
        if (!end.nothingWent) {
            end.left = rest_;
            end.uncertain = rest.uncertain;
        }
        if ((end.nothingWent && replacing_ < 0) || rest.addresses.isEmpty())
            kept_.removeAt(mine_);
        records::saveKeptSends(c_.files.kept, kept_);
        return end;
    }

    // What the send left: the batch whose answer never came, and the rest kept (refused
    // phones were told as they were refused).
    void noteLeft(const model::RouteResult& result, const KeptEnd& end) {
        note(s_, model::firstRecipients(end.left, end.uncertain), model::StatusKind::MayHaveGone);
        Targets kept;
        for (const model::PhoneTarget& target : model::afterRecipients(end.left, end.uncertain))
            if (!refusedPhones_.contains(target.phone))
                kept << target;
        const QString why = result.failure ? result.failure->description()
                            : result.stopped
                                ? QStringLiteral("the send was stopped")
                                : QStringLiteral("kept for later: ") + words_.allowance;
        note(s_, kept, model::StatusKind::NotSent, why);
    }

    // Why the send did not take every phone: the route's words and each refused phone's, else
    // the log's failure, else the stop asked; nothing when only the allowance kept some.
    QString reasonOf(const model::RouteResult& result, const QList<PhoneOutcome>& outcomes) const {
        QStringList reasons;
        if (result.failure)
            reasons << result.failure->description();
        for (const PhoneOutcome& o : outcomes)
            if (o.fate == PhoneFate::Refused && !o.reference.isEmpty())
                reasons << o.target.phone + QStringLiteral(": ") + o.reference;
        if (!reasons.isEmpty())
            return reasons.join(QStringLiteral("\r\n"));
        if (logFailure_)
            return QStringLiteral("The log could not be written, so the send stopped after the "
                                  "%1 in flight: %2")
                .arg(words_.batch, logFailure_->description());
        if (result.stopped)
            return QStringLiteral("The send was stopped as you asked, after the %1 in flight.")
                .arg(words_.batch);
        return {};
    }

    void tellOutcome(const model::RouteResult& result, const QList<PhoneOutcome>& outcomes) {
        SendOutcome outcome;
        outcome.batches = int(batches_.size());
        outcome.batchesSent = result.taken;
        outcome.sentPhones = phonesWith(outcomes, {PhoneFate::Taken});
        outcome.uncertainPhones = phonesWith(outcomes, {PhoneFate::Uncertain});
        outcome.uncertainBatches = batchesInFlight_;
        outcome.unsentPhones = phonesWith(outcomes, {PhoneFate::Refused, PhoneFate::NotSent});
        outcome.logged = !logFailure_;
        const QString reason = reasonOf(result, outcomes);
        if (c_.showStatuses) // the rows say what the box says
            c_.showStatuses();
        if (reason.isEmpty() && rest_.isEmpty())
            tell(c_, QStringLiteral("Done."));
        else
            tell(c_, sendOutcomeMessage(words_, outcome, reason));
    }

    using KeptSend = model::KeptSend;
    const Send& s_;
    const model::CommandContext& c_;
    const Targets now_;
    Targets rest_; // what has not gone, in the order it goes
    const qsizetype replacing_;
    const QList<Targets> batches_;
    const bool alone_;                    // the whole send is one batch
    model::SendProgress* const progress_; // shown while several batches go
    const model::RouteWords words_;
    const KeptSend whole_;
    QList<KeptSend> kept_;
    qsizetype mine_ = -1;
    qsizetype keptUncertain_ = 0;  // the mark of the kept text this send takes the place of
    qsizetype inFlight_ = 0;       // recipients sent and not yet told
    int batchesInFlight_ = 0;      // and the batches they are in
    QList<PhoneOutcome> outcomes_; // the phones taken so far
    QStringList refused_;          // addresses refused while the rest of their batch went
    QHash<QString, QString> refusedPhones_; // phones refused while the send went on, and why
    qsizetype done_ = 0;
    std::optional<core::Failure> logFailure_;
};

} // namespace

QList<model::KeptSend> loadKeptTexts(const model::CommandContext& c,
                                     const QList<model::PendingSend>& pending) {
    QString keptAs;
    QList<model::KeptSend> kept = records::loadKeptSends(c.files.kept, &keptAs);
    if (!keptAs.isEmpty())
        tell(c, keptTextsAsideMessage(keptAs));
    // A send killed after a message was remembered as taken but before the kept rest was
    // brought up to date leaves that message in both, marked uncertain in the rest: what the
    // pending sends of the text hold as taken leaves its uncertain head.
    bool changed = false;
    for (model::KeptSend& text : kept) {
        QSet<QString> taken;
        for (const model::PendingSend& send : pending)
            if (send.route == text.route && send.subject == text.subject &&
                send.sentUtc >= text.keptUtc)
                taken.unite(QSet<QString>(send.addresses.cbegin(), send.addresses.cend()));
        qsizetype index = 0;
        const qsizetype uncertain = text.uncertain;
        text.addresses.removeIf([&](const QString& address) {
            const bool gone = index++ < uncertain && taken.contains(address);
            text.uncertain -= gone;
            changed = changed || gone;
            return gone;
        });
    }
    kept.removeIf([](const model::KeptSend& text) { return text.addresses.isEmpty(); });
    if (changed)
        records::saveKeptSends(c.files.kept, kept);
    return kept;
}

KnownPhones::KnownPhones(const model::CommandContext& c) : known_(c.knowledge) {
    if (!c.knowledge)
        read_ = records::loadKnowledge(c.files.knowledge);
}

QStringList leaveOutOptedOut(QStringList& items, const model::Knowledge& known,
                             const QString& countryCode,
                             const std::function<QString(const QString&)>& phoneOf) {
    QStringList phones;
    QSet<QString> named;
    items.removeIf([&](const QString& item) {
        const QString phone = phoneOf(item);
        if (!records::optedOut(known, phone, countryCode))
            return false;
        if (!named.contains(recipients::lastTenDigits(phone))) {
            named.insert(recipients::lastTenDigits(phone));
            phones << phone;
        }
        return true;
    });
    return phones;
}

bool reportAtSubmitLine(const model::CommandContext& c, const core::Failure& failure, int line) {
    if (line != kSubmitLine)
        return false;
    core::showErrorReport(c.desktop, core::qualifiedName("Form1", "PushButton1_Click"), line,
                          failure.description());
    c.pointer.setStyle(core::kDefaultPointer);
    return true;
}

QList<PhoneOutcome> sendInBatches(const Send& send, const Targets& now, const Targets& later,
                                  const QDateTime& keptUtc, qsizetype replacing) {
    return BatchSend(send, now, later, keptUtc, replacing).run();
}

} // namespace sending
