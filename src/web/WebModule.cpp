// SPDX-License-Identifier: MIT
// The entry of the web-window module: the program loads it on first use and asks for its
// windows through brandleWebWindows().
#include "app/WebWindows.h"
#include "frmLoading.h"
#include "frmMessage.h"

#include <QtGlobal>

namespace {

class ModuleWindows final : public WebWindows {
public:
    void showLoading() override { frmLoading::instance()->ShowLoading(); }
    void closeLoading() override { frmLoading::unload(); }
    void showMessage(const QString& pagePath) override
    {
        frmMessage::instance()->ShowMessage(pagePath);
    }
    void unloadMessage() override { frmMessage::unload(); }
    bool messageLoaded() const override { return frmMessage::isLoaded(); }
    void setLookupStarter(std::function<void(const QString&)> starter) override
    {
        frmMessage::setLookupStarter(std::move(starter));
    }
    void setKeepOnTopCheck(std::function<bool()> check) override
    {
        frmMessage::setKeepOnTopCheck(std::move(check));
    }
};

} // namespace

extern "C" Q_DECL_EXPORT WebWindows* brandleWebWindows()
{
    static ModuleWindows windows;
    return &windows;
}
