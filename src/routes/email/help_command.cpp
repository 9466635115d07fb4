#include "routes/email/help_command.h"

#include "core/procedure.h"
#include "platform/desktop.h"
#include "routes/email/email_texts.h"

namespace email_route {

void showHelp(const model::CommandContext& c) {
    core::Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton8_Click"));
    p.step(112, [&] {
        c.desktop.messageBox(helpText(), platform::Buttons::Ok, platform::Icon::None,
                             c.applicationTitle);
    });
}

} // namespace email_route
