// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/tolvar/plugin.h"

#include "plugins/tolvar/Defs.h"
#include "plugins/tolvar/Processor.h"

cCorrect::cCorrect()
    : cEditTextProcessingPlugin(LoadResString(res::CorrectName), LoadResString(res::CorrectDescription))
{}

bool cCorrect::DoGetEnabled(IWEditAPI &)
{
    return true;
}

bool cCorrect::DoProcess(IWEditAPI &api, std::u16string &message)
{
    message.clear();
    return ProcessSelection(api, message);
}

cInterfaceRef<IPlugins> BuildPlugins()
{
    auto plugins = NewPlugin<cPlugins>();
    plugins->Add(NewPlugin<cCorrect>().Get());
    return plugins;
}
