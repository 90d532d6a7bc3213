// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Correct typography" command and the library's collection.
#include "plugins/framework/PluginImplementations.h"

class cCorrect final : public cEditTextProcessingPlugin
{
public:
    cCorrect();

protected:
    bool DoGetEnabled(IWEditAPI &api) override;
    bool DoProcess(IWEditAPI &api, std::u16string &message) override;
};

// A collection holding exactly one cCorrect.
cInterfaceRef<IPlugins> BuildPlugins();
