#include "delivery/log_view.h"

#include "core/error_report.h"
#include "core/procedure.h"
#include "platform/desktop.h"
#include "records/knowledge_file.h"

#include <QFileInfo>

namespace delivery {

using core::Procedure;
using platform::Buttons;
using platform::Icon;

void viewLog(const model::CommandContext& c, const QList<model::RouteOption*>& routes) {
    Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton2_Click"));
    QString path;
    p.step(100, [&] { path = c.files.log; });
    // First the log is brought up to date with what each route heard of recent sends.
    model::Knowledge read;
    model::Knowledge& known =
        c.knowledge ? *c.knowledge : (read = records::loadKnowledge(c.files.knowledge));
    for (model::RouteOption* route : routes)
        route->bringNewsIntoLog(c, known);
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
