// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The ordered list of wide strings behind every line list and item list.
#include "editor/platform/Persistent.h"

#include <QString>

class TStringList;

class cWStrings : public TPersistent
{
public:
    QString ClassName() const override { return QStringLiteral("cWStrings"); }

    // Virtual operations, in the order of the class library's string list.
    void Assign(const TPersistent *source) override;
    virtual QString Get(int index) const = 0;
    virtual int GetCapacity() const { return GetCount(); }
    virtual int GetCount() const = 0;
    virtual void *GetObject(int index) const;
    virtual QString GetTextStr() const;
    virtual void Put(int index, const QString &s);
    virtual void PutObject(int index, void *object);
    virtual void SetCapacity(int newCapacity);
    virtual void SetTextStr(const QString &value);
    virtual void SetUpdateState(bool updating);
    virtual int CompareStrings(const QString &s1, const QString &s2) const;
    virtual int Add(const QString &s);
    virtual int AddObject(const QString &s, void *object);
    virtual void AddStrings(const cWStrings &source);
    virtual void Clear() = 0;
    virtual void Delete(int index) = 0;
    virtual void Exchange(int index1, int index2);
    virtual int IndexOf(const QString &s) const;
    virtual int IndexOfObject(void *object) const;
    virtual void Insert(int index, const QString &s) = 0;
    virtual void InsertObject(int index, const QString &s, void *object);
    virtual void Move(int curIndex, int newIndex);

    // SetUpdateState runs only at the outermost pair.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const noexcept { return FUpdateCount; }

    // Raises EStringListError with Msg formatted with Data.
    [[noreturn]] static void Error(const QString &msg, int data);

    int Count() const { return GetCount(); }
    QString Text() const { return GetTextStr(); }

private:
    int FUpdateCount = 0;
};

// Keeps a line list's update bracket open for a scope.
class cUpdateBracket
{
public:
    explicit cUpdateBracket(cWStrings &strings) : FStrings(strings) { FStrings.BeginUpdate(); }
    ~cUpdateBracket() { FStrings.EndUpdate(); }
    cUpdateBracket(const cUpdateBracket &) = delete;
    cUpdateBracket &operator=(const cUpdateBracket &) = delete;

private:
    cWStrings &FStrings;
};

// A wide view of an ANSI string list, converting through the ANSI code page.
class cWStringsNonNT : public cWStrings
{
public:
    explicit cWStringsNonNT(TStringList *strings) : FStrings(strings) {}
    QString ClassName() const override { return QStringLiteral("cWStringsNonNT"); }

    QString Get(int index) const override;
    int GetCount() const override;
    QString GetTextStr() const override;
    void Put(int index, const QString &s) override;
    void SetTextStr(const QString &value) override;
    int Add(const QString &s) override;
    int AddObject(const QString &s, void *object) override;
    void AddStrings(const cWStrings &source) override;
    void Clear() override;
    void Delete(int index) override;
    int IndexOf(const QString &s) const override;
    void Insert(int index, const QString &s) override;
    void InsertObject(int index, const QString &s, void *object) override;

private:
    TStringList *FStrings; // not owned
};

// One character to lower or upper case, through the platform's conversion.
void WCharLower(QChar &c) noexcept;
void WCharUpper(QChar &c) noexcept;
// Exchanges the two bytes of every 16-bit unit, in place.
void SwapBytes(QString &s);
