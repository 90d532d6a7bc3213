// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/platform/AnsiStrings.h"

#include "editor/platform/Exceptions.h"
#include "editor/platform/Resources.h"

void TStringList::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit)
        throw EStringListError(Format(QStringLiteral("List index out of bounds (%d)"), {index}));
}

QByteArray TStringList::Get(int index) const
{
    CheckIndex(index, GetCount());
    return FItems[index].Text;
}

void *TStringList::GetObject(int index) const
{
    CheckIndex(index, GetCount());
    return FItems[index].Object;
}

void TStringList::Put(int index, const QByteArray &s)
{
    CheckIndex(index, GetCount());
    FItems[index].Text = s;
}

void TStringList::PutObject(int index, void *object)
{
    CheckIndex(index, GetCount());
    FItems[index].Object = object;
}

QByteArray TStringList::GetTextStr() const
{
    qsizetype size = 0;
    for (const tItem &item : FItems)
        size += item.Text.size() + 2;
    QByteArray out;
    out.reserve(size);
    for (const tItem &item : FItems) {
        out += item.Text;
        out += "\r\n";
    }
    return out;
}

void TStringList::SetTextStr(const QByteArray &value)
{
    BeginUpdate();
    Clear();
    const char *p = value.constData();
    const char *end = p + value.size();
    while (p < end && *p != '\0') {
        const char *start = p;
        while (p < end && *p != '\r' && *p != '\n' && *p != '\0')
            ++p;
        Add(QByteArray(start, p - start));
        if (p < end && *p == '\r')
            ++p;
        if (p < end && *p == '\n')
            ++p;
    }
    EndUpdate();
}

int TStringList::Add(const QByteArray &s)
{
    const int index = GetCount();
    Insert(index, s);
    return index;
}

int TStringList::AddObject(const QByteArray &s, void *object)
{
    const int index = Add(s);
    PutObject(index, object);
    return index;
}

void TStringList::Clear()
{
    FItems.clear();
}

void TStringList::Delete(int index)
{
    CheckIndex(index, GetCount());
    FItems.removeAt(index);
}

int TStringList::IndexOf(const QByteArray &s) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (FItems[i].Text.compare(s, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TStringList::Insert(int index, const QByteArray &s)
{
    CheckIndex(index, GetCount() + 1);
    FItems.insert(index, tItem{s, nullptr});
}

void TStringList::InsertObject(int index, const QByteArray &s, void *object)
{
    Insert(index, s);
    PutObject(index, object);
}
