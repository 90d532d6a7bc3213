// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/Persistent.h"

#include "editor/platform/Exceptions.h"
#include "editor/platform/Resources.h"

void TPersistent::Assign(const TPersistent *source)
{
    if (!source)
        AssignError(nullptr);
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent *dest) const
{
    dest->AssignError(this);
}

void TPersistent::AssignError(const TPersistent *source) const
{
    const QString sourceName = source ? source->ClassName() : QStringLiteral("nil");
    throw EConvertError(Format(QStringLiteral("Cannot assign a %s to a %s"), {sourceName, ClassName()}));
}
