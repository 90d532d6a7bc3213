// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lines of an edit control and the items of a combo box as wide string
// lists.
#include "editor/editing/UnicodeControls.h"
#include "editor/text/UnicodeStrings.h"

#include <QString>

// Lines of an edit control reached through IWEditor. A trailing empty line
// (text ending in a paragraph mark) is not counted.
class cWEditorStrings : public cWStrings
{
public:
    explicit cWEditorStrings(IWEditor &editor);
    ~cWEditorStrings() override;
    cWEditorStrings(const cWEditorStrings &) = delete;
    cWEditorStrings &operator=(const cWEditorStrings &) = delete;
    QString ClassName() const override { return QStringLiteral("cWEditorStrings"); }

    QString Get(int index) const override;
    int GetCount() const override;
    void Put(int index, const QString &s) override;
    void Delete(int index) override;
    void Insert(int index, const QString &s) override;
    void Clear() override;
    void SetTextStr(const QString &value) override;

protected:
    void SetUpdateState(bool updating) override;
    IWEditor &Editor() const noexcept { return *FEditor; }

private:
    IWEditor *FEditor; // counted reference
};

class cWRichEditStrings : public cWEditorStrings
{
public:
    explicit cWRichEditStrings(cWRichEdit &owner);
    QString ClassName() const override { return QStringLiteral("cWRichEditStrings"); }
    // Sets the whole text without change notification; raises
    // "Text exceeds memo capacity" when the control refuses it.
    void SetTextStr(const QString &value) override;

private:
    cWRichEdit &FOwner;
};

class cWComboBoxStrings : public cWStrings
{
public:
    explicit cWComboBoxStrings(cWComboBox &combo) : FCombo(combo) {}
    QString ClassName() const override { return QStringLiteral("cWComboBoxStrings"); }

    QString Get(int index) const override;
    int GetCount() const override;
    void *GetObject(int index) const override;
    void PutObject(int index, void *object) override;
    int Add(const QString &s) override;
    void Insert(int index, const QString &s) override;
    void Delete(int index) override;
    void Clear() override;
    // Ignores case, as the platform's exact-string search.
    int IndexOf(const QString &s) const override;

protected:
    void SetUpdateState(bool updating) override;

private:
    cWComboBox &FCombo;
};
