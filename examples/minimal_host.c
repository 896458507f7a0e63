/*
 * minimal_host.c - the least a host application does with the Parlino chat
 * module: load it, register it, take its title texts, open a chat port, send
 * one line to that same port, receive it, close the port, free the texts and
 * unload the module. It needs only parlino.h and the module.
 *
 * Usage: minimal_host MODULE PORT
 *   MODULE  the module file: Parlino.dll on Windows; on Linux Parlino.so
 *           named with a "/" (./Parlino.so, /usr/lib/Parlino.so), since a
 *           bare name is looked for in the system's library folders only
 *   PORT    a free local UDP port; the line goes to 127.0.0.1 on it
 * Exit code 0 when the line came back, 1 when it did not, 2 for a module
 * that cannot be loaded, with the system's reason.
 *
 * Build it from the folder that holds this file; parlino.h is in the
 * include folder of the packages and in plugin/ in the source:
 *   Windows ZIP, in its examples folder, with mingw-w64 (a 32-bit build):
 *     $ i686-w64-mingw32-gcc -I../include minimal_host.c -o minimal_host.exe
 *   Linux package (.deb or .tar.gz), in share/doc/Parlino/examples, into
 *   your home folder (the package's folders are not yours to write):
 *     $ cc -I../../../../include minimal_host.c -o ~/minimal_host -ldl
 *   Source tree, in examples:
 *     $ cc -I../plugin minimal_host.c -o minimal_host -ldl
 */
#include "parlino.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
typedef HMODULE Module;
#else
#include <dlfcn.h>
typedef void *Module;
#endif

typedef void (*AnyFunction)(void);

static Module loadModule(const char *path) {
#ifdef _WIN32
    return LoadLibraryA(path);
#else
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
}

/* Why the last loadModule failed, in the system's words: its error number
 * and text on Windows, the dynamic loader's message on Linux. */
static void printLoadFailure(const char *path) {
#ifdef _WIN32
    DWORD error = GetLastError();
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  NULL, error, 0, text, sizeof text, NULL);
    /* The text ends with a line end, which the message supplies. */
    while (length > 0 && strchr("\r\n ", text[length - 1]) != NULL)
        text[--length] = '\0';
    fprintf(stderr, "cannot load %s: error %lu: %s\n", path,
            (unsigned long)error, text);
#else
    /* The loader's message names the file itself. */
    const char *reason = dlerror();
    (void)path;
    fprintf(stderr, "cannot load the module: %s\n",
            reason != NULL ? reason : "no reason given");
#endif
}

static AnyFunction findExport(Module module, const char *name) {
#ifdef _WIN32
    return (AnyFunction)GetProcAddress(module, name);
#else
    /* dlsym gives an object pointer; copying it is the portable way to a
     * function pointer. */
    void *symbol = dlsym(module, name);
    AnyFunction function;
    memcpy(&function, &symbol, sizeof function);
    return function;
#endif
}

/* The module's blocks from nbInitPlugIn belong to the host from then on. */
static void freeModuleBlock(char *block) {
#ifdef _WIN32
    if (block != NULL)
        GlobalFree(block);
#else
    free(block);
#endif
}

static void unloadModule(Module module) {
#ifdef _WIN32
    FreeLibrary(module);
#else
    dlclose(module);
#endif
}

/* The module's texts and the callbacks' may be null: print those as
 * empty. */
static const char *orEmpty(const char *text) {
    return text != NULL ? text : "";
}

/* The action numbers of the module's catalogue. */
enum { OPEN_PORT = 2, SEND_TEXT = 3, RECEIVE_TEXT = 4, CLOSE_PORT = 5 };

/* The host's variables, as far as this host keeps them: the callbacks'
 * texts are lent for the call only, so they are copied. */
static char openPortStatus[16];
static char receivedText[256];

static int32_t PARLINO_CALL onRegisterAction(
    int32_t number, const char *name, const char *description,
    const char *parameterType, uint32_t parameterCount,
    uint32_t parameterCountAgain) {
    (void)description;
    (void)parameterType;
    (void)parameterCountAgain;
    printf("action %d: %s (%u parameter)\n", (int)number, orEmpty(name),
           (unsigned)parameterCount);
    return 1;
}

static void keep(char *variable, size_t size, const char *value) {
    /* The empty text arrives as a null pointer. */
    snprintf(variable, size, "%s", orEmpty(value));
}

/* The module names a variable always; only the value may be null. */
static int32_t PARLINO_CALL onSetVariable(const char *name,
                                          const char *value) {
    if (strcmp(name, "qv_chat_open_port_status") == 0)
        keep(openPortStatus, sizeof openPortStatus, value);
    else if (strcmp(name, "qv_chat_text") == 0)
        keep(receivedText, sizeof receivedText, value);
    return 1;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s MODULE PORT\n"
                        "  MODULE on Linux is a path with a /, such as "
                        "./Parlino.so\n",
                argv[0]);
        return 2;
    }
    const char *port = argv[2];
    Module module = loadModule(argv[1]);
    if (module == NULL) {
        printLoadFailure(argv[1]);
        return 2;
    }
    /* The names as this platform's module exports them (decorated on
     * Windows). */
    ParlinoRegisterPlugInProc registerPlugIn = (ParlinoRegisterPlugInProc)
        findExport(module, PARLINO_NAME_nbRegisterPlugIn);
    ParlinoInitPlugInProc initPlugIn = (ParlinoInitPlugInProc)
        findExport(module, PARLINO_NAME_nbInitPlugIn);
    ParlinoExecActionProc execAction = (ParlinoExecActionProc)
        findExport(module, PARLINO_NAME_nbExecAction);
    if (registerPlugIn == NULL || execAction == NULL) {
        fprintf(stderr, "%s is not a Parlino module\n", argv[1]);
        unloadModule(module);
        return 2;
    }

    /* Registration comes first: the actions report through its callbacks. */
    registerPlugIn(onRegisterAction, 0, 0, onSetVariable);
    if (initPlugIn != NULL) {
        /* Each slot holds null or a block the module gave earlier. */
        char *title = NULL, *author = NULL, *description = NULL;
        initPlugIn(0, &title, &author, &description);
        printf("module: %s, by %s: %s\n", orEmpty(title), orEmpty(author),
               orEmpty(description));
        freeModuleBlock(title);
        freeModuleBlock(author);
        freeModuleBlock(description);
    }

    /* Every action takes the address of its parameter text and returns once
     * it has finished; a failed open or send shows a message box first. */
    const char *parameter = port;
    execAction(OPEN_PORT, &parameter);
    printf("open port %s: %s\n", port, openPortStatus);
    int arrived = 0;
    if (strcmp(openPortStatus, "Ok") == 0) {
        char line[64];
        snprintf(line, sizeof line,
                 "127.0.0.1|%s|hello from the minimal host", port);
        parameter = line;
        execAction(SEND_TEXT, &parameter);
        /* The receive waits up to about a second and reads no parameter. */
        parameter = "";
        execAction(RECEIVE_TEXT, &parameter);
        printf("received: %s\n", receivedText);
        arrived = strcmp(receivedText, "hello from the minimal host") == 0;
        execAction(CLOSE_PORT, &parameter);
    }
    /* Close the port before unloading: unloading closes nothing. */
    unloadModule(module);
    return arrived ? 0 : 1;
}
