// SPDX-License-Identifier: MIT
#include "app/WebWindows.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QOpenGLContext>

#include <cstdio>

namespace {

WebWindows* loaded = nullptr;
bool triedToLoad = false;
std::function<void(const QString&)> starterHook;
std::function<bool()> keepOnTopHook;

using Factory = WebWindows* (*)();

} // namespace

// Qt's global share context, which Qt WebEngine renders with. Qt makes it at start-up only when
// asked before the application object exists; made here instead, it costs nothing until a page
// is first shown.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();

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

WebWindows* webWindows()
{
    if (loaded || triedToLoad)
        return loaded;
    triedToLoad = true;
    provideShareContext();
    // Beside the program (a build or portable folder), then where an installation puts it.
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList candidates{programDir + QLatin1String("/brandle_web"),
                           programDir + QLatin1String("/../lib/brandle/brandle_web")};
#ifdef BRANDLE_WEB_MODULE_DIR
    candidates << QStringLiteral(BRANDLE_WEB_MODULE_DIR "/brandle_web");
#endif
    QString errors;
    for (const QString& candidate : candidates) {
        QLibrary module(candidate);
        if (auto factory = reinterpret_cast<Factory>(module.resolve("brandleWebWindows"))) {
            loaded = factory();
            break;
        }
        errors += module.errorString() + u'\n';
    }
    if (!loaded) {
        std::fprintf(stderr, "Brandle: the result windows cannot be loaded:\n%s",
                     qPrintable(errors));
        return nullptr;
    }
    loaded->setLookupStarter(starterHook);
    loaded->setKeepOnTopCheck(keepOnTopHook);
    return loaded;
}

WebWindows* loadedWebWindows()
{
    return loaded;
}

void setWebWindowHooks(std::function<void(const QString&)> lookupStarter,
                       std::function<bool()> keepOnTop)
{
    starterHook = std::move(lookupStarter);
    keepOnTopHook = std::move(keepOnTop);
    if (loaded) {
        loaded->setLookupStarter(starterHook);
        loaded->setKeepOnTopCheck(keepOnTopHook);
    }
}
