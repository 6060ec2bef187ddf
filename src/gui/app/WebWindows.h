// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <memory>

namespace brandle {

struct WindowParams;

// What the web windows ask of the program. The program hands it to the web module when it loads
// the module; the module keeps no other way back.
class WebWindowsHost {
public:
    virtual ~WebWindowsHost() = default;
    // GO in the quick lookup box: counts the site (leading "http://" dropped, lower case). False
    // when nothing was started because a count is running.
    virtual bool startLookup(const QString& site) = 0;
    // The live state of "Keep window on topmost position", saved or not.
    virtual bool keepOnTop() const = 0;
    // The recent-lookups limit as text (the settings record's History).
    virtual QString historyLimit() const = 0;
};

// The windows that hold a web view: the message window and the loading window.
class WebWindows {
public:
    virtual ~WebWindows() = default;

    virtual void showLoading() = 0;
    virtual void closeLoading() = 0;
    // Shows the result page in the message window, sized and timed by the parameters.
    virtual void showMessage(const QString& pagePath, const WindowParams& params) = 0;
    virtual void unloadMessage() = 0;
    virtual bool messageLoaded() const = 0;
};

// The web windows live in a module that is loaded on first use, so a Brandle that idles in the
// tray does not carry the browser engine and its graphics stack.
class WebModule {
public:
    explicit WebModule(WebWindowsHost& host);
    ~WebModule();
    WebModule(const WebModule&) = delete;
    WebModule& operator=(const WebModule&) = delete;

    // The windows, loading the module on the first call; nullptr when it cannot be loaded.
    WebWindows* windows();
    // The windows when the module is loaded already, else nullptr: for closing windows, which
    // need no module when none was ever opened.
    WebWindows* loaded() const { return m_windows.get(); }

private:
    WebWindowsHost& m_host;
    std::unique_ptr<WebWindows> m_windows;
    bool m_triedToLoad = false;
};

// The module's entry: makes its windows for the host.
using WebWindowsFactory = WebWindows* (*)(WebWindowsHost* host);
inline constexpr char WebWindowsFactoryName[] = "brandleWebWindows";

} // namespace brandle
