// SPDX-License-Identifier: GPL-3.0-or-later
// A drag source for the end-to-end tests, standing in for a file manager or
// another editor: a small window that starts a drag when the mouse presses on
// it. It carries the files named on the command line as URLs, or with
// "--text TEXT" plain text.
//
// Standard output tells the test what happened, one line each:
//   "status 1" / "status 0"  the window under the pointer accepts / refuses
//                            the drag (its answer to the last position)
//   "done N"                 the drag ended with the drop action N (0: none)
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QByteArray>
#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void Report(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The target's answers are X client messages the toolkit keeps to itself;
// they are read here on their way in.
class cStatusWatch : public QAbstractNativeEventFilter
{
public:
    explicit cStatusWatch(xcb_connection_t *connection)
    {
        static const char name[] = "XdndStatus";
        const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, sizeof name - 1, name);
        if (xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr)) {
            FStatus = reply->atom;
            std::free(reply);
        }
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto *client = static_cast<const xcb_client_message_event_t *>(message);
        if (FStatus != XCB_ATOM_NONE && client->type == FStatus)
            Report((client->data.data32[1] & 1) ? "status 1" : "status 0");
        return false;
    }

private:
    xcb_atom_t FStatus = XCB_ATOM_NONE;
};

class cSource : public QWidget
{
public:
    explicit cSource(const QStringList &args)
    {
        setWindowTitle(QStringLiteral("Drag source"));
        if (args.size() == 2 && args.first() == QStringLiteral("--text")) {
            FText = args.last();
        } else {
            for (const QString &file : args)
                FUrls << QUrl::fromLocalFile(file);
        }
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        auto *data = new QMimeData;
        if (FUrls.isEmpty())
            data->setText(FText);
        else
            data->setUrls(FUrls);
        auto *drag = new QDrag(this);
        drag->setMimeData(data);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        Report("done " + QByteArray::number(int(action)));
    }

private:
    QList<QUrl> FUrls;
    QString FText;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    std::unique_ptr<cStatusWatch> watch;
    if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        watch = std::make_unique<cStatusWatch>(x11->connection());
        app.installNativeEventFilter(watch.get());
    }
    QStringList args = app.arguments();
    args.removeFirst();
    cSource source(args);
    // Away from the top left corner, where the program under test shows up.
    source.setGeometry(1000, 800, 200, 120);
    source.show();
    return app.exec();
}
