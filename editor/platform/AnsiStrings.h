// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A list of narrow (ANSI) strings with an object per entry: the class
// library's string list that the wide-list adapter presents as wide.
#include "editor/platform/Persistent.h"

#include <QByteArray>
#include <QList>

class TStringList : public TPersistent
{
public:
    QString ClassName() const override { return QStringLiteral("TStringList"); }

    virtual QByteArray Get(int index) const;
    virtual int GetCount() const { return int(FItems.size()); }
    virtual void *GetObject(int index) const;
    virtual void Put(int index, const QByteArray &s);
    virtual void PutObject(int index, void *object);
    // Every entry followed by CR LF.
    virtual QByteArray GetTextStr() const;
    // Lines end at CR, LF or CR LF; a NUL ends the text.
    virtual void SetTextStr(const QByteArray &value);
    virtual int Add(const QByteArray &s);
    virtual int AddObject(const QByteArray &s, void *object);
    virtual void Clear();
    virtual void Delete(int index);
    virtual int IndexOf(const QByteArray &s) const;
    virtual void Insert(int index, const QByteArray &s);
    virtual void InsertObject(int index, const QByteArray &s, void *object);

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate() { --FUpdateCount; }
    int UpdateCount() const noexcept { return FUpdateCount; }

private:
    struct tItem
    {
        QByteArray Text;
        void *Object = nullptr;
    };
    void CheckIndex(int index, int limit) const;

    QList<tItem> FItems;
    int FUpdateCount = 0;
};
