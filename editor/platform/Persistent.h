// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The assignable-object base of the class library's lists.
#include <QString>

class TPersistent
{
public:
    virtual ~TPersistent() = default;
    // Copies Source's state into this object; by default asks Source to do it.
    virtual void Assign(const TPersistent *source);
    virtual QString ClassName() const { return QStringLiteral("TPersistent"); }

protected:
    virtual void AssignTo(TPersistent *dest) const;
    // "Cannot assign a %s to a %s"
    [[noreturn]] void AssignError(const TPersistent *source) const;
};
