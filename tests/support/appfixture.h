#pragma once

#include "app/application.h"
#include "app/desktopintegration.h"
#include "app/ondemandwindows.h"
#include "platform/httpqueue.h"
#include "platform/messages.h"
#include "platform/openurl.h"
#include "services/alertmonitor.h"
#include "services/announcementfeed.h"
#include "services/quoterefresh.h"
#include "support/brokenserver.h"
#include "support/tempdir.h"
#include "ui/addstockdialog.h"
#include "ui/docking.h"
#include "ui/mainwindow.h"
#include "ui/trayicon.h"
#include "watchlist/watchlist.h"

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>

namespace velmora::testing {

// The whole program on a temporary data folder. Quotes and charts come from a broken server on
// 127.0.0.1 (answering properly unless told otherwise); the site www.tesquin.example is a second
// one, reached as the program's HTTP proxy, so no request leaves this machine. Every message is
// captured instead of shown, every address captured instead of opened, the program's end
// recorded instead of had. GUI tests build on it; tests of one part build that part alone.
struct AppFixture
{
    QTemporaryDir dir;
    QTemporaryDir config; // where the settings file goes
    BrokenServer server; // quotes and charts
    BrokenServer site;   // every request for the site arrives here, its target a whole address
    AppSettings settings;
    std::unique_ptr<Application> app;
    QStringList messages;
    QList<QUrl> opened;
    QList<int> ends;           // statuses the program would have ended with
    QStringList timersAtStart; // "Timer1 8000 on": as start() found them, before stopping them
    bool trayThere = true;     // what the main window hears when it asks for a tray
    const QNetworkProxy savedProxy = QNetworkProxy::applicationProxy();

    AppFixture()
    {
        server.start();
        site.start();
        QNetworkProxy::setApplicationProxy(QNetworkProxy(
            QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), site.baseUrl().port()));
        settings.dataDir = dir.path();
        settings.quoteBase = settings.chartBase = server.baseUrl();
        // The custom service at the broken server, at its usual pace.
        settings.user.source = QuoteSourceKind::Custom;
        settings.user.customBase = server.baseUrl();
        settings.tencentBase = settings.sinaBase = settings.chartImageBase = server.baseUrl();
        settings.userSettingsPath = config.filePath(QStringLiteral("velmora/velmora.conf"));
        settings.siteBase = QUrl(QStringLiteral("http://www.tesquin.example"));
        Messages::setSinkForTests([this](const QString &text) { messages << text; });
        SetOpenUrlHookForTests([this](const QUrl &url) {
            opened << url;
            return true;
        });
    }
    ~AppFixture()
    {
        app.reset();
        QNetworkProxy::setApplicationProxy(savedProxy);
        Messages::setSinkForTests(nullptr);
        SetOpenUrlHookForTests(nullptr);
    }

    std::filesystem::path dataPath() const { return settings.dataDir.toStdString(); }

    // The three files of the list, as bytes.
    void putFiles(const std::string &codes, const std::string &takeProfit = {},
                  const std::string &stopLoss = {}) const
    {
        writeFile(dataPath() / kCodeFileName, codes);
        writeFile(dataPath() / kTakeProfitFileName, takeProfit);
        writeFile(dataPath() / kStopLossFileName, stopLoss);
    }

    // Starts the program and waits for the main window and the strip's first load. The timers
    // are stopped, so no tick interferes with a test. False when any of it failed.
    [[nodiscard]] bool start(QPoint at = QPoint(100, 80))
    {
        app.reset();
        app = std::make_unique<Application>(settings);
        app->desktop().setProgramEnd([this](int status) { ends << status; });
        if (app->start())
            return false;
        QSignalSpy stripLoaded(&app->announcementFeed(), &AnnouncementFeed::loadFinished);
        app->mainWindow().setTrayProbe([this] { return trayThere; });
        timersAtStart.clear();
        for (QTimer *timer :
             {app->quoteRefresh().timer(), app->alertMonitor().timer(), app->docking().timer()}) {
            timersAtStart << QStringLiteral("%1 %2 %3")
                                 .arg(timer->objectName())
                                 .arg(timer->interval())
                                 .arg(timer->isActive() ? QStringLiteral("on")
                                                        : QStringLiteral("off"));
            timer->stop();
        }
        window().move(at);
        // Without a site the strip's load has failed already, inside start().
        if (!QTest::qWaitForWindowExposed(&window()) ||
            (!settings.siteBase.isEmpty() && !stripLoaded.wait(10000)))
            return false;
        QCoreApplication::processEvents(); // the deferred start-up message, if any
        return true;
    }

    MainWindow &window() const { return app->mainWindow(); }
    WatchList &list() const { return app->watchList(); }
    QTreeView *view() const { return window().listView(); }

    // A menu item of the list's context menu or of the tray menu, by its name.
    QAction *action(const char *name) const
    {
        for (QMenu *menu : {window().contextMenu(), app->trayIcon().menu()}) {
            if (auto *item = menu->findChild<QAction *>(QString::fromLatin1(name)))
                return item;
        }
        return nullptr;
    }

    // Rows as the view shows them (the list's own order until a header is clicked).
    void select(const QList<int> &rows) const
    {
        QItemSelectionModel *selection = view()->selectionModel();
        selection->clearSelection();
        for (int row : rows)
            selection->select(view()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QPoint rowCentre(int row) const
    {
        return view()->visualRect(view()->model()->index(row, 0)).center();
    }

    // "添加股票" from the list's context menu; the dialog once it is active, else null.
    AddStockDialog *openDialog() const
    {
        action("mnu21")->trigger();
        AddStockDialog *dialog = app->windows().addDialog();
        return dialog && QTest::qWaitForWindowActive(dialog) ? dialog : nullptr;
    }

    static QLineEdit *box(QWidget *window, const char *name)
    {
        return window->findChild<QLineEdit *>(QString::fromLatin1(name));
    }
    static QPushButton *button(QWidget *window, const char *name = "Command1")
    {
        return window->findChild<QPushButton *>(QString::fromLatin1(name));
    }

    // Keys for plain characters, an input method's commit for Chinese text.
    static void type(QWidget *widget, const QString &text)
    {
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(widget, char(c.unicode()));
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(QString(c));
                QApplication::sendEvent(widget, &commit);
            }
        }
    }

    // Types code into a freshly focused code box (replacing what it held).
    static void typeCode(QWidget *dialog, const QString &code)
    {
        QLineEdit *codeBox = box(dialog, "Text1");
        codeBox->setFocus(Qt::MouseFocusReason);
        codeBox->selectAll();
        QTest::keyClick(codeBox, Qt::Key_Delete);
        type(codeBox, code);
    }

    // Types code and leaves the code box with the Tab key; true once the lookup has ended.
    [[nodiscard]] static bool lookUp(AddStockDialog *dialog, const QString &code)
    {
        typeCode(dialog, code);
        QSignalSpy finished(dialog, &AddStockDialog::lookupFinished);
        QTest::keyClick(box(dialog, "Text1"), Qt::Key_Tab);
        return finished.wait(10000);
    }
};

} // namespace velmora::testing
