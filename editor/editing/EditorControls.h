#pragma once
// The tab control of the main window: it owns every open document, one page
// each, and the one keyboard-macro recorder they share.
#include "editor/editing/KbdMacros.h"
#include "editor/editing/TypedConstants.h"
#include "editor/textengine/ViewDecorations.h"

#include <QFont>
#include <QString>
#include <QTabWidget>

#include <functional>

class QAction;
class cDiskWatch;
class cEditor;
class cEditorStatusBar;

class cEditorController : public QTabWidget
{
    Q_OBJECT
public:
    cEditorController(QWidget *owner, QAction *saveAction, cEditorStatusBar *statusBar);
    ~cEditorController() override;

    cEditorStatusBar *StatusBar; // not owned
    QAction *SaveAction;         // not owned; run when a save question is answered Yes

    // The font of every document; set directly only before documents exist.
    QFont &EditorFont() noexcept { return FEditorFont; }
    bool WordWrap() const noexcept { return FWordWrap; }
    cKeyMacro &KeyMacro() noexcept { return FKeyMacro; }

    int DocumentCount() const { return count(); }
    cEditor *Editors(int index) const;
    cEditor *ActiveEditor() const;
    tTextEncoding ActiveEncoding() const;

    int NewDocument();
    void OpenFile(const QString &fileName, bool readOnly);
    void OpenText(const QString &text, bool readOnly);
    void CloseActiveDocument();
    // IDYES without asking when the document is not modified.
    int QuerySave(cEditor &document) const;
    // An exception from the routine ends the walk and propagates.
    void ForEachDocument(const std::function<void(cEditor &document, int index)> &routine);
    void SaveActiveAs(const QString &fileName, tTextEncoding encoding);
    void UpdateTabCaptions();
    void SetEditorFont(const QFont &font);
    void SetWordWrap(bool on);
    static void ApplyWordWrap(cEditor &document, bool on);
    // Line numbers, current line and whitespace marks, for every document.
    const tViewOptions &ViewOptions() const noexcept { return FViewOptions; }
    void SetViewOptions(const tViewOptions &options);

    void StartMacroRecording();
    void StopMacroRecording();
    void PlayMacro();
    void PlayMacroOnAll();
    bool IsRecording() const noexcept { return FKeyMacro.IsRecording(); }
    bool HasMacro() const noexcept { return FKeyMacro.HasMacro(); }
    void SetStatusText(const QString &text);
    // What other programs do to the documents' files.
    cDiskWatch &DiskWatch() noexcept { return *FDiskWatch; }
    // Looks for the active document's file having changed on disk, once
    // the events at hand are handled.
    void ScheduleDiskCheck();

signals:
    // Something the commands' states depend on may have changed: the tab on
    // show, a document's text, selection or read-only state.
    void StateChanged();

protected:
    bool event(QEvent *event) override;

private:
    void MakeReadOnly(cEditor &document, bool readOnly);
    void ActivateNeighbour(int step);

    QFont FEditorFont;
    bool FWordWrap = false;
    tViewOptions FViewOptions;
    cKeyMacro FKeyMacro;
    cDiskWatch *FDiskWatch; // owned as a child
};
