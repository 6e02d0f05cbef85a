#pragma once

#include "adddialog/fakequoteservice.h"
#include "adddialog/frmadd.h"
#include "mainwin/form1.h"
#include "mainwin/listcommands.h"
#include "mainwin/watchlistmodel.h"
#include "platform/messages.h"
#include "store/watchliststore.h"
#include "support/tempdir.h"

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

namespace velmora::testing {

// A main window on a temporary data directory, quotes from a fake service on 127.0.0.1, and
// every message captured instead of shown.
struct DialogFixture
{
    QTemporaryDir dir;
    FakeQuoteService service;
    AppSettings settings;
    std::unique_ptr<WatchListFiles> files;
    std::unique_ptr<Form1> form;
    QStringList messages;

    DialogFixture() : DialogFixture(QString()) {}
    explicit DialogFixture(const QString &subDir)
    {
        settings.dataDir = subDir.isEmpty() ? dir.path() : dir.filePath(subDir);
        settings.quoteBase = service.base();
        settings.chartBase = service.base();
        settings.siteBase = QUrl(QStringLiteral("http://www.tesquin.example"));
        Messages::setSinkForTests([this](const QString &text) { messages << text; });
    }
    ~DialogFixture()
    {
        form.reset();
        Messages::setSinkForTests(nullptr);
    }

    std::filesystem::path dataPath() const { return settings.dataDir.toStdString(); }

    // Form_Load and show, with the timers stopped so no tick interferes with a test.
    void start(QPoint at = QPoint(100, 80))
    {
        form.reset();
        files = std::make_unique<WatchListFiles>(dataPath());
        form = std::make_unique<Form1>(settings, *files);
        form->load();
        for (QTimer *timer : {form->timer1(), form->timer2(), form->timer3()})
            timer->stop();
        form->move(at);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCoreApplication::processEvents(); // the deferred start-up message, if any
    }

    ListCommands *commands() const { return form->findChild<ListCommands *>(); }

    FrmAdd *open()
    {
        form->action("mnu21")->trigger();
        FrmAdd *dialog = commands()->addDialog();
        if (dialog && !QTest::qWaitForWindowActive(dialog))
            return nullptr;
        return dialog;
    }

    static QLineEdit *box(FrmAdd *dialog, const char *name)
    {
        return dialog->findChild<QLineEdit *>(QString::fromLatin1(name));
    }
    static QPushButton *addButton(FrmAdd *dialog)
    {
        return dialog->findChild<QPushButton *>(QStringLiteral("Command1"));
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

    // Types code into a freshly focused Text1 (replacing what it held).
    static void typeCode(FrmAdd *dialog, const QString &code)
    {
        QLineEdit *text1 = box(dialog, "Text1");
        text1->setFocus(Qt::MouseFocusReason);
        text1->selectAll();
        QTest::keyClick(text1, Qt::Key_Delete);
        type(text1, code);
    }

    // Types code and leaves Text1 with the Tab key; returns once the lookup has ended.
    static bool lookUp(FrmAdd *dialog, const QString &code)
    {
        typeCode(dialog, code);
        QSignalSpy finished(dialog, &FrmAdd::lookupFinished);
        QTest::keyClick(box(dialog, "Text1"), Qt::Key_Tab);
        return finished.wait(10000);
    }
};

} // namespace velmora::testing
