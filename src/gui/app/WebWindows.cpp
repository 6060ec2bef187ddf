// SPDX-License-Identifier: MIT
#include "app/WebWindows.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QOpenGLContext>

#include <cstdio>

using namespace Qt::StringLiterals;

// Qt's global share context, which Qt WebEngine renders with. Qt makes it at start-up only when
// asked before the application object exists; made here instead, it costs nothing until a page
// is first shown.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();

namespace brandle {

namespace {

void provideShareContext()
{
    if (qt_gl_global_share_context())
        return;
    auto* context = new QOpenGLContext(QCoreApplication::instance());
    context->create();
    qt_gl_set_global_share_context(context);
}

} // namespace

WebModule::WebModule(WebWindowsHost& host)
    : m_host(host)
{
}

WebModule::~WebModule()
{
    if (m_windows) {
        m_windows->unloadMessage();
        m_windows->closeLoading();
    }
}

WebWindows* WebModule::windows()
{
    if (m_windows || m_triedToLoad)
        return m_windows.get();
    m_triedToLoad = true;
    provideShareContext();
    // Beside the program (a build or portable folder), then where an installation puts it.
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList candidates{programDir + "/brandle_web"_L1,
                           programDir + "/../lib/brandle/brandle_web"_L1};
#ifdef BRANDLE_WEB_MODULE_DIR
    candidates << QString::fromUtf8(BRANDLE_WEB_MODULE_DIR "/brandle_web");
#endif
    QString errors;
    for (const QString& candidate : candidates) {
        QLibrary module(candidate);
        if (auto factory =
                reinterpret_cast<WebWindowsFactory>(module.resolve(WebWindowsFactoryName))) {
            m_windows.reset(factory(&m_host));
            break;
        }
        errors += module.errorString() + u'\n';
    }
    if (!m_windows)
        std::fprintf(stderr, "Brandle: the result windows cannot be loaded:\n%s",
                     qPrintable(errors));
    return m_windows.get();
}

} // namespace brandle
