// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/textengine/Selection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace {

// The selected text, asked for when a program pastes it; frozen when the
// selection goes.
class cSelectionData : public QMimeData
{
public:
    explicit cSelectionData(std::weak_ptr<std::function<QString()>> text) : FText(std::move(text)) {}
    QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    bool hasFormat(const QString &type) const override { return type == QLatin1String("text/plain"); }
    void Freeze(QString text) { FFrozen = std::move(text); }
    bool Frozen() const noexcept { return FFrozen.has_value(); }

protected:
    QVariant retrieveData(const QString &type, QMetaType) const override
    {
        if (type != QLatin1String("text/plain"))
            return {};
        if (FFrozen)
            return *FFrozen;
        const auto text = FText.lock();
        return text ? (*text)() : QString();
    }

private:
    std::weak_ptr<std::function<QString()>> FText;
    std::optional<QString> FFrozen;
};

} // namespace

cSelection::cSelection(const cTextBuffer &buffer, std::function<QString()> text)
    : FBuffer(buffer), FText(std::make_shared<std::function<QString()>>(std::move(text)))
{}

cSelection::~cSelection() = default;

cSelection::tMoved cSelection::Set(int caret, int anchor)
{
    const int length = FBuffer.Length();
    caret = std::clamp(caret, 0, length);
    anchor = std::clamp(anchor, 0, length);
    if (caret == FCaret && anchor == FAnchor)
        return {};
    tMoved moved;
    moved.Caret = caret != FCaret;
    moved.Range = (caret != anchor || HasSelection()) &&
                  (std::min(caret, anchor) != Start() || std::max(caret, anchor) != End());
    if (moved.Range && Published() && (caret == anchor || anchor != FAnchor))
        FreezePublished();
    FCaret = caret;
    FAnchor = anchor;
    return moved;
}

void cSelection::AdjustPositions(const tTextChange &change)
{
    auto adjust = [&change](int p) { return PositionAfter(change, p); };
    FCaret = adjust(FCaret);
    FAnchor = adjust(FAnchor);
}

void cSelection::Reset()
{
    FCaret = FAnchor = 0;
    FDesiredX = -1;
}

void cSelection::Publish()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!HasSelection() || !clipboard->supportsSelection())
        return;
    auto *data = new cSelectionData(FText);
    clipboard->setMimeData(data, QClipboard::Selection);
    FPublished = data;
}

void cSelection::FreezePublished()
{
    auto *data = static_cast<cSelectionData *>(FPublished.data());
    if (data && !data->Frozen())
        data->Freeze((*FText)());
    FPublished = nullptr;
}

void cSelection::FreezeIfEdited(int start, int end)
{
    if (Published() && start < End() && end > Start())
        FreezePublished();
}
