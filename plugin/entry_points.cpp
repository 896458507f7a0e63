// The host entry points that register the module and hand over its texts.
// None of them lets an exception escape into the host.
#include "catalogue.h"
#include "host_link.h"
#include "parlino.h"

extern "C" {

void PARLINO_CALL nbRegisterPlugIn(ParlinoRegisterActionProc registerAction, intptr_t hostArg2,
                                   intptr_t hostArg3, ParlinoSetVariableProc setVariable) {
    auto &link = parlino::hostLink();
    link.registerActionProc = registerAction;
    link.hostArg2 = hostArg2;
    link.hostArg3 = hostArg3;
    link.setVariableProc = setVariable;
    try {
        for (const auto &entry : parlino::actionCatalogue)
            parlino::registerAction(entry.number, entry.name, parlino::composedDescription(entry),
                                    entry.parameterType, entry.parameterCount);
    } catch (...) {
        // Out of memory for a description: the remaining actions stay unregistered.
    }
}

void PARLINO_CALL nbInitPlugIn(intptr_t initArg1, char **titleSlot, char **authorSlot,
                               char **descriptionSlot) {
    parlino::hostLink().initArg1 = initArg1;
    parlino::giveHostString(titleSlot, parlino::productTitle);
    parlino::giveHostString(authorSlot, parlino::authorLine);
    parlino::giveHostString(descriptionSlot, parlino::productDescription);
}

void PARLINO_CALL nbRegisterInterfaceAccess(intptr_t interfaceAccess) {
    parlino::hostLink().interfaceAccess = interfaceAccess;
}

void PARLINO_CALL nbRegisterScriptProcessor(intptr_t scriptProcessor) {
    parlino::hostLink().scriptProcessor = scriptProcessor;
}

void PARLINO_CALL nbMessage(int32_t, intptr_t) {}

} // extern "C"
