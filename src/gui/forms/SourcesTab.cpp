// SPDX-License-Identifier: MIT
#include "forms/SourcesTab.h"

#include "Keyring.h"
#include "desktop/ShellOpen.h"
#include "platform/Address.h"
#include "platform/LocaleText.h"
#include "platform/Paths.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

using namespace Qt::StringLiterals;

namespace brandle {

namespace {

constexpr int RefreshMs = 2000;
constexpr int ProgressSteps = 1000;

QString hostSettingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/brandle/brandle-host.conf"_s;
}

// Keys go to the keyring of this machine: a service host elsewhere cannot read them.
bool isOnThisMachine(const QString& hostPort)
{
    const QString host = hostPort.left(hostPort.lastIndexOf(u':')).remove(u'[').remove(u']');
    return host.compare("localhost"_L1, Qt::CaseInsensitive) == 0 ||
           QHostAddress(host).isLoopback();
}

QLabel* wrapped(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

// A service asked with the user's own key, as the tab offers it whether the host has it
// enabled or not.
struct SourcesTab::KeyedService {
    QString id;
    QString name;
    QStringList keyNames;
    QStringList keyLabels;
    QString cost;
    QString keyPage; // where the service hands out keys
};

// One source: its state, progress, last error and terms; for a keyed service also its cost,
// key fields, "Test" and the test's answer.
class SourcesTab::SourceBox final : public QGroupBox {
public:
    SourceBox(const QString& id, const QString& title, QWidget* parent)
        : QGroupBox(title, parent)
        , m_id(id)
    {
        setObjectName(u"fraSource_"_s + id);
        lblState = wrapped(u"lblState_"_s + id, this);
        prgSource = new QProgressBar(this);
        prgSource->setObjectName(u"prgSource_"_s + id);
        prgSource->setRange(0, ProgressSteps);
        prgSource->setAccessibleName(tr("Progress of %1").arg(title));
        prgSource->hide();
        lblError = wrapped(u"lblError_"_s + id, this);
        lblTerms = new QLabel(this);
        lblTerms->setObjectName(u"lblTerms_"_s + id);
        lblTerms->setWordWrap(true);
        lblTerms->setTextFormat(Qt::RichText);
        connect(lblTerms, &QLabel::linkActivated, this,
                [](const QString& link) { Browser::open(QUrl(link)); });
        m_layout = new QVBoxLayout(this);
        for (QWidget* w : std::initializer_list<QWidget*>{lblState, prgSource, lblError, lblTerms})
            m_layout->addWidget(w);
        m_extras = 3; // a keyed service's part goes before the terms
    }

    // The part of a keyed service; test is called by its "Test" button.
    void addKeys(const KeyedService& service, const std::function<void()>& test,
                 std::map<QString, QLineEdit*>& fields)
    {
        m_keyed = true;
        lblCost = wrapped(u"lblCost_"_s + m_id, this);
        lblCost->setText(service.cost);
        m_layout->insertWidget(m_extras, lblCost);
        auto* form = new QFormLayout;
        form->setRowWrapPolicy(QFormLayout::WrapLongRows);
        for (qsizetype i = 0; i < service.keyNames.size(); ++i) {
            auto* field = new QLineEdit(this);
            field->setObjectName(u"txtKey_"_s + service.keyNames[i]);
            field->setEchoMode(QLineEdit::Password);
            field->setAccessibleName(service.keyLabels[i]);
            auto* label = new QLabel(service.keyLabels[i], this);
            label->setBuddy(field);
            form->addRow(label, field);
            fields[service.keyNames[i]] = field;
            m_fields.append(field);
        }
        cmdTest = new QPushButton(tr("Test"), this);
        cmdTest->setObjectName(u"cmdTest_"_s + m_id);
        cmdTest->setAutoDefault(false);
        cmdTest->setToolTip(tr("Store the key and have the service host ask %1 once for the "
                               "primary site")
                                .arg(service.name));
        connect(cmdTest, &QPushButton::clicked, this, test);
        auto* getKey = new QLabel(
            u"<a href=\"%1\">%2</a>"_s.arg(service.keyPage.toHtmlEscaped(), tr("Get a key")), this);
        getKey->setObjectName(u"lblGetKey_"_s + m_id);
        connect(getKey, &QLabel::linkActivated, this,
                [](const QString& link) { Browser::open(QUrl(link)); });
        auto* row = new QHBoxLayout;
        row->addWidget(cmdTest);
        row->addWidget(getKey);
        row->addStretch();
        lblTest = wrapped(u"lblTest_"_s + m_id, this);
        lblTest->hide();
        m_layout->insertLayout(m_extras + 1, form);
        m_layout->insertLayout(m_extras + 2, row);
        m_layout->insertWidget(m_extras + 3, lblTest);
        showSource(nullptr);
    }

    // What the host says of the source; nothing: the host does not have it enabled.
    void showSource(const HostSource* source)
    {
        if (!source) {
            lblState->setText(tr("Not enabled: add %1 to \"engines\" in the service host's "
                                 "settings file (%2) and start it again.")
                                  .arg(m_id, hostSettingsFile()));
            for (QWidget* w : std::initializer_list<QWidget*>{prgSource, lblError, lblTerms})
                w->hide();
            setPlaceholders(u"none"_s);
            if (cmdTest)
                cmdTest->setEnabled(false);
            return;
        }
        setTitle(source->name);
        QString state = source->state == "loading"_L1  ? tr("Loading")
                        : source->state == "failed"_L1 ? tr("Failed")
                        : source->state == "off"_L1    ? tr("Off")
                                                       : tr("Ready");
        if (!source->release.isEmpty())
            state = tr("%1, serving %2").arg(state, source->release);
        if (source->updated.isValid())
            state = tr("%1, updated %2")
                        .arg(state, LocaleText::generalDateTime(source->updated.toLocalTime()));
        // A source that is off says why in its state.
        const bool off = source->state == "off"_L1 && !source->error.isEmpty();
        lblState->setText(off ? tr("Off: %1").arg(source->error) : state);
        const bool loading = source->state == "loading"_L1;
        prgSource->setVisible(loading);
        // Busy without a known share.
        prgSource->setMaximum(source->progress ? ProgressSteps : 0);
        prgSource->setValue(source->progress ? int(*source->progress * ProgressSteps) : 0);
        lblError->setText(tr("Last error: %1").arg(source->error));
        lblError->setVisible(!source->error.isEmpty() && !off);
        lblTerms->setText(source->termsLink.isEmpty()
                              ? source->terms.toHtmlEscaped()
                              : u"<a href=\"%1\">%2</a>"_s.arg(source->termsLink.toHtmlEscaped(),
                                                               source->terms.toHtmlEscaped()));
        lblTerms->setVisible(!source->terms.isEmpty());
        setPlaceholders(source->key);
        if (cmdTest)
            cmdTest->setEnabled(true);
    }

    // The button stays enabled while a test runs (a disabled one would lose the focus); a
    // second click does nothing until the answer has come.
    void setTestText(const QString& text)
    {
        lblTest->setText(text);
        lblTest->setVisible(!text.isEmpty());
    }

    bool keyed() const { return m_keyed; }

private:
    void setPlaceholders(const QString& key)
    {
        for (QLineEdit* field : std::as_const(m_fields)) {
            field->setPlaceholderText(key == "keyring"_L1 ? tr("Stored in the keyring")
                                      : key == "file"_L1  ? tr("From the host's settings file")
                                                          : tr("Paste your key here"));
        }
    }

    QString m_id;
    bool m_keyed = false;
    QVBoxLayout* m_layout = nullptr;
    int m_extras = 0;
    QList<QLineEdit*> m_fields;
    QLabel* lblCost = nullptr;
    QLabel* lblState = nullptr;
    QProgressBar* prgSource = nullptr;
    QLabel* lblError = nullptr;
    QLabel* lblTerms = nullptr;
    QPushButton* cmdTest = nullptr;
    QLabel* lblTest = nullptr;
};

SourcesTab::SourcesTab(QWidget* parent)
    : QWidget(parent)
    , m_host(Paths::serviceHost())
{
    setObjectName(u"tabSources"_s);
    lblSourcesHost = wrapped(u"lblSourcesHost"_s, this);
    lblSourcesHost->setText(tr("Sources of the service host at %1").arg(m_host));

    auto* content = new QWidget;
    content->setObjectName(u"fraSources"_s);
    auto* column = new QVBoxLayout(content);
    m_hostBoxes = new QVBoxLayout;
    column->addLayout(m_hostBoxes);
    auto* keysTitle = wrapped(u"lblKeys"_s, content);
    keysTitle->setText(
        isOnThisMachine(m_host)
            ? tr("Services asked with your own key. Keys are stored in your desktop keyring and "
                 "stay on this machine; the service host reads them there.")
            : tr("The service host runs on another machine: keys stored here are not its keys. "
                 "Put them into its own settings file there."));
    column->addWidget(keysTitle);
    const QList<KeyedService> services{
        {u"bing"_s,
         tr("Bing Webmaster Tools"),
         {QString::fromLatin1(keyring::BingKey)},
         {tr("API key")},
         tr("Free. Counts the inbound links of the sites verified in your Bing Webmaster "
            "account only."),
         u"https://www.bing.com/webmasters/"_s},
        {u"moz"_s,
         tr("Moz Links API"),
         {QString::fromLatin1(keyring::MozToken)},
         {tr("API token")},
         tr("Free tier: 50 rows a month and one request every 10 seconds. Each site costs one "
            "row a day (answers are kept for a day), so the hourly check of one site needs "
            "about 30 rows a month; each Test is one more. Paid plans allow more."),
         u"https://moz.com/products/api"_s},
        {u"dataforseo"_s,
         tr("DataForSEO Backlinks API"),
         {QString::fromLatin1(keyring::DataForSeoLogin),
          QString::fromLatin1(keyring::DataForSeoPassword)},
         {tr("API login"), tr("API password")},
         tr("Paid: about $0.02 per lookup from your DataForSEO balance. Each site is asked at "
            "most once a day (answers are kept for a day), so the hourly check of one site costs "
            "about $0.60 a month; each Test is one more lookup."),
         u"https://app.dataforseo.com/api-access"_s}};
    const bool local = isOnThisMachine(m_host);
    for (const KeyedService& service : services) {
        auto* box = new SourceBox(service.id, service.name, content);
        box->addKeys(
            service, [this, id = service.id] { startTest(id); }, m_keyFields);
        box->setEnabled(local);
        m_boxes[service.id] = box;
        column->addWidget(box);
    }
    lblKeyring = wrapped(u"lblKeyring"_s, content);
    lblKeyring->setText(
        tr("No keyring (Secret Service) answers, so Brandle cannot store keys. Put them into the "
           "service host's settings file instead, one per line, such as \"bing-key = YOUR-KEY\" "
           "(the keys are bing-key, moz-token, dataforseo-login and dataforseo-password), and make "
           "the file private: chmod 600 %1")
            .arg(hostSettingsFile()));
    lblKeyring->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblKeyring->hide();
    column->addWidget(lblKeyring);
    column->addStretch();

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(u"scrSources"_s);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSourcesHost);
    layout->addWidget(scroll, 1);

    tmrSources = new QTimer(this);
    tmrSources->setObjectName(u"tmrSources"_s);
    tmrSources->setInterval(RefreshMs);
    connect(tmrSources, &QTimer::timeout, this, &SourcesTab::refresh);
}

SourcesTab::~SourcesTab()
{
    QList<QThread*> threads{m_poll};
    for (const auto& [id, thread] : m_tests)
        threads << thread;
    for (QThread* thread : std::as_const(threads)) {
        if (thread) {
            thread->wait();
            delete thread;
        }
    }
}

QList<QWidget*> SourcesTab::tabOrder() const
{
    QList<QWidget*> order;
    for (const char* id : {"bing", "moz", "dataforseo"}) {
        const QWidget* box = m_boxes.at(QLatin1StringView(id));
        for (QWidget* w : box->findChildren<QWidget*>()) {
            if (w->focusPolicy() & Qt::TabFocus)
                order << w;
        }
    }
    return order;
}

void SourcesTab::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
    tmrSources->start();
}

void SourcesTab::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    tmrSources->stop();
}

void SourcesTab::runInBackground(QThread*& slot, std::function<HostAnswer()> work,
                                 std::function<void(const HostAnswer&)> done)
{
    auto answer = std::make_shared<HostAnswer>();
    QThread* thread = QThread::create([work, answer] { *answer = work(); });
    slot = thread;
    connect(thread, &QThread::finished, this, [this, thread, &slot, answer, done] {
        thread->wait();
        delete thread;
        slot = nullptr;
        done(*answer);
    });
    thread->start();
}

void SourcesTab::refresh()
{
    if (m_poll)
        return;
    runInBackground(
        m_poll, [host = m_host] { return askHostSources(host); },
        [this](const HostAnswer& answer) { showSources(answer); });
}

SourcesTab::SourceBox* SourcesTab::boxFor(const HostSource& source)
{
    SourceBox*& box = m_boxes[source.id];
    if (!box) {
        box = new SourceBox(source.id, source.name, this);
        m_hostBoxes->addWidget(box);
    }
    return box;
}

void SourcesTab::showSources(const HostAnswer& answer)
{
    const std::optional<QList<HostSource>> sources =
        answer.reached && answer.status == 200 ? readHostSources(answer.body) : std::nullopt;
    QString heading = tr("Sources of the service host at %1").arg(m_host);
    if (!answer.reached)
        heading += u"\n"_s + tr("It cannot be reached: %1").arg(answer.error);
    else if (!sources)
        heading += u"\n"_s + tr("It does not tell its sources (HTTP %1).").arg(answer.status);
    lblSourcesHost->setText(heading);
    QStringList shown;
    for (const HostSource& source : sources.value_or(QList<HostSource>())) {
        SourceBox* box = boxFor(source);
        box->showSource(&source);
        box->setVisible(true);
        shown << source.id;
    }
    for (const auto& [id, box] : m_boxes) {
        if (shown.contains(id))
            continue;
        if (box->keyed())
            box->showSource(nullptr);
        else
            box->setVisible(false);
    }
    emit refreshed();
}

void SourcesTab::storeKeys(const std::function<void()>& then)
{
    auto pending = std::make_shared<int>(0);
    const auto finish = [pending, then] {
        if (--*pending == 0 && then)
            then();
    };
    ++*pending; // held until every write has started
    for (const auto& [name, field] : m_keyFields) {
        const QString key = field->text().trimmed();
        if (key.isEmpty())
            continue;
        ++*pending;
        keyring::write(name, key, this, [this, field = field, finish](const keyring::Answer& a) {
            if (a.kind == keyring::Answer::Kind::Done) {
                field->clear();
                field->setPlaceholderText(tr("Stored in the keyring"));
            } else {
                lblKeyring->setVisible(true);
            }
            finish();
        });
    }
    finish();
}

void SourcesTab::startTest(const QString& id)
{
    SourceBox* box = m_boxes.at(id);
    if (m_tests[id])
        return;
    QString site = siteForLookup(m_testSite ? m_testSite() : QString()).section(u'/', 0, 0);
    if (site.trimmed().isEmpty()) {
        box->setTestText(tr("Type a primary site on the Main URL tab first: the test "
                            "looks it up."));
        emit tested(id);
        return;
    }
    box->setTestText(tr("Asking %1 for %2 ...").arg(box->title(), site));
    storeKeys([this, id, site, box] {
        runInBackground(
            m_tests[id], [host = m_host, id, site] { return askSourceTest(host, id, site); },
            [this, id, box](const HostAnswer& answer) {
                const std::optional<SourceTest> test = answer.reached && answer.status == 200
                                                           ? readSourceTest(answer.body)
                                                           : std::nullopt;
                QString text;
                if (!answer.reached)
                    text = tr("The service host could not be reached: %1").arg(answer.error);
                else if (answer.status == 404)
                    text = tr("The service host does not have %1 enabled.").arg(id);
                else if (!test)
                    text =
                        tr("The service host did not take the test (HTTP %1).").arg(answer.status);
                else if (!test->count)
                    text = tr("No count for %1: %2").arg(test->site, test->reason);
                else if (test->atLeast)
                    text = tr("%1: at least %2 %3")
                               .arg(test->site, LocaleText::formatCount(*test->count), test->unit);
                else
                    text = tr("%1: %2 %3")
                               .arg(test->site, LocaleText::formatCount(*test->count), test->unit);
                box->setTestText(text);
                emit tested(id);
                refresh();
            });
    });
}

} // namespace brandle
