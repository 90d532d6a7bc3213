// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/text/UnicodeStrings.h"

#include "editor/platform/AnsiCodePage.h"
#include "editor/platform/AnsiStrings.h"
#include "editor/platform/CharServices.h"
#include "editor/platform/Exceptions.h"
#include "editor/platform/Resources.h"

void cWStrings::Assign(const TPersistent *source)
{
    if (const auto *list = dynamic_cast<const cWStrings *>(source)) {
        BeginUpdate();
        try {
            Clear();
            AddStrings(*list);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return;
    }
    TPersistent::Assign(source);
}

void *cWStrings::GetObject(int) const
{
    return nullptr;
}

QString cWStrings::GetTextStr() const
{
    const int count = GetCount();
    QStringList lines;
    lines.reserve(count);
    qsizetype size = 0;
    for (int i = 0; i < count; ++i) {
        lines.append(Get(i));
        size += lines.back().size() + 2;
    }
    QString out;
    out.reserve(size);
    for (const QString &line : lines) {
        out += line;
        out += QLatin1String("\r\n");
    }
    return out;
}

void cWStrings::Put(int index, const QString &s)
{
    void *object = GetObject(index);
    Delete(index);
    InsertObject(index, s, object);
}

void cWStrings::PutObject(int, void *) {}

void cWStrings::SetCapacity(int) {}

void cWStrings::SetTextStr(const QString &value)
{
    BeginUpdate();
    try {
        Clear();
        const QChar *p = value.constData();
        const QChar *end = p + value.size();
        while (p < end && *p != u'\0') {
            const QChar *start = p;
            while (p < end && *p != u'\r' && *p != u'\n' && *p != u'\0')
                ++p;
            Add(QString(start, p - start));
            if (p < end && *p == u'\r')
                ++p;
            if (p < end && *p == u'\n')
                ++p;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void cWStrings::SetUpdateState(bool) {}

int cWStrings::CompareStrings(const QString &s1, const QString &s2) const
{
    const int r = QStringView(s1).compare(QStringView(s2), Qt::CaseSensitive);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int cWStrings::Add(const QString &s)
{
    const int index = GetCount();
    Insert(index, s);
    return index;
}

int cWStrings::AddObject(const QString &s, void *object)
{
    const int index = Add(s);
    PutObject(index, object);
    return index;
}

void cWStrings::AddStrings(const cWStrings &source)
{
    BeginUpdate();
    try {
        for (int i = 0; i < source.GetCount(); ++i)
            AddObject(source.Get(i), source.GetObject(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void cWStrings::Exchange(int index1, int index2)
{
    BeginUpdate();
    try {
        const QString s1 = Get(index1);
        void *o1 = GetObject(index1);
        Put(index1, Get(index2));
        PutObject(index1, GetObject(index2));
        Put(index2, s1);
        PutObject(index2, o1);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int cWStrings::IndexOf(const QString &s) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (CompareStrings(Get(i), s) == 0)
            return i;
    return -1;
}

int cWStrings::IndexOfObject(void *object) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (GetObject(i) == object)
            return i;
    return -1;
}

void cWStrings::InsertObject(int index, const QString &s, void *object)
{
    Insert(index, s);
    PutObject(index, object);
}

void cWStrings::Move(int curIndex, int newIndex)
{
    if (curIndex == newIndex)
        return;
    BeginUpdate();
    try {
        const QString s = Get(curIndex);
        void *object = GetObject(curIndex);
        Delete(curIndex);
        InsertObject(newIndex, s, object);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void cWStrings::BeginUpdate()
{
    if (FUpdateCount == 0)
        SetUpdateState(true);
    ++FUpdateCount;
}

void cWStrings::EndUpdate()
{
    --FUpdateCount;
    if (FUpdateCount == 0)
        SetUpdateState(false);
}

void cWStrings::Error(const QString &msg, int data)
{
    throw EStringListError(Format(msg, {data}));
}

QString cWStringsNonNT::Get(int index) const
{
    return AnsiDecode(FStrings->Get(index));
}

int cWStringsNonNT::GetCount() const
{
    return FStrings->GetCount();
}

QString cWStringsNonNT::GetTextStr() const
{
    return AnsiDecode(FStrings->GetTextStr());
}

void cWStringsNonNT::Put(int index, const QString &s)
{
    FStrings->Put(index, AnsiEncode(s));
}

void cWStringsNonNT::SetTextStr(const QString &value)
{
    FStrings->SetTextStr(AnsiEncode(value));
}

int cWStringsNonNT::Add(const QString &s)
{
    return FStrings->Add(AnsiEncode(s));
}

int cWStringsNonNT::AddObject(const QString &s, void *object)
{
    return FStrings->AddObject(AnsiEncode(s), object);
}

void cWStringsNonNT::AddStrings(const cWStrings &source)
{
    BeginUpdate();
    try {
        for (int i = 0; i < source.GetCount(); ++i)
            FStrings->AddObject(AnsiEncode(source.Get(i)), source.GetObject(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void cWStringsNonNT::Clear()
{
    FStrings->Clear();
}

void cWStringsNonNT::Delete(int index)
{
    FStrings->Delete(index);
}

int cWStringsNonNT::IndexOf(const QString &s) const
{
    return FStrings->IndexOf(AnsiEncode(s));
}

void cWStringsNonNT::Insert(int index, const QString &s)
{
    FStrings->Insert(index, AnsiEncode(s));
}

void cWStringsNonNT::InsertObject(int index, const QString &s, void *object)
{
    FStrings->InsertObject(index, AnsiEncode(s), object);
}

void WCharLower(QChar &c) noexcept
{
    c = CharLowerW(c);
}

void WCharUpper(QChar &c) noexcept
{
    c = CharUpperW(c);
}

void SwapBytes(QString &s)
{
    char16_t *p = reinterpret_cast<char16_t *>(s.data());
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i)
        p[i] = char16_t((p[i] >> 8) | (p[i] << 8));
}
