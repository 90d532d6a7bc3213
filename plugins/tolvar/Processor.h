// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The typography command's work on the selection of one document.
#include "plugins/framework/EditWrappers.h"

#include <string>

// Asks for a selection when there is none; changes no text. Always succeeds.
bool ProcessSelection(IWEditAPI &api, std::u16string &message);
