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

    // A lookup has started: the windows may be wanted soon.
    virtual void prepare() = 0;
    virtual void showLoading() = 0;
    virtual void closeLoading() = 0;
    // Shows the result page in the message window, sized and timed by the parameters.
    virtual void showMessage(const QString& pagePath, const WindowParams& params) = 0;
    virtual void unloadMessage() = 0;
    virtual bool messageLoaded() const = 0;
};

class HelperWindows;

// The web windows run in brandle-web, a helper process of their own: the program starts it when
// a lookup shows its loading window or a page is shown, talks to it over a private local socket,
// and lets it end once neither window is open. Between counts Brandle then holds no browser
// engine at all.
class WebModule {
public:
    explicit WebModule(WebWindowsHost& host);
    ~WebModule();
    WebModule(const WebModule&) = delete;
    WebModule& operator=(const WebModule&) = delete;

    // The windows; the helper starts with the first request. nullptr when it cannot be found.
    WebWindows* windows();
    // The windows while a helper runs, else nullptr: for closing windows, which need no helper
    // when none runs.
    WebWindows* loaded() const;

    // How long the helper stays after its last window went, in case another is wanted soon.
    static constexpr int IdleMs = 2000;

private:
    WebWindowsHost& m_host;
    std::unique_ptr<HelperWindows> m_windows;
    bool m_triedToFind = false;
};

} // namespace brandle
