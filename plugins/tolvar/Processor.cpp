// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/tolvar/Processor.h"

#include "plugins/framework/EditTypes.h"
#include "plugins/tolvar/Defs.h"

bool ProcessSelection(IWEditAPI &api, std::u16string &message)
{
    message.clear();
    [[maybe_unused]] const int32_t start = api.GetSelStart();
    const int32_t length = api.GetSelLength();
    if (length <= 0)
        message = AnsiToWide(LoadResString(res::SelectTextFirst));
    return true;
}
