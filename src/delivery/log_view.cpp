#include "delivery/log_view.h"

#include "core/error_report.h"
#include "core/pointer.h"
#include "core/procedure.h"
#include "delivery/delivery_check.h"
#include "delivery/modem_news.h"
#include "model/login.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "records/knowledge_file.h"
#include "records/pending_file.h"

#include <QFileInfo>

namespace delivery {

using core::Procedure;
using platform::Buttons;
using platform::Icon;

void viewLog(const model::CommandContext& c, const model::Login& login) {
    Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton2_Click"));
    QString path;
    p.step(100, [&] { path = c.files.log; });
    // First the log is brought up to date with what the mailbox says of recent sends.
    if (c.mailbox && c.deliveryMemory) {
        const int pointer = c.pointer.style();
        c.pointer.setStyle(core::kBusyPointer);
        QString keptAs;
        try {
            keptAs = bringLogUpToDate(
                {*c.mailbox, *c.deliveryMemory, c.files, model::userAddress(login.userName),
                 model::passwordToSend(login.password), c.clock.now(), c.knowledge});
        } catch (...) {
            // The log opens as it is; pending sends wait for the next time.
        }
        c.pointer.setStyle(pointer);
        if (!keptAs.isEmpty())
            c.desktop.messageBox(records::pendingKeptAsideMessage(keptAs), Buttons::Ok, Icon::None,
                                 c.applicationTitle);
    }
    // Then with the reports and replies the modem holds, when texts go through it.
    if (c.modem) {
        model::Knowledge read;
        model::Knowledge& known =
            c.knowledge ? *c.knowledge : (read = records::loadKnowledge(c.files.knowledge));
        bringModemNewsIntoLog(*c.modem, c.files, c.clock.now(), known);
    }
    if (p.opensBlock(102, [&] { return QFileInfo(path).isFile(); })) {
        p.step(104, [&] {
            if (!c.desktop.startViewer(path))
                throw core::Failure(core::failure_number::FileNotFound,
                                    QStringLiteral("No program could be started to show the log."));
        });
    } else {
        p.step(106, [&] {
            c.desktop.messageBox(QStringLiteral("No message sent has been stored."), Buttons::Ok,
                                 Icon::None, c.applicationTitle);
        });
    }
}

} // namespace delivery
