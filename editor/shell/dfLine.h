#pragma once
// The Go to Line/Column dialog.
#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// What the dialog hands back; Line and Column are zero-based, -1 when blank.
struct tLineColumnRequest
{
    qint32 Column = -1;
    qint32 Line = -1;
    bool Accepted = false;
};

class TFormGotoLine : public QDialog
{
    Q_OBJECT
public:
    explicit TFormGotoLine(QWidget *parent = nullptr);

    void RunDialog(tLineColumnRequest &request);

    // Runs the modal loop; tests replace it to act on the shown dialog.
    void SetExecutor(std::function<int(TFormGotoLine &)> executor) { FExecutor = std::move(executor); }

    QLabel *lbLineNumber, *lbColumnNumber;
    QLineEdit *edLine, *edCol;
    QPushButton *btnOK, *btnCancel;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void btnOKClick();
    bool Validate(QLineEdit *box);

    std::function<int(TFormGotoLine &)> FExecutor;
};

TFormGotoLine *FormGotoLine();
