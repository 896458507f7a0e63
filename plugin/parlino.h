/*
 * parlino.h - the host interface of the Parlino chat module.
 *
 * A host loads the module (Parlino.dll on 32-bit Windows, Parlino.so on
 * Linux), calls nbRegisterPlugIn once, optionally nbInitPlugIn for its
 * title texts, and then runs actions with nbExecAction. Every entry point
 * is synchronous and runs on the calling thread. No entry point throws or
 * reports an error; actions report through host variables and message
 * boxes.
 *
 * Export names: on 32-bit Windows the seven nb* entry points are exported
 * with stdcall decoration (_nbExecAction@8, ...), the six QV_CHAT_*
 * functions under their plain names. On Linux all thirteen use their plain
 * C names. PARLINO_NAME_* below gives each name as this platform's module
 * exports it, for GetProcAddress or dlsym, and a Parlino*Proc type for each
 * entry point and callback takes the result:
 *     ParlinoExecActionProc execAction = (ParlinoExecActionProc)
 *         GetProcAddress(module, PARLINO_NAME_nbExecAction);
 *
 * Texts the host gives: every text passed to an exported function (the
 * parameter of nbExecAction and of the QV_CHAT_* functions) is read only
 * during the call; the module keeps no pointer to it, so the host may
 * change or free it as soon as the call returns.
 *
 * Calling back into the module: a callback (registerAction, setVariable)
 * may call any exported function, on the same thread. The module makes each
 * callback holding no lock of its own, and an action calls setVariable as
 * the last thing it does, so an action run from inside setVariable runs as
 * if it came next. Two consequences: an action run there blocks the outer
 * action's return as long as it runs (a receive up to 1.024 s), and
 * nbRegisterPlugIn called from inside registerAction starts the
 * registration over, the rest of the catalogue then going to the callbacks
 * it was given.
 *
 * The catalogue. nbRegisterPlugIn registers five actions, in this order,
 * each with the parameter type text "ACTIONPARAM_ALPHA" and the parameter
 * count 1 (in both count arguments). Names and descriptions, byte for byte
 * as C string literals ("\r\n" is CR LF, bytes 13 and 10; the second line
 * is the action's example: a name, then its parameter hint between double
 * quotes, with no blank):
 *   1 "QV_chat_my_ip"
 *     "Get IP address at [qv_chat_my_pc] variable"
 *   2 "QV_chat_open_port"
 *     "Open connection [port] from receive chat; receive status at "
 *     "[qv_chat_open_port_status] var.\r\nQV_chat_open_port\"[port]\""
 *   3 "QV_chat_send_txt"
 *     "Send Chat Text to remote user\r\n"
 *     "QV_chat_send_text\"[remote_ip]|[port]|[text]\""
 *   4 "QV_chat_rcv_txt"
 *     "Receive Chat Text from remote user at [qv_chat_text] variable\r\n"
 *     "QV_chat_rcv_text\"[remote_ip]|[port]\""
 *   5 "QV_chat_close_port"
 *     "Close connection [port]"
 * The texts are the module's as they stand: action 1 sets qv_chat_my_ip,
 * not the qv_chat_my_pc its description names; the examples of 3 and 4 end
 * in "text" where the names end in "txt"; the receive reads no parameter,
 * and the close closes the chat port whatever its parameter.
 *
 * What the module does to the host's process (Windows):
 *   - Windows Vista or later: the DLL imports slim reader/writer locks and
 *     condition variables from KERNEL32.
 *   - Message boxes: a failed open or send calls MessageBoxA with no owner
 *     window (NULL), on the calling thread, after a 5 ms Sleep; the action
 *     returns only when the person has dismissed the box. The box runs its
 *     own message loop, so the host's windows and timers on that thread
 *     keep getting messages meanwhile: a host must not run another action
 *     from them while a box is up, since it would run inside the first.
 *   - Cursor: every open (action 2) loads the system wait cursor, makes it
 *     current with SetCursor and calls ShowCursor(TRUE), then puts the
 *     earlier cursor back with SetCursor. ShowCursor(FALSE) is never
 *     called: each open raises the cursor's display count by one, for
 *     good.
 *   - Sockets: the module holds the socket library (WSAStartup, version
 *     2.0, from WSOCK32.DLL) from each open until its port is closed, and
 *     for the length of each my-IP; every start is given back with one
 *     WSACleanup. Windows counts the starts, so a host's own WSAStartup and
 *     WSACleanup are not disturbed. The module's own starts and clean-ups
 *     are made one at a time, whatever threads its actions run on.
 *   - Nothing else: the module itself makes no thread, timer or signal
 *     handler, and reads no file, registry key or environment variable.
 * On Linux the message boxes are written to standard error and the cursor
 * calls do nothing.
 */
#ifndef PARLINO_H
#define PARLINO_H

#include <stdint.h>

/* Callee removes its arguments on 32-bit Windows; empty everywhere else. */
#if defined(_WIN32) && !defined(_WIN64)
#define PARLINO_CALL __stdcall
#else
#define PARLINO_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Registers one action with the host. The three texts are valid only for
 * the duration of the call: a host that keeps them copies them.
 * parameterCount and parameterCountAgain carry the same value. The result
 * is ignored. */
typedef int32_t(PARLINO_CALL *ParlinoRegisterActionProc)(
    int32_t number, const char *name, const char *description,
    const char *parameterType, uint32_t parameterCount,
    uint32_t parameterCountAgain);

/* Sets a host variable. name is never null: it is one of qv_chat_my_ip,
 * qv_chat_open_port_status and qv_chat_text. Both texts are valid only for
 * the duration of the call; an empty value arrives as a null pointer. A
 * value is a zero-terminated text, so it ends at its first zero byte: a
 * received line holding a zero byte arrives cut there, and one that starts
 * with a zero byte arrives as the empty value (null). The result is
 * ignored. */
typedef int32_t(PARLINO_CALL *ParlinoSetVariableProc)(const char *name,
                                                      const char *value);

/* Stores the two callbacks (null ones are never called) and registers the
 * five actions, numbers 1 to 5 in order, through registerAction before it
 * returns. Every action reports through the setVariable given here, run by
 * nbExecAction or by its QV_CHAT_* function alike; a later call replaces
 * the callbacks and registers again. hostArg2 and hostArg3 are stored and
 * never read.
 * Call it before any action: an action run before it still does its work
 * (an open really takes its port, a send sends) but reports to nobody, its
 * results lost without a sign, and the callbacks given afterwards hear
 * nothing of it. */
void PARLINO_CALL nbRegisterPlugIn(ParlinoRegisterActionProc registerAction,
                                   intptr_t hostArg2, intptr_t hostArg3,
                                   ParlinoSetVariableProc setVariable);

/* Hands the title, the author line and the description to the host, each
 * as a zero-terminated block stored in the slot whose address is given.
 * Each slot must hold null or a block from an earlier call, which is
 * released first. The host owns the blocks afterwards and releases them
 * with GlobalFree on Windows and free() on Linux. A null slot address is
 * skipped. initArg1 is stored and never read. */
void PARLINO_CALL nbInitPlugIn(intptr_t initArg1, char **titleSlot,
                               char **authorSlot, char **descriptionSlot);

/* Store their value and do nothing else. */
void PARLINO_CALL nbRegisterInterfaceAccess(intptr_t interfaceAccess);
void PARLINO_CALL nbRegisterScriptProcessor(intptr_t scriptProcessor);

/* Has no effect for any arguments. */
void PARLINO_CALL nbMessage(int32_t message, intptr_t value);

/* Returns 1 for action numbers 1 to 10 and 0 otherwise; changes nothing
 * and never reads `unused`. */
int32_t PARLINO_CALL nbEditAction(int32_t action, intptr_t unused);

/* Runs action `action` (1 my-IP, 2 open port, 3 send, 4 receive, 5 close)
 * with a private copy of the text whose address is held in *parameter; a
 * null *parameter, or a null parameter, means the empty text. Neither the
 * variable nor the text is written. Returns 1 once the action has
 * finished, whatever its outcome, and 0 at once for any other number.
 * Each action does what its QV_CHAT_* function below does, with the same
 * results and under the same rule for threads.
 * The result never tells a failure: an open's shows in
 * qv_chat_open_port_status, but a failed send sets no variable at all;
 * only the person sees it, in the module's message box. */
int32_t PARLINO_CALL nbExecAction(int32_t action,
                                  const char *const *parameter);

/* The actions as direct calls. Each takes a zero-terminated parameter text
 * (null = empty) and returns 0, and reports through the setVariable given
 * to nbRegisterPlugIn. Fields are separated by "|".
 *   QV_CHAT_MY_IP       sets qv_chat_my_ip to the local IPv4 address, never
 *                       a loopback one; 0.0.0.0 when no interface is up.
 *   QV_CHAT_OPEN_PORT   "port": opens the chat port, closing any earlier
 *                       one, and sets qv_chat_open_port_status to Ok or
 *                       Error.
 *   QV_CHAT_SEND_TXT    "address|port|text": sends text as one datagram
 *                       (the local time when text is blank). A failed send
 *                       shows its message box and sets no variable.
 *   QV_CHAT_RCV_TXT     waits up to 1.024 s for one datagram and sets
 *                       qv_chat_text to it (empty when none came): at most
 *                       65,507 bytes, the most one UDP datagram over IPv4
 *                       carries.
 *   QV_CHAT_CLOSE_PORT  closes the chat port.
 *   QV_CHAT_MYIP        does nothing.
 * Threads: the rule covers these actions however they are run, by
 * nbExecAction or directly. A send and a receive may run at once on an
 * open chat port; open and close must run with no other action in
 * progress; my-IP uses no chat port and may run at any time, beside any
 * other action. A host that breaks this does not corrupt its process: a
 * close takes effect at once for every later action, while the socket is
 * closed only when the last action still using it returns (a receive
 * waiting at that moment then gives the empty text after its wait); an
 * action that meets an open still in progress finds no port; and two
 * receives at once take turns, the second waiting within its own 1.024 s.
 * Which chat port an action racing an open or a close uses is then a
 * matter of timing.
 *
 * Numbers are read on integers alone: the host's FPU control and status
 * words are never touched, whatever exceptions it unmasked and whatever
 * precision and rounding it chose.
 *
 * Unloading: the module closes nothing when it is unloaded, so a chat port
 * still open stays open, its socket held by the process. A host closes the
 * port (QV_CHAT_CLOSE_PORT) before it unloads the module. */
int32_t PARLINO_CALL QV_CHAT_MY_IP(const char *parameter);
int32_t PARLINO_CALL QV_CHAT_OPEN_PORT(const char *parameter);
int32_t PARLINO_CALL QV_CHAT_SEND_TXT(const char *parameter);
int32_t PARLINO_CALL QV_CHAT_RCV_TXT(const char *parameter);
int32_t PARLINO_CALL QV_CHAT_CLOSE_PORT(const char *parameter);
int32_t PARLINO_CALL QV_CHAT_MYIP(const char *parameter);

/* The entry points as pointer types, for the addresses GetProcAddress or
 * dlsym give. */
typedef void(PARLINO_CALL *ParlinoRegisterPlugInProc)(
    ParlinoRegisterActionProc registerAction, intptr_t hostArg2,
    intptr_t hostArg3, ParlinoSetVariableProc setVariable);
typedef void(PARLINO_CALL *ParlinoInitPlugInProc)(intptr_t initArg1,
                                                   char **titleSlot,
                                                   char **authorSlot,
                                                   char **descriptionSlot);
typedef void(PARLINO_CALL *ParlinoRegisterInterfaceAccessProc)(
    intptr_t interfaceAccess);
typedef void(PARLINO_CALL *ParlinoRegisterScriptProcessorProc)(
    intptr_t scriptProcessor);
typedef void(PARLINO_CALL *ParlinoMessageProc)(int32_t message,
                                                intptr_t value);
typedef int32_t(PARLINO_CALL *ParlinoEditActionProc)(int32_t action,
                                                     intptr_t unused);
typedef int32_t(PARLINO_CALL *ParlinoExecActionProc)(
    int32_t action, const char *const *parameter);
/* Any of the six QV_CHAT_* functions. */
typedef int32_t(PARLINO_CALL *ParlinoActionProc)(const char *parameter);

/* Each export's name as the module on this platform exports it: the entry
 * point's name and the bytes its arguments take, decorated as _name@bytes
 * on 32-bit Windows, the name alone elsewhere. The one list of the
 * decorations. */
#if defined(_WIN32) && !defined(_WIN64)
#define PARLINO_DECORATED_NAME(name, argumentBytes)                         \
    "_" #name "@" #argumentBytes
#else
#define PARLINO_DECORATED_NAME(name, argumentBytes) #name
#endif
#define PARLINO_NAME_nbRegisterPlugIn                                       \
    PARLINO_DECORATED_NAME(nbRegisterPlugIn, 16)
#define PARLINO_NAME_nbInitPlugIn PARLINO_DECORATED_NAME(nbInitPlugIn, 16)
#define PARLINO_NAME_nbRegisterInterfaceAccess                              \
    PARLINO_DECORATED_NAME(nbRegisterInterfaceAccess, 4)
#define PARLINO_NAME_nbRegisterScriptProcessor                              \
    PARLINO_DECORATED_NAME(nbRegisterScriptProcessor, 4)
#define PARLINO_NAME_nbMessage PARLINO_DECORATED_NAME(nbMessage, 8)
#define PARLINO_NAME_nbEditAction PARLINO_DECORATED_NAME(nbEditAction, 8)
#define PARLINO_NAME_nbExecAction PARLINO_DECORATED_NAME(nbExecAction, 8)
#define PARLINO_NAME_QV_CHAT_MY_IP "QV_CHAT_MY_IP"
#define PARLINO_NAME_QV_CHAT_OPEN_PORT "QV_CHAT_OPEN_PORT"
#define PARLINO_NAME_QV_CHAT_SEND_TXT "QV_CHAT_SEND_TXT"
#define PARLINO_NAME_QV_CHAT_RCV_TXT "QV_CHAT_RCV_TXT"
#define PARLINO_NAME_QV_CHAT_CLOSE_PORT "QV_CHAT_CLOSE_PORT"
#define PARLINO_NAME_QV_CHAT_MYIP "QV_CHAT_MYIP"

#ifdef __cplusplus
}
#endif

#endif /* PARLINO_H */
