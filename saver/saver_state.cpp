#include "saver_state.h"

SaverState saverState = {
    nullptr,        // instance
    false,          // isWin9x
    nullptr,        // saverWindow
    false,          // isPreview
    0,              // closeAllowed
    false,          // checkingPassword
    nullptr,        // verifierModule
    nullptr,        // verifyPassword
    0,              // autoPlayMessage
    nullptr,        // immModule
    nullptr,        // immAssociateContext
    nullptr,        // savedInputContext
    {0, 0},         // referenceCursor
    {0, 0, 0, 0},   // referenceScreen
    4,              // moveThreshold
    NO_CHECK_TICK,  // lastCheckTick
};

// Reads decimal digits until the first other byte; the value wraps modulo 2^32.
DWORD ParseWindowHandle(const char* text)
{
    DWORD value = 0;
    for (const signed char* p = reinterpret_cast<const signed char*>(text);
         *p >= '0' && *p <= '9'; ++p)
        value = value * 10 + static_cast<DWORD>(*p - '0');
    return value;
}
