#pragma once

#include "app/application.h"
#include "platform/messages.h"
#include "platform/openurl.h"
#include "support/brokenserver.h"
#include "support/tempdir.h"
#include "ui/addstockdialog.h"
#include "ui/docking.h"
#include "ui/mainwindow.h"
#include "ui/trayicon.h"
#include "services/alertmonitor.h"
#include "services/quoterefresh.h"
#include "watchlist/watchlist.h"

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

namespace velmora::testing {

// The whole program on a temporary data folder, quotes and charts from a broken server on
// 127.0.0.1 (answering properly unless told otherwise), every message captured instead of
// shown, every address captured instead of opened, the program's end recorded instead of had.
// GUI tests build on it; tests of one part build that part alone.
struct AppFixture
{
    QTemporaryDir dir;
    BrokenServer server;
    AppSettings settings;
    std::unique_ptr<Application> app;
    QStringList messages;
    QList<QUrl> opened;
    QList<int> ends;      // statuses the program would have ended with
    bool trayThere = true; // what the main window hears when it asks for a tray

    AppFixture() : AppFixture(QString()) {}
    explicit AppFixture(const QString &subDir)
    {
        server.start();
        settings.dataDir = subDir.isEmpty() ? dir.path() : dir.filePath(subDir);
        settings.quoteBase = server.baseUrl();
        settings.chartBase = server.baseUrl();
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
        Messages::setSinkForTests(nullptr);
        SetOpenUrlHookForTests(nullptr);
    }

    std::filesystem::path dataPath() const { return settings.dataDir.toStdString(); }

    // Starts the program with its timers stopped, so no tick interferes with a test, and waits
    // for the main window. False when it did not start or show.
    [[nodiscard]] bool start(QPoint at = QPoint(100, 80),
                             std::unique_ptr<ViewerLauncher> chartLauncher = {})
    {
        app.reset();
        app = std::make_unique<Application>(settings, std::move(chartLauncher));
        app->setProgramEnd([this](int status) { ends << status; });
        if (app->start())
            return false;
        app->mainWindow().setTrayProbe([this] { return trayThere; });
        for (QTimer *timer : {app->quoteRefresh().timer(), app->alertMonitor().timer(),
                              app->docking().timer()})
            timer->stop();
        window().move(at);
        if (!QTest::qWaitForWindowExposed(&window()))
            return false;
        QCoreApplication::processEvents(); // the deferred start-up message, if any
        return true;
    }

    MainWindow &window() const { return app->mainWindow(); }
    WatchList &list() const { return app->watchList(); }

    // A menu item of the list's context menu or of the tray menu, by its name.
    QAction *action(const char *name) const
    {
        for (QMenu *menu : {window().contextMenu(), app->trayIcon().menu()}) {
            if (auto *item = menu->findChild<QAction *>(QString::fromLatin1(name)))
                return item;
        }
        return nullptr;
    }

    // "添加股票" from the list's context menu; the dialog once it is active.
    AddStockDialog *openDialog() const
    {
        action("mnu21")->trigger();
        AddStockDialog *dialog = app->addDialog();
        if (dialog && !QTest::qWaitForWindowActive(dialog))
            return nullptr;
        return dialog;
    }

    static QLineEdit *box(QWidget *dialog, const char *name)
    {
        return dialog->findChild<QLineEdit *>(QString::fromLatin1(name));
    }
    static QPushButton *button(QWidget *window, const char *name)
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
