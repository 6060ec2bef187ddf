// SPDX-License-Identifier: MIT
#include "platform/mConstants.h"
#include "settings/clsProps.h"
#include "tray/TrayIcon.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString(mConstants::AppTitle));
    QApplication::setApplicationVersion(QStringLiteral(BRANDLE_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(brandleIcon());

    LoadProps(oProps, QStringLiteral("5"));

    TrayIcon tray;
    QObject::connect(&tray, &TrayIcon::exitRequested, &app, &QApplication::quit);
    tray.show();
    return app.exec();
}
