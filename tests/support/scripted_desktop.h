#pragma once

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/random_source.h"
#include "platform/settings_store.h"
#include "routes/email/mail/mail_submitter.h"

#include <QList>
#include <QMap>
#include <functional>

// A desktop whose every answer is scripted and which records everything shown.
class ScriptedDesktop final : public platform::Desktop {
  public:
    struct Box {
        QString text;
        platform::Buttons buttons;
        platform::Icon icon;
        QString title;
    };

    platform::Answer messageBox(const QString& text, platform::Buttons buttons, platform::Icon icon,
                                const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title) override;
    QString passwordBox(const QString& prompt, const QString& title) override {
        return inputBox(prompt, title);
    }
    QStringList openFileNames(const QString& title, const QString& filter) override;
    QStringList chooseItems(const QString& prompt, const QStringList& items,
                            const QString& title) override;
    void openDocument(const QString& target) override { opened << target; }
    bool startViewer(const QString& target) override;
    void processEvents() override { ++eventPasses; }
    void endProgram() override { ++programEnds; }

    // Scripted answers, taken in order; a Yes/No box without one answers No.
    QList<platform::Answer> answers;
    QStringList typed;
    QList<QStringList> chosenFiles;
    QList<QStringList> chosenItems; // of those offered; what was offered goes to `offered`
    QList<QStringList> offered;
    bool viewerStarts = true;
    // Runs as each message box is shown, to look at the program's state at that moment.
    std::function<void(const Box&)> whileBoxShown;

    QList<Box> boxes;
    QStringList prompts;
    QStringList dialogTitles;
    QStringList opened;
    QStringList viewers;
    int eventPasses = 0;
    int programEnds = 0;

    QStringList boxTexts() const;
};

class MemorySettings final : public platform::SettingsStore {
  public:
    QString read(const QString& key, const QString& fallback) override {
        return values.contains(key) ? values.value(key) : fallback;
    }
    bool write(const QString& key, const QString& text) override {
        writes << key + QLatin1Char('=') + text;
        if (!problem.isEmpty())
            return false;
        values.insert(key, text);
        return true;
    }
    bool remove(const QString& key) override {
        writes << key + QStringLiteral(" removed");
        if (!problem.isEmpty())
            return false;
        values.remove(key);
        return true;
    }
    QString writeProblem() const override { return problem; }
    QMap<QString, QString> values;
    QStringList writes;
    QString problem; // when set, every write fails with it
};

class FixedClock final : public platform::Clock {
  public:
    QDateTime now() const override { return time; }
    QDateTime time{QDate(2026, 3, 14), QTime(9, 26, 53)};
};

class ScriptedRandom final : public platform::RandomSource {
  public:
    void seed(quint32 value) override { seeds << value; }
    double fraction() override { return next; }
    double next = 0.5;
    QList<quint32> seeds;
};

class ScriptedMail final : public mail::MailSubmitter {
  public:
    mail::SubmitResult submit(const mail::MailMessage& message) override {
        sent << message;
        return result;
    }
    // Each group as a message of its own, all taken while `result` succeeds.
    mail::BatchResult submitEach(const mail::MailMessage& common, const QList<QStringList>& groups,
                                 const mail::BatchSteps& steps) override {
        mail::BatchResult batch;
        batch.stop = result;
        for (int index = 0; index < groups.size() && result.succeeded(); ++index) {
            if (index > 0 && steps.goOn && !steps.goOn()) {
                batch.stopped = true;
                break;
            }
            steps.sending(index);
            sent << common;
            sent.last().recipients = groups[index];
            batch.messageIds << QStringLiteral("id-%1").arg(index);
            steps.accepted(index, batch.messageIds.last(), {});
        }
        return batch;
    }
    mail::SubmitResult result;
    QList<mail::MailMessage> sent;
};
