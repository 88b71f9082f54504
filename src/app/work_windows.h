#pragma once

namespace kvx {

class FrmMain;
struct AppContext;
struct Services;

// Registers the windows the frame's slots make: the exchange window, which opens a
// condition editor of its own for its sender code, the condition editor of the menu item
// "设置(&S)", kept in its slot and put back into condition-file mode whenever it is shown,
// the mail transfer window, the replace settings, the schedule editor, which opens condition
// editors in plan mode, and the run history. The exchange window and the mail transfer window
// each connect their own transport of the mail component.
void registerWorkWindows(FrmMain& frame, Services& services, AppContext& context);

} // namespace kvx
