#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QCloseEvent;
class QMenu;
class QTextBrowser;
class QTextDocument;
class QTreeView;

namespace velmora {

class ListSortProxy;
class WatchList;

// The main window ("Form1"): the watch list ("ListView1") and the announcement strip below it
// ("WebBrowser1"), and the list's context menu ("mnu2"). It shows the list and tells what the
// user asked for; it changes nothing itself.
//
// It lives in the tray: minimising hides it and the user's own close puts it away there, as
// long as a tray is there to bring it back (asked afresh every time). Without one it behaves as
// any other window: minimise minimises and close ends the program.
class MainWindow final : public QWidget
{
    Q_OBJECT

public:
    MainWindow(WatchList &list, const QString &siteHost, bool demo, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The caption names the maker's site host after its dash, or, with no site set, where the
    // quotes come from (sourceTitle); the demo's mark follows the quote source.
    static QString captionFor(const QString &siteHost, bool demo, const QString &sourceTitle = {});
    void setSource(const QString &sourceTitle, bool demo);
    // While the strip has no announcement to show (its page failed, or no site is set), it shows
    // the quote status line instead; an announcement takes its place again once one loads.
    void setAnnouncementShown(bool shown);
    void setStatusLine(const QString &status);
    // The holdings' amounts (columns and totals) shown as *** when hidden.
    void setHideAmounts(bool hide);
    // The 走势 column.
    void setTrendShown(bool shown);
    // The totals line under the list ("totalsLine"), shown while any row has lots.
    QLabel *totalsLine() const { return m_totalsLine; }

    // The strip shows this document (the announcement feed's).
    void showAnnouncement(QTextDocument *document);
    // After every load of the strip's page: no scroll bars, whatever it holds.
    void hideStripScrollBars();

    // Whether a tray is there to bring the window back; the desktop's answer by default.
    void setTrayProbe(std::function<bool()> probe);
    bool trayAvailable() const;

    // A left click on the tray icon: visible and on top; a hidden or minimised window also
    // comes back restored, since many tray hosts never send the double click that would do it.
    void showFromTray();
    // A double click on the tray icon: restored, visible and on top.
    void restoreFromTray();
    // A second start on the same data folder: restored and in front.
    void bringToFront();

    // Asks for a table file to import; empty when the user cancelled.
    QString askFileToImport();

    // The rows the user selected, as positions in the list, in the order the view shows them.
    QList<int> selectedPositions() const;
    ListSortProxy *viewOrder() const { return m_order; }

    QTreeView *listView() const { return m_listView; }
    QTextBrowser *strip() const { return m_strip; }
    QMenu *contextMenu() const { return m_contextMenu; }
    // The strip's own menu: 复制, 全选.
    QMenu *stripMenu() const { return m_stripMenu; }

signals:
    void addRequested();
    // The first selected row; with none selected nothing is asked. When it is the last row of a
    // code with lots, the user has agreed that they go too.
    void removeRequested(int position);
    void chartRequested(const QList<int> &positions);
    // 持仓…: the lots of the first selected row's code.
    void holdingsRequested(int position);
    void importRequested();
    // 导出…, with the file the user chose to write and what goes into it: the list, or the lots.
    void exportRequested(const QString &path, bool holdings);
    void restoreRequested();
    // A click on the list (a left press and release, not the second press of a double click).
    void listClicked();
    // A web link (http or https) in the strip was clicked.
    void stripLinkActivated(const QUrl &url);
    // A take-profit or stop-loss cell edited in place (column TakeProfit or StopLoss), with the
    // text the user left in it.
    void thresholdEdited(int position, int column, const QString &text);
    // A close that the user did not start (the session ending, a close from code), or the
    // user's close with no tray to go to: the program ends.
    void quitRequested();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildContextMenu();
    void setUpColumns();
    // The code column as wide as the longest code needs, never narrower than its own width;
    // the list, the strip and the window grow or shrink by the same amount.
    void fitCodeColumn();
    // The holdings columns and the totals line follow the lots: shown while any row has some,
    // the window growing by what they need; without lots the window is as it always was.
    void followHoldings();
    // The list, the totals line and the strip where they go with the columns and lines shown
    // beyond the eight list columns; the window grows by as much.
    void placeControls();
    void makeTopmost();
    void requestRemoval();

    WatchList &m_list;
    ListSortProxy *m_order = nullptr; // the view's order over the list's
    QString m_siteHost;
    QTextDocument *m_announcement = nullptr; // the feed's
    QLabel *m_totalsLine = nullptr;
    int m_totalsLines = 0; // lines the totals line has room for: none while no row has lots
    QSize m_added{0, 0};   // what placeControls() added to the window's size
    QTextDocument *m_statusDocument = nullptr;
    bool m_announcementShown = true;
    QTreeView *m_listView = nullptr;
    QTextBrowser *m_strip = nullptr;
    QObject *m_viewport = nullptr; // the list's viewport, where its mouse events arrive
    QMenu *m_contextMenu = nullptr;
    QMenu *m_stripMenu = nullptr;
    QAction *m_addAction = nullptr;
    QAction *m_removeAction = nullptr;
    QAction *m_chartAction = nullptr;
    std::function<bool()> m_trayProbe;
    bool m_leftPressed = false;
};

} // namespace velmora
