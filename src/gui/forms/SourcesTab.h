// SPDX-License-Identifier: MIT
#pragma once

#include "engine/HostSources.h"

#include <QGroupBox>
#include <QWidget>

#include <functional>
#include <map>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;
class QVBoxLayout;

namespace brandle {

// The "Sources" tab of the settings window: what the service host's sources serve and are
// doing (GET /sources, asked again every two seconds while the tab shows), and the keys of the
// services asked with the user's own account. A typed key goes into the desktop keyring, where
// the host reads it at its next lookup; a key is never shown, only where it is stored. "Test"
// stores the source's keys and has the host make one lookup of the primary site.
class SourcesTab : public QWidget {
    Q_OBJECT
public:
    explicit SourcesTab(QWidget* parent = nullptr);
    ~SourcesTab() override;

    // The site a test looks up: the primary site as the settings window holds it.
    void setTestSite(std::function<QString()> site) { m_testSite = std::move(site); }

    // Stores the keys typed since they were last stored (the window's "Save"); then() follows
    // once the keyring has answered for each of them.
    void storeKeys(const std::function<void()>& then = {});

    // Asks the host for its sources now.
    void refresh();

    QList<QWidget*> tabOrder() const;

signals:
    // An answer of GET /sources (or its failure) is shown.
    void refreshed();
    // A test's answer is shown.
    void tested(const QString& id);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class SourceBox;
    struct KeyedService;

    void showSources(const HostAnswer& answer);
    void startTest(const QString& id);
    void runInBackground(QThread*& slot, std::function<HostAnswer()> work,
                         std::function<void(const HostAnswer&)> done);
    SourceBox* boxFor(const HostSource& source);

    QString m_host;
    std::function<QString()> m_testSite;
    QLabel* lblSourcesHost = nullptr;
    QLabel* lblKeyring = nullptr;
    QVBoxLayout* m_hostBoxes = nullptr;
    std::map<QString, SourceBox*> m_boxes;     // by source id
    std::map<QString, QLineEdit*> m_keyFields; // by key name
    QTimer* tmrSources = nullptr;
    QThread* m_poll = nullptr;
    std::map<QString, QThread*> m_tests; // by source id
    int m_keyWrites = 0;                 // keyring writes not yet answered
};

} // namespace brandle
