#include "dispatch/help_command.h"

#include "core/procedure.h"
#include "dispatch/messages.h"
#include "platform/desktop.h"

namespace dispatch {

void showHelp(const DispatchContext& c) {
    core::Procedure p(c.desktop, core::qualifiedName("Form1", "PushButton8_Click"));
    p.step(112, [&] {
        c.desktop.messageBox(helpText(), platform::Buttons::Ok, platform::Icon::None,
                             c.applicationTitle);
    });
}

} // namespace dispatch
