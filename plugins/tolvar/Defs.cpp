// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/tolvar/Defs.h"

std::string LoadResString(int id)
{
    switch (id) {
    case res::CorrectName:
        return "Correct typography";
    case res::CorrectDescription:
        return "Correct typography|Correct typography: quotations, dash, non-breaking space symbols, etc.";
    case res::SelectTextFirst:
        return "Select text to be processed, then try again";
    default:
        return {};
    }
}
