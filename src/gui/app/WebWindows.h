// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

// The windows that hold a web view (the message window and the loading window). They live in a
// module that is loaded on first use, so a Brandle that idles in the tray does not carry the
// browser engine and its graphics stack.
class WebWindows {
public:
    virtual ~WebWindows() = default;

    virtual void showLoading() = 0;
    virtual void closeLoading() = 0;
    // Shows the result page in a message window; throws BrandleError when the window parameters
    // of oProps.XMLSchema() cannot be read.
    virtual void showMessage(const QString& pagePath) = 0;
    virtual void unloadMessage() = 0;
    virtual bool messageLoaded() const = 0;
    virtual void setLookupStarter(std::function<void(const QString& site)> starter) = 0;
    virtual void setKeepOnTopCheck(std::function<bool()> check) = 0;
};

// The web windows, loading their module on the first call; nullptr when it cannot be loaded.
WebWindows* webWindows();

// The web windows when their module is loaded already, else nullptr: for closing windows, which
// need no module when none was ever opened.
WebWindows* loadedWebWindows();

// What the message window's quick lookup starts, and the live keep-on-top check; applied when
// the module loads.
void setWebWindowHooks(std::function<void(const QString& site)> lookupStarter,
                       std::function<bool()> keepOnTop);
