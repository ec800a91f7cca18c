// The switcher core's process-wide records, all zero when the process starts. Start-up sets the
// handles and message numbers; each record is written only by the code that owns it (see the
// headers).
#include "core/activation.h"
#include "core/find.h"
#include "core/foreground_history.h"
#include "core/switch_list.h"
#include "core/switcher.h"

SwitchEntry switchList[SWITCH_LIST_SLOTS];
SwitcherState switcherState;
HWND switcherWindow;
UINT taskbarCreatedMessage;
UINT setForeMessage;
ShellHandlers shellHandlers;
SwitchEntry switchSnapshot[SWITCH_LIST_SLOTS];
char findText[FIND_TEXT_SIZE];
HWND foregroundHistory[HISTORY_SLOTS];
