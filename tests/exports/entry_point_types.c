/* Built, never run: every function of parlino.h assigned to the pointer type
 * the header gives for it, as a host does with what GetProcAddress or dlsym
 * returns. A type whose calling convention, result or parameters differ from
 * the declaration is an incompatible pointer, which -Werror turns into a
 * failed build; each compiler that builds this file checks its own
 * platform (the calling convention only 32-bit Windows has, the width of
 * intptr_t only 64-bit Linux shows). */
#include "parlino.h"

ParlinoRegisterPlugInProc registerPlugIn = nbRegisterPlugIn;
ParlinoInitPlugInProc initPlugIn = nbInitPlugIn;
ParlinoRegisterInterfaceAccessProc registerInterfaceAccess = nbRegisterInterfaceAccess;
ParlinoRegisterScriptProcessorProc registerScriptProcessor = nbRegisterScriptProcessor;
ParlinoMessageProc message = nbMessage;
ParlinoEditActionProc editAction = nbEditAction;
ParlinoExecActionProc execAction = nbExecAction;
ParlinoActionProc actions[] = {QV_CHAT_MY_IP,  QV_CHAT_OPEN_PORT,  QV_CHAT_SEND_TXT,
                               QV_CHAT_RCV_TXT, QV_CHAT_CLOSE_PORT, QV_CHAT_MYIP};
