// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"
#include "TestMain.h"
#include "TestSupport.h"

#include "forms/frmSettings.h"
#include "graphs/GraphsTab.h"
#include "graphs/LinkChart.h"

#include <QCheckBox>
#include <QGraphicsTextItem>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace brandle;

namespace {

// What a control is too small for: its text, or a date box's placeholder; empty when it fits.
QString clipped(QWidget* w)
{
    const auto* label = qobject_cast<QLabel*>(w);
    if (label && label->wordWrap()) {
        const int height = label->heightForWidth(label->width());
        if (height <= label->height())
            return {};
        return u"%1 is %2 high for %3"_s.arg(w->objectName()).arg(w->height()).arg(height);
    }
    int needed = 0;
    if (label || qobject_cast<QCheckBox*>(w) || qobject_cast<QPushButton*>(w) ||
        qobject_cast<QGroupBox*>(w))
        needed = w->minimumSizeHint().width();
    else if (auto* edit = qobject_cast<QLineEdit*>(w); edit && !edit->placeholderText().isEmpty()) {
        QStyleOptionFrame option;
        option.initFrom(edit);
        const QSize text(edit->fontMetrics().horizontalAdvance(edit->placeholderText()), 1);
        needed = edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, edit).width();
    }
    if (w->width() >= needed)
        return {};
    return u"%1 is %2 wide for %3"_s.arg(w->objectName()).arg(w->width()).arg(needed);
}

} // namespace

// The settings window on 1366 x 768 at 96 dpi, scale factor 2 and 144 dpi (tests/CMakeLists.txt).
class TestLayout : public GuiTestCase {
    Q_OBJECT

private slots:
    // Every tab and view: the framed window in the free area, each control inside it, text whole.
    void fitsTheScreen_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("logging");
        QTest::addColumn<bool>("exitOffered");
        QTest::addColumn<bool>("maximized");
        QTest::newRow("Main URL with Exit") << 0 << true << true << false;
        QTest::newRow("Graphs, options") << 1 << true << false << false;
        QTest::newRow("Graphs, disabled, maximized") << 1 << false << true << true;
        QTest::newRow("Sources") << 2 << true << false << false;
    }
    void fitsTheScreen()
    {
        QFETCH(int, tab);
        QFETCH(bool, logging);
        QFETCH(bool, exitOffered);
        QFETCH(bool, maximized);
        const ScopedEnv host("BRANDLE_SERVICE_HOST", deadHostPort().toUtf8());
        frmSettings w;
        w.findChild<QCheckBox*>(u"chkLogging"_s)->setChecked(logging);
        w.setExitOffered(exitOffered);
        w.showOnTab(tab);
        if (maximized)
            w.showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect available = w.screen()->availableGeometry();
        QTRY_COMPARE_WITH_TIMEOUT(available.united(w.frameGeometry()), available, WaitMs);
        // Once the window has settled (it is moved again after the first show).
        const auto faults = [&w] {
            QStringList faults;
            for (QWidget* control : w.findChildren<QWidget*>()) {
                // Named focusable controls, labels and frames that show.
                if (!((control->focusPolicy() & Qt::TabFocus) || qobject_cast<QLabel*>(control) ||
                      qobject_cast<QGroupBox*>(control)) ||
                    control->objectName().isEmpty() || control->objectName().startsWith(u"qt_"_s) ||
                    !control->isVisible())
                    continue;
                // A control in a part that scrolls counts once it is scrolled into view.
                for (QWidget* up = control->parentWidget(); up; up = up->parentWidget()) {
                    if (auto* scroll = qobject_cast<QScrollArea*>(up)) {
                        const QPoint centre =
                            control->mapTo(scroll->widget(), control->rect().center());
                        scroll->ensureVisible(centre.x(), centre.y(), control->width() / 2 + 1,
                                              control->height() / 2 + 1);
                    }
                }
                const QRect inWindow(control->mapTo(&w, QPoint(0, 0)), control->size());
                if (!w.rect().contains(inWindow))
                    faults << control->objectName() + u" lies outside the window"_s;
                if (const QString fault = clipped(control); !fault.isEmpty())
                    faults << fault;
            }
            return faults.join(u"; "_s);
        };
        QTRY_COMPARE_WITH_TIMEOUT(faults(), QString(), WaitMs);
    }

    // The chart view takes what the window gains; its day labels are whole at either size.
    void chartGrows()
    {
        for (int day = 0; day < 42; ++day)
            QVERIFY(writeLog(
                {{QDate(2004, 3, 1).addDays(day), u"a.com"_s, QString::number(100 + day)}}));
        frmSettings w;
        w.showOnTab(1);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.graphsTab()->txtChartURL()->setText(u"a.com"_s);
        QSignalSpy charted(w.graphsTab(), &GraphsTab::reportFinished);
        w.graphsTab()->ShowLinkReport(u"3/1/2004"_s, u"4/11/2004"_s);
        QVERIFY(charted.wait(WaitMs));
        QCOMPARE(w.graphsTab()->view(), GraphsTab::View::Chart);
        // The chart's texts once laid out; labels that do not fit their room are cut to "...".
        const auto texts = [&w] {
            QStringList all;
            for (QGraphicsItem* item : w.graphsTab()->chart()->scene()->items()) {
                if (auto* text = dynamic_cast<QGraphicsTextItem*>(item))
                    all << text->toPlainText();
            }
            return all;
        };
        QTRY_VERIFY_WITH_TIMEOUT(texts().size() > 20, WaitMs);
        QCOMPARE(texts().filter(u"..."_s), QStringList());
        const QSize before = w.graphsTab()->chart()->size();
        w.resize(w.size() + QSize(100, 60));
        QTRY_COMPARE_WITH_TIMEOUT(w.graphsTab()->chart()->size(), before + QSize(100, 60), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(texts().filter(u"..."_s), QStringList(), WaitMs);
        // Its type list and "Back" stay in its corners.
        const QWidget* list = w.findChild<QWidget*>(u"cboChartType"_s);
        const QWidget* back = w.findChild<QWidget*>(u"cmdReturn"_s);
        const QRect chart = w.graphsTab()->chart()->geometry();
        QVERIFY(chart.contains(list->geometry()) && chart.contains(back->geometry()));
        QVERIFY(list->y() - chart.y() < chart.height() / 4);
        QVERIFY(chart.bottom() - back->geometry().bottom() < chart.height() / 4);
        QVERIFY(chart.right() - back->geometry().right() < chart.width() / 4);
    }
};

BRANDLE_TEST(TestLayout)
#include "tst_layout.moc"
