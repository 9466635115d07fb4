#include "sending/help_command.h"

#include "core/procedure.h"
#include "platform/desktop.h"
#include "sending/send_texts.h"

namespace sending {

void showHelp(const model::CommandContext& c) {
    core::Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton8_Click"));
    p.step(112, [&] {
        c.desktop.messageBox(helpText(), platform::Buttons::Ok, platform::Icon::None,
                             c.applicationTitle);
    });
}

} // namespace sending
