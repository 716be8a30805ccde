#include "App/App/Appflow.h"

#include <cstdarg>
#include <cstdio>

#include "App/Bench/BENCH.h"
#include "App/View/View.h"
#include "System/Sys/SYSTEM.h"

const _flowDef flowTbl[] = {
    {benchFlowInit, benchFlowExec, benchFlowExit},
    {viewFlowInit, viewFlowExec, viewFlowExit},
    {nullptr, nullptr, nullptr},
};

char msgWork[MSG_WORK_SIZE];

void printMsg(HWND aOwner, const char *aCaption, const char *aFormat, ...)
{
    if (!aFormat || !aFormat[0])
        return;
    va_list args;
    va_start(args, aFormat);
    // Bounded: a text longer than the buffer is cut, never written past it.
    std::vsnprintf(msgWork, sizeof msgWork, aFormat, args);
    va_end(args);
    const WORD lang = sSysJapanese() ? 1041 : 1033;
    MessageBoxExA(aOwner, msgWork, aCaption, MB_ICONEXCLAMATION, lang);
}
