#include "uComObj.h"

#include "uSysUtils.h"

void OleCheck(long result)
{
    if (result >= 0)
        return;
    AnsiString text = SysErrorMessage(static_cast<unsigned>(result));
    if (text.empty())
        text = Format("OLE error %08X", static_cast<unsigned>(result));
    throw EOleSysError(text, result);
}
