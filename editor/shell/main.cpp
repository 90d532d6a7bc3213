// Program entry.
#include "editor/platform/Application.h"
#include "editor/platform/Resources.h"

#include <QMainWindow>

int main(int argc, char **argv)
{
    cApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(LoadResString(res::ProductName));
    window.resize(696, 480);
    SetApplicationMainWindow(&window);
    window.show();
    return app.exec();
}
